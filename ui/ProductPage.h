// The wizard's product page: remove every product, or choose them in a list of check boxes; Next
// saves the choice into the products and answers OK.
#pragma once

#include "core/ProductConfig.h"
#include "ui/DialogChild.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/Checkbox.h"
#include "ui/toolkit/ListView.h"

class DialogSelect : public DialogChild {
 public:
  explicit DialogSelect(ProductList products);
  HWND Create(HINSTANCE instance, HWND parent) override;
  INT_PTR OnInitDialog() override;
  INT_PTR OnCommand(int id, int code, HWND control) override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnDpiChanged(int dpi) override;

 private:
  void UpdateNext();
  void SaveProductSelections();

  QvUI::Checkbox removeAll_;
  QvUI::Checkbox choose_;
  QvUI::ListView list_;
  QvUI::Button next_;
  QvUI::Button cancel_;
  ProductList products_;
};
