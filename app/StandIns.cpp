// STAND-INS: temporary bodies for pieces that land later. Each section is deleted, whole, when the
// real implementation arrives in its own files; nothing else may depend on what they do.
#include <windows.h>

#include "ui/GuiManager.h"

// ---- wizard: not built yet; behaves as if the user closed it at once --------------------------
GuiManager::GuiManager(HINSTANCE instance, HANDLE stopEvent) : instance_(instance), stopEvent_(stopEvent) {}
GuiManager::~GuiManager() = default;
bool GuiManager::Initialize() { return true; }
void GuiManager::Shutdown() {}
int GuiManager::ShowMessage(int) { return AnswerCancel; }
int GuiManager::ShowWelcome() { return AnswerCancel; }
int GuiManager::ShowSelect(ProductList&) { return AnswerCancel; }
bool GuiManager::ShowProgress() { return false; }
