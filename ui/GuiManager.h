// The interactive wizard's UI manager.
#pragma once

#include <windows.h>

#include "ui/IGuiManager.h"

class GuiManager : public IGuiManager {
 public:
  GuiManager(HINSTANCE instance, HANDLE stopEvent);
  ~GuiManager() override;
  bool Initialize() override;
  void Shutdown() override;
  int ShowMessage(int kind) override;
  int ShowWelcome() override;
  int ShowSelect(ProductList& products) override;
  bool ShowProgress() override;

 private:
  HINSTANCE instance_;
  HANDLE stopEvent_;
};
