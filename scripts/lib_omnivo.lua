-- Sub-product "omnivo": the suite itself, in its namespaced layout and in the older layout without
-- namespaces.
require "lib_common"

lib_omnivo = {}

local NS_PRODUCT = "SOFTWARE\\Quorvel\\NS\\default\\Omnivo"
local NS_HOST = "SOFTWARE\\Quorvel\\NS\\default\\OmnivoHost"
local LEGACY_PRODUCT = "SOFTWARE\\Quorvel\\Omnivo"
local FRAMEWORK = "SOFTWARE\\Quorvel\\BREL"
local BRAND = "SOFTWARE\\Quorvel"
local UPGRADE_CODE = "{1EF1CAD1-5403-458B-B585-4D14DD8FFA33}"
local CORE_FEATURE = "QvOmnivoCore"
local HOST_SERVICES = {"QvOmnivoHost", "QvOmnivoWebHost"}
local TRIAL_CLASS = "SOFTWARE\\Classes\\CLSID\\{6D1D661C-2058-44AF-A2FA-986E85FB886C}"
local BOTH_VIEWS = {KEY_WOW64_32KEY, KEY_WOW64_64KEY}

-- Where the name and the installation folder are read, first non-empty wins.
local PRODUCT_SOURCES = {
  {NS_PRODUCT, KEY_WOW64_64KEY},
  {NS_PRODUCT, KEY_WOW64_32KEY},
  {LEGACY_PRODUCT, KEY_WOW64_32KEY},
}

-- Stored shortcut names: branch, view, value, and whether it lies on the desktop (else in the
-- start-menu programs folder).
local SHORTCUT_VALUES = {
  {NS_PRODUCT, KEY_WOW64_64KEY, "DesktopShortcutName", true},
  {NS_PRODUCT, KEY_WOW64_64KEY, "StartMenuShortcutName", false},
  {NS_PRODUCT, KEY_WOW64_64KEY, "SupportToolShortcutName", false},
  {NS_PRODUCT, KEY_WOW64_32KEY, "DesktopShortcutName", true},
  {NS_PRODUCT, KEY_WOW64_32KEY, "StartMenuShortcutName", false},
  {NS_PRODUCT, KEY_WOW64_32KEY, "SupportToolShortcutName", false},
  {LEGACY_PRODUCT, KEY_WOW64_32KEY, "DesktopLink", true},
  {LEGACY_PRODUCT, KEY_WOW64_32KEY, "StartMenuLink", false},
  {LEGACY_PRODUCT, KEY_WOW64_32KEY, "SupportToolLink", false},
}

local DATA_FOLDERS = {
  "Omnivo", "OmnivoCache", "OmnivoUpdates", "OmnivoDumps", "Signatures", "ScanReports",
  "Scheduler", "Licensing", "WebShield", "FirewallRules", "SetupCache",
}
local USER_FOLDERS = {"CrashDumps", "Temp"}

lib_omnivo.install_path = ""
lib_omnivo.shortcuts = {}
lib_omnivo.remove_sharestore2 = false

function lib_omnivo.GetSubProductId()
  return "omnivo"
end

-- An installer run over the network can leave an empty branch behind, so the 32-bit namespaced
-- and the legacy branches count only when they hold something.
function lib_omnivo.IsDetected()
  return Reg.BranchExists(HKLM, NS_PRODUCT, KEY_WOW64_64KEY) or
           not Reg.IsBranchEmpty(HKLM, NS_PRODUCT, KEY_WOW64_32KEY) or
           Reg.BranchExists(HKLM, NS_HOST, KEY_WOW64_32KEY) or
           not Reg.IsBranchEmpty(HKLM, LEGACY_PRODUCT, KEY_WOW64_32KEY)
end

local function ReadFirst(name)
  for _, source in ipairs(PRODUCT_SOURCES) do
    local value = Reg.GetString(HKLM, source[1], name, source[2])
    if value ~= "" then
      return value
    end
  end
  return ""
end

function lib_omnivo.GetName()
  return ReadFirst("ProductName")
end

local function ReadInstallPath()
  local path = ReadFirst("InstallPath")
  if path == "" then
    path = Reg.GetString(HKLM, FRAMEWORK, "InstallFolder", KEY_WOW64_32KEY)
  end
  return path
end

local function ReadShortcuts()
  local shortcuts = {}
  local desktop = FileSystem.GetSpecialPath(SpecialPath_CommonDesktop)
  local programs = FileSystem.GetSpecialPath(SpecialPath_CommonStartMenuPrograms)
  if desktop == "" or programs == "" then
    Log.Error("Failed to resolve desktop/startmenu paths")
    return shortcuts
  end
  for _, entry in ipairs(SHORTCUT_VALUES) do
    local name = Reg.GetString(HKLM, entry[1], entry[3], entry[2])
    -- Joined with a shared folder: a name that climbs out of it would delete someone else's file.
    if name ~= "" then
      name = lib_common.SafeRelativeName("the suite's value '" .. entry[3] .. "'", name, {extension = ".lnk"})
    end
    if name ~= "" then
      local path = lib_common.SafePath("the suite's shortcut", entry[4] and desktop or programs, name)
      if path ~= "" then
        shortcuts[#shortcuts + 1] = path
      end
    end
  end
  return shortcuts
end

function lib_omnivo.Prepare()
  lib_omnivo.install_path = lib_common.SafeInstallPath(ReadInstallPath(), "suite installation folder")
  lib_omnivo.shortcuts = ReadShortcuts()
  lib_omnivo.remove_sharestore2 = false
end

function lib_omnivo.GracefulUninstall()
  if not Msi.UninstallProduct(UPGRADE_CODE) then
    Log.Warning("MSI uninstall failed, remove SHARESTORE2 reference manually")
    lib_omnivo.remove_sharestore2 = true
  end
  Msi.CleanupRegistryUpgradeCode(UPGRADE_CODE)
  -- Catches a registration whose upgrade code entry is already broken.
  Msi.CleanupRegistryProductFeature(CORE_FEATURE)
end

local function RemoveRegistry()
  for _, namespace in ipairs({"default", "omnivoweb"}) do
    for _, view in ipairs(BOTH_VIEWS) do
      Reg.DeleteBranch(HKLM, BRAND .. "\\NS\\" .. namespace, view)
    end
  end
  for _, branch in ipairs({LEGACY_PRODUCT, "SOFTWARE\\Quorvel\\OmnivoSetup", FRAMEWORK}) do
    Reg.DeleteBranch(HKLM, branch, KEY_WOW64_32KEY)
  end
  -- An empty NS branch would keep the brand branch alive in both views.
  for _, view in ipairs(BOTH_VIEWS) do
    Reg.DeleteBranchIfEmpty(HKLM, BRAND .. "\\NS", view)
  end
  for _, view in ipairs(BOTH_VIEWS) do
    Reg.DeleteBranchIfEmpty(HKLM, BRAND, view)
  end
  Reg.DeleteBranch(HKLM, TRIAL_CLASS, KEY_WOW64_32KEY)
end

local function RemoveFiles()
  if lib_omnivo.install_path ~= "" then
    FileSystem.RemoveDirectoryRecursiveAndParentIfEmpty(lib_omnivo.install_path)
  end
  local data = lib_common.GetQvDataPath()
  for _, name in ipairs(DATA_FOLDERS) do
    local folder = lib_common.SafePath("the suite's data folder", data, name)
    if folder ~= "" then
      FileSystem.RemoveRecursive(folder)
    end
  end
  lib_common.CleanAppDataNamespace("default")
  for _, user in ipairs(lib_common.GetUserFolders()) do
    for _, name in ipairs(USER_FOLDERS) do
      local folder = lib_common.SafePath("the user's suite folder", user, "AppData\\Local\\Quorvel", name)
      if folder ~= "" then
        FileSystem.RemoveRecursive(folder)
      end
    end
  end
  lib_common.CleanUserAppDataNamespace("default")
  for _, shortcut in ipairs(lib_omnivo.shortcuts) do
    lib_common.DeleteShortcut(shortcut)
  end
end

function lib_omnivo.ForceRemove()
  lib_common.CleanServices(lib_omnivo.install_path, HOST_SERVICES)
  RemoveRegistry()
  RemoveFiles()
end

return lib_omnivo
