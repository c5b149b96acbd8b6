// Detection and removal of one product through its uninstall script.
#include "app/Product.h"

#include "app/ScriptApi.h"
#include "base/Utf8.h"
#include "logging/QvBrelLogging.h"
#include "script/LuaUninstallScript.h"
#include "sysops/QvPrivilege.h"

Product::Product() = default;
Product::~Product() = default;

std::wstring Product::GetProductId() const { return productId_; }
std::wstring Product::GetSubProductIdDetected() const { return subProductIdDetected_; }
std::wstring Product::GetProductDisplayName() const { return displayName_; }
bool Product::IsDetected() const { return detected_; }
bool Product::IsSelected() const { return selected_; }
void Product::SetSelected(bool selected) { selected_ = selected; }

int Product::GetPriority() const {
  return script_ ? script_->GetPriority() : LuaUninstallScript::kDefaultPriority;
}

std::wstring Product::GetScriptName() const { return scriptName_; }

bool Product::Initialize(const std::wstring& scriptPath) {
  script_ = std::make_unique<LuaUninstallScript>(QvText::ToUtf8(scriptPath), Lua::RegisterScriptApi);
  if (!script_->Initialize()) return false;
  if (!script_->IsValidScript()) return false;
  // Detection runs before the variant query, so DetectProduct may leave the variant in a global.
  productId_ = script_->GetProductId();
  displayName_ = script_->GetProductDisplayName();
  detected_ = script_->DetectProduct();
  subProductIdDetected_ = script_->GetSubProductIdDetected();
  const size_t slash = scriptPath.rfind(L'\\');
  scriptName_ = slash == std::wstring::npos ? scriptPath : scriptPath.substr(slash + 1);
  return true;
}

bool Product::Remove() {
  if (!script_) return false;
  // Locals: the restore guard ends first, then the take-ownership guard.
  QvPrivilege takeOwnership(L"SeTakeOwnershipPrivilege");
  if (!takeOwnership.IsEnabled()) QV_BREL_LOG(QV_ERROR, L"Failed to get TakeOnwerShip privilege");
  QvPrivilege restore(L"SeRestorePrivilege");
  if (!restore.IsEnabled()) QV_BREL_LOG(QV_ERROR, L"Failed to get Restore privilege");
  return script_->CleanupProduct();
}
