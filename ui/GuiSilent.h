// UI manager of silent runs: shows nothing, selects by rule, reports errors on the console.
#pragma once

#include "ui/IGuiManager.h"

class GuiSilent : public IGuiManager {
 public:
  bool Initialize() override;
  void Shutdown() override;
  int ShowMessage(int kind) override;
  int ShowWelcome() override;
  int ShowSelect(ProductList& products) override;
  bool ShowProgress() override;
};
