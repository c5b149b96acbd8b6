-- Passkeep, the password manager application. The users' vaults are backed up first and are left
-- in place: they belong to passkeepdata.
require "lib_common"

local NAMESPACE = "passkeep"
local BRAND_BRANCH = "SOFTWARE\\Quorvel"
local NS_BRANCH = "SOFTWARE\\Quorvel\\NS"
local PRODUCT_BRANCH = "SOFTWARE\\Quorvel\\NS\\passkeep\\Passkeep"
local DELETED_BRANCHES = {
  "SOFTWARE\\Quorvel\\NS\\passkeep",
  "SOFTWARE\\Quorvel\\Passkeep",
  "SOFTWARE\\Quorvel\\PasskeepBrowserHelper",
}
local FALLBACK_NAME = "Quorvel Passkeep"
local APP_UPGRADE_CODE = "{10827AE7-5C1F-4EE1-A6C8-D6B9C74309CD}"
local UPGRADE_CODES = {
  APP_UPGRADE_CODE,
  "{5B038E37-7910-4A42-820C-14AA3855E5B3}",
  "{5D9F5267-54D0-4540-BF9F-1A9EC0A01212}",
}
local HOST_SERVICES = {"QvPasskeepHost_passkeep", "QvPasskeepSync_passkeep"}
local USER_BRAND = "AppData\\Local\\Quorvel"
local VAULT = "PasskeepLocalStorage\\vault.pkv"
local BACKUP_FOLDER = "Backup"
local BACKUP_FILE = "passkeep_vault_backup.pkv"

local function BackUpVaults()
  for _, user in ipairs(lib_common.GetUserFolders()) do
    local brand = lib_common.SafePath("the user's brand folder", user, USER_BRAND)
    local vault = lib_common.SafePath("the vault", brand, VAULT)
    -- Only a profile that holds a vault gets a Backup folder: creating it everywhere would leave
    -- folders in every profile, in the template for new accounts, and through the "All Users" link
    -- in the common application data folder.
    if not lib_common.IsEmpty(vault) and FileSystem.IsFile(vault) then
      local folder = FileSystem.MakePath(brand, BACKUP_FOLDER)
      local target = FileSystem.MakePath(folder, BACKUP_FILE)
      if FileSystem.MkDir(folder) and FileSystem.CopyFile(vault, target) then
        Log.Info("Vault backed up to " .. target)
      else
        Log.Warning("Failed to back up " .. vault)
      end
    end
  end
end

local function GetInstallPath()
  -- Registry text: a damaged value such as "C:\" would have unrelated processes terminated and
  -- whole trees wiped, so only a folder inside a Quorvel folder is taken.
  return lib_common.SafeInstallPath(Reg.GetString(HKLM, PRODUCT_BRANCH, "InstallPath", KEY_WOW64_32KEY), "Passkeep installation path")
end

local function RemoveShortcuts()
  local desktop = lib_common.SafePath("the desktop shortcut", FileSystem.GetSpecialPath(SpecialPath_CommonDesktop), "Quorvel Passkeep.lnk")
  if not lib_common.IsEmpty(desktop) then
    FileSystem.DeleteFile(desktop)
  end
  local startMenu = lib_common.SafePath("the start-menu shortcut", FileSystem.GetSpecialPath(SpecialPath_CommonStartMenuPrograms), "Quorvel Passkeep\\Quorvel Passkeep.lnk")
  if not lib_common.IsEmpty(startMenu) then
    FileSystem.DeleteFileAndParent(startMenu)
  end
end

function GetProductId()
  return "passkeep"
end

function GetPriority()
  return 25
end

function GetProductDisplayName()
  local name = Reg.GetString(HKLM, PRODUCT_BRANCH, "ProductName", KEY_WOW64_32KEY)
  if lib_common.IsEmpty(name) then
    return FALLBACK_NAME
  end
  return name
end

function DetectProduct()
  if not Reg.IsBranchEmpty(HKLM, PRODUCT_BRANCH, KEY_WOW64_32KEY) then
    Log.Debug("Detected by Passkeep reg branch")
    return true
  end
  if Msi.DetectUpgradeCode(APP_UPGRADE_CODE) then
    Log.Debug("Detected by Passkeep upgrade code")
    return true
  end
  return false
end

function CleanupProduct()
  -- Read before the Installer runs: the package may take the branch with it.
  local installPath = GetInstallPath()

  BackUpVaults()

  for _, code in ipairs(UPGRADE_CODES) do
    Msi.UninstallProduct(code)
    Msi.CleanupRegistryUpgradeCode(code)
  end

  lib_common.CleanServices(installPath, HOST_SERVICES)
  for _, branch in ipairs(DELETED_BRANCHES) do
    Reg.DeleteBranch(HKLM, branch, KEY_WOW64_32KEY)
  end
  -- An empty NS branch would keep the brand branch alive.
  Reg.DeleteBranchIfEmpty(HKLM, NS_BRANCH, KEY_WOW64_32KEY)
  Reg.DeleteBranchIfEmpty(HKLM, BRAND_BRANCH, KEY_WOW64_32KEY)

  RemoveShortcuts()
  if not lib_common.IsEmpty(installPath) then
    FileSystem.RemoveDirectoryRecursiveAndParentIfEmpty(installPath)
  end
  lib_common.CleanAppDataNamespace(NAMESPACE)
  -- Checked like every path built on a profile folder: a relative result would be deleted in the
  -- tool's current folder.
  for _, user in ipairs(lib_common.GetUserFolders()) do
    local folder = lib_common.SafePath("the user's Passkeep folder", user, USER_BRAND, "Passkeep")
    if not lib_common.IsEmpty(folder) then
      FileSystem.RemoveDirectoryRecursiveAndParentIfEmpty(folder)
    end
  end
  return true
end
