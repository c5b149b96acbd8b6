// Silent UI manager: the rule-based answers of a run without windows, driven by the command line.
#include "ui/GuiSilent.h"

#include "core/ConsolePrinter.h"
#include "core/QvOptionParser.h"
#include "core/Settings.h"

namespace {

void PrintText(const char* key) {
  ConsolePrinter::Instance().Print(L"%s", BrelResLib::Settings::Instance().GetString(key).c_str());
}

}  // namespace

bool GuiSilent::Initialize() { return true; }

void GuiSilent::Shutdown() {}

int GuiSilent::ShowMessage(int kind) {
  switch (kind) {
    case MessageErrorGeneric:
      PrintText("ErrorGeneric");
      return AnswerCancel;
    case MessageErrorPrivileges:
      PrintText("ErrorPrivileges");
      return AnswerCancel;
    case MessageFinishedReboot:
      return QvOptionParser::Instance().IsSet(L"restart") ? AnswerOk : AnswerCancel;
    default:
      return AnswerCancel;
  }
}

int GuiSilent::ShowWelcome() { return AnswerOk; }

int GuiSilent::ShowSelect(ProductList& products) {
  // Named products were already selected by the command-line check; that choice stands.
  if (QvOptionParser::Instance().IsSet(L"products")) return AnswerOk;
  for (const auto& product : products) product->SetSelected(product->GetProductId() != L"logs");
  return AnswerOk;
}

bool GuiSilent::ShowProgress() { return true; }
