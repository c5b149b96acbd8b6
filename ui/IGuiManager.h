// The run driver's only way to talk to the user: the wizard or the silent manager.
#pragma once

#include "core/ProductConfig.h"

// Message kinds of ShowMessage; the names are the string keys the page shows.
enum GuiMessageKind : int {
  MessageErrorGeneric = 0,
  MessageErrorPrivileges = 1,
  MessageFinished = 2,
  MessageFinishedReboot = 3,
};

// Answers: 1 is OK / go on, 2 is cancel, close, failure or abandonment.
enum GuiAnswer : int {
  AnswerOk = 1,
  AnswerCancel = 2,
};

class IGuiManager {
 public:
  virtual bool Initialize() = 0;
  virtual void Shutdown() = 0;
  virtual int ShowMessage(int kind) = 0;
  virtual int ShowWelcome() = 0;
  // Updates the products' selected flags before it returns.
  virtual int ShowSelect(ProductList& products) = 0;
  virtual bool ShowProgress() = 0;
  virtual ~IGuiManager() = default;
};
