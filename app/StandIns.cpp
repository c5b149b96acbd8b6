// STAND-INS: temporary bodies for pieces that land later. Each section is deleted, whole, when the
// real implementation arrives in its own files; nothing else may depend on what they do.
#include <windows.h>

#include "app/ResDropper.h"
#include "app/Settings.h"
#include "app/Status.h"
#include "app/UiToolLib.h"
#include "logging/QvBrelLogging.h"
#include "ui/GuiManager.h"
#include "ui/GuiSilent.h"

// ---- logging: drops every record --------------------------------------------------------------
namespace QvBrelLogging {
void LogInit(const wchar_t*, const wchar_t*, const wchar_t*, int, unsigned) {}
void LogInit(const char*, const char*, const char*, int, unsigned) {}
void LogInit(const wchar_t* component, const wchar_t* fileName, int level, unsigned flags) {
  LogInit(static_cast<const wchar_t*>(nullptr), component, fileName, level, flags);
}
void LogMessage(int, const wchar_t*, ...) {}
void LogMessage(int, const char*, ...) {}
void LogTagged(int, const char*, const wchar_t*, ...) {}
void LogTagged(int, const char*, const char*, ...) {}
bool LogIsEnabled(int) { return false; }
void LogUninit() {}
void LogFlush() {}
}  // namespace QvBrelLogging

// ---- products: no script host yet, so no products -------------------------------------------
std::wstring GetShortPath(const std::wstring& path) { return path; }
UiToolLib::UiToolLib(std::wstring directory) : directory_(std::move(directory)) {}
UiToolLib::~UiToolLib() = default;
std::vector<std::wstring> UiToolLib::FindScripts() { return {}; }
ProductList UiToolLib::DetectProducts() {
  Status::Instance().Reset();
  return {};
}
RemovalStatus UiToolLib::RemoveProducts(const ProductList&) {
  Status::Instance().Reset();
  return RemovalSucceeded;
}

// ---- script archive: nothing to extract -------------------------------------------------------
bool ResDropper::ExtractZipFromResource(const std::wstring& target) {
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// ---- localised texts: English only, keys shown as marked keys --------------------------------
namespace BrelResLib {
Settings& Settings::Instance() {
  static Settings instance;
  return instance;
}
Settings::Settings() = default;
Settings::~Settings() = default;
std::set<std::string> Settings::GetLanguages() { return {"en"}; }
std::string Settings::GetLanguage() { return language_; }
void Settings::SetCurrentLanguage(const std::string& code) { language_ = code; }
void Settings::SetLanguage(const std::string&) { language_ = "en"; }
std::wstring Settings::GetString(const std::string& key, const std::string&) {
  return L"\x25BA" + std::wstring(key.begin(), key.end());
}
std::wstring Settings::GetSetting(const std::string&) { return {}; }
void Settings::SetSetting(const std::string&, const std::wstring&) {}
void Settings::Clear() {}
unsigned Settings::LoadResources(HMODULE, unsigned, unsigned) { return 0; }
void Settings::Parse(const std::string&, const std::string&) {}
}  // namespace BrelResLib

// ---- silent UI manager: selects every product but "logs", answers 1 -------------------------
bool GuiSilent::Initialize() { return true; }
void GuiSilent::Shutdown() {}
int GuiSilent::ShowMessage(int) { return AnswerCancel; }
int GuiSilent::ShowWelcome() { return AnswerOk; }
int GuiSilent::ShowSelect(ProductList& products) {
  for (auto& product : products)
    if (product->GetProductId() != L"logs") product->SetSelected(true);
  return AnswerOk;
}
bool GuiSilent::ShowProgress() { return true; }

// ---- wizard: not built yet; behaves as if the user closed it at once --------------------------
GuiManager::GuiManager(HINSTANCE instance, HANDLE stopEvent) : instance_(instance), stopEvent_(stopEvent) {}
GuiManager::~GuiManager() = default;
bool GuiManager::Initialize() { return true; }
void GuiManager::Shutdown() {}
int GuiManager::ShowMessage(int) { return AnswerCancel; }
int GuiManager::ShowWelcome() { return AnswerCancel; }
int GuiManager::ShowSelect(ProductList&) { return AnswerCancel; }
bool GuiManager::ShowProgress() { return false; }
