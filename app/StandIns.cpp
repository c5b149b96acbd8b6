// STAND-INS: temporary bodies for pieces that land later. Each section is deleted, whole, when the
// real implementation arrives in its own files; nothing else may depend on what they do.
#include <windows.h>

#include "sysops/QvPath.h"
#include "ui/GuiManager.h"

// ---- working directory: plain folder, shallow removal ----------------------------------------
SecurityAttributes SecurityAttributes::FromSddl(const wchar_t*) { return {}; }
SecurityAttributes::SecurityAttributes(SecurityAttributes&& other) noexcept : attributes_(other.attributes_) {
  other.attributes_.lpSecurityDescriptor = nullptr;
}
SecurityAttributes& SecurityAttributes::operator=(SecurityAttributes&& other) noexcept {
  std::swap(attributes_, other.attributes_);
  return *this;
}
SecurityAttributes::~SecurityAttributes() = default;
void SecurityAttributes::Reset() {}
std::wstring QvPath::GetTempDirectory() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
  return length == 0 || length > MAX_PATH ? std::wstring() : std::wstring(buffer, length);
}
std::wstring QvPath::CreateUniqueDirectory(const std::wstring& parent, SecurityAttributes&) {
  std::wstring path = parent + L"qvstandin" + std::to_wstring(::GetTickCount()) + L".tmp";
  return ::CreateDirectoryW(path.c_str(), nullptr) ? path : std::wstring();
}
bool QvPath::RemoveDirectoryTree(const std::wstring& path, bool) { return ::RemoveDirectoryW(path.c_str()); }

// ---- wizard: not built yet; behaves as if the user closed it at once --------------------------
GuiManager::GuiManager(HINSTANCE instance, HANDLE stopEvent) : instance_(instance), stopEvent_(stopEvent) {}
GuiManager::~GuiManager() = default;
bool GuiManager::Initialize() { return true; }
void GuiManager::Shutdown() {}
int GuiManager::ShowMessage(int) { return AnswerCancel; }
int GuiManager::ShowWelcome() { return AnswerCancel; }
int GuiManager::ShowSelect(ProductList&) { return AnswerCancel; }
bool GuiManager::ShowProgress() { return false; }
