-- The scanning SDK several family products install, one copy per product namespace. Its own
-- uninstaller removes it; when that is missing or fails, services, registry and files are cleaned
-- here and a restart finishes what is still held.
require "lib_common"

lib_wisplite_sdk = {}

local DEFAULT_NS = "default"
local BRAND = "SOFTWARE\\Quorvel"
local SERVICES_BRANCH = "SYSTEM\\CurrentControlSet\\Services\\"
local REBOOT_REASON = "Wisplite uninstaller requested a reboot"
local ACCOUNT_SIDS = {"S-1-5-19", "S-1-5-20"}
local CLEANED_USER_HIVES = {"S-1-5-18", "S-1-5-20"}

local SERVICE_BASES = {
  "QvWlBroker", "QvWlEngine", "QvWlUpdate", "QvWlProtHost", "QvWlFs",
  "QvWlNet", "QvWlProc", "QvWlReg", "QvWlBoot", "QvWlMem",
}
local FILTER_BASE = "QvWlFs"
local PROTECTED_HOST_BASE = "QvWlProtHost"
local CORE_MODULES = {"wlcore_x64", "wlcore_x86"}
local DRIVER_FILES = {"qvwlfs.sys", "qvwlnet.sys"}
local OLD_PLATFORM_SERVICES = {"QvScanFs", "QvScanNet", "QvScanProc", "QvScanReg", "QvScanBoot", "QvScanMem"}

-- Branches of the default namespace's installation besides the SDK branch (root, branch, view).
local RELATED_BRANCHES = {
  {HKLM, "SOFTWARE\\Quorvel\\WispliteUpdate", KEY_WOW64_64KEY},
  {HKLM, "SOFTWARE\\Quorvel\\WispliteCloud", KEY_WOW64_64KEY},
  {HKLM, "SOFTWARE\\Quorvel\\WispliteFilter", KEY_WOW64_64KEY},
  {HKLM, "SOFTWARE\\Quorvel\\WispliteTelemetry", KEY_WOW64_64KEY},
  {HKLM, "SOFTWARE\\Quorvel\\NS\\wl_default", KEY_WOW64_64KEY},
  {HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QvWisplite", KEY_WOW64_64KEY},
  {HKLM, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\QvWisplite", KEY_WOW64_64KEY},
  {HKLM, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\QvWlFs", KEY_WOW64_64KEY},
}
local FRAMEWORK = "SOFTWARE\\Quorvel\\BREL"
local FRAMEWORK_PARENTS = {FRAMEWORK .. "\\DelayLoad", FRAMEWORK .. "\\DllHoster"}
local FRAMEWORK_ENTRIES = {"1400", "1450"}

local function Namespace(ns)
  return ns or DEFAULT_NS
end

function lib_wisplite_sdk.GetSdkNamespace(ns)
  return "wl_" .. Namespace(ns)
end

function lib_wisplite_sdk.GetBranch(ns)
  if Namespace(ns) == DEFAULT_NS then
    return BRAND .. "\\Wisplite"
  end
  return BRAND .. "\\NS\\" .. lib_wisplite_sdk.GetSdkNamespace(ns)
end

function lib_wisplite_sdk.GetServiceName(base, ns)
  if Namespace(ns) == DEFAULT_NS then
    return base
  end
  return base .. "_" .. lib_wisplite_sdk.GetSdkNamespace(ns)
end

local function ServiceNames(bases, ns)
  local names = {}
  for _, base in ipairs(bases) do
    names[#names + 1] = lib_wisplite_sdk.GetServiceName(base, ns)
  end
  return names
end

local function ReadInstallationRoot(ns)
  local branch = lib_wisplite_sdk.GetBranch(ns)
  if not Reg.KeyExists(HKLM, branch, "InstallationRootDirectory", KEY_WOW64_64KEY) then
    return ""
  end
  return Reg.GetString(HKLM, branch, "InstallationRootDirectory", KEY_WOW64_64KEY)
end

function lib_wisplite_sdk.IsInstalled(ns)
  return ReadInstallationRoot(ns) ~= ""
end

-- The installation folder, or "" when the registry names none or a folder outside the family.
local function InstallPath(ns)
  return lib_common.SafeInstallPath(ReadInstallationRoot(ns), "Wisplite installation folder")
end

-- The core module folder: the 32-bit module wins when both are registered.
local function CorePath(ns)
  local branch = lib_wisplite_sdk.GetBranch(ns)
  local path = ""
  for _, module in ipairs(CORE_MODULES) do
    local value = Reg.GetString(HKLM, branch .. "\\modules\\" .. module, "path", KEY_WOW64_64KEY)
    if value ~= "" then
      path = value
    end
  end
  return lib_common.SafeInstallPath(path, "Wisplite core module folder")
end

-- Local application data brand folders of the service accounts the SDK runs under.
local function AccountBrandFolders()
  local folders = {}
  for _, sid in ipairs(ACCOUNT_SIDS) do
    local folder = lib_common.SafePath("the brand folder of " .. sid,
                                       FileSystem.GetSpecialPath(SpecialPath_UserAppDataLocal, sid), "Quorvel")
    if folder ~= "" then
      folders[#folders + 1] = folder
    end
  end
  return folders
end

local function CleanServices(installPath, ns)
  local filter = lib_wisplite_sdk.GetServiceName(FILTER_BASE, ns)
  if lib_common.ServiceExists(filter) then
    Process.StartProcessAndWaitForCompletion(FileSystem.MakePath(lib_common.GetSystem32Path(), "fltmc.exe"),
                                             "unload " .. filter, 600000, CreationFlags_CREATE_NO_WINDOW, "",
                                             "fltmc.log", CP_OEMCP)
  end
  lib_common.CleanServices(installPath, ServiceNames(SERVICE_BASES, ns))
  -- A protected service cannot be opened to delete it: its registration goes with its branch.
  local protected = SERVICES_BRANCH .. lib_wisplite_sdk.GetServiceName(PROTECTED_HOST_BASE, ns)
  if Reg.KeyExists(HKLM, protected, "ImagePath") then
    Log.Debug("Removing protected service registration")
    Reg.DeleteBranch(HKLM, protected)
  end
end

local function CleanRegistry(ns)
  local branch = lib_wisplite_sdk.GetBranch(ns)
  Reg.DeleteBranch(HKLM, branch, KEY_WOW64_64KEY)
  for _, sid in ipairs(CLEANED_USER_HIVES) do
    Reg.DeleteBranch(HKU, sid .. "\\" .. branch, KEY_WOW64_64KEY)
  end
  if Namespace(ns) == DEFAULT_NS then
    for _, related in ipairs(RELATED_BRANCHES) do
      Reg.DeleteBranch(related[1], related[2], related[3])
    end
    for _, parent in ipairs(FRAMEWORK_PARENTS) do
      for _, entry in ipairs(FRAMEWORK_ENTRIES) do
        Reg.DeleteBranch(HKLM, parent .. "\\" .. entry, KEY_WOW64_64KEY)
      end
    end
    for _, parent in ipairs(FRAMEWORK_PARENTS) do
      Reg.DeleteBranchIfEmpty(HKLM, parent, KEY_WOW64_64KEY)
    end
    -- Emptied by the entries above unless the tool's own settings live there: without this the
    -- empty framework branch would keep the brand branch alive.
    Reg.DeleteBranchIfEmpty(HKLM, FRAMEWORK, KEY_WOW64_64KEY)
  else
    Reg.DeleteBranch(HKLM, branch, KEY_WOW64_32KEY)
  end
  for _, view in ipairs({KEY_WOW64_64KEY, KEY_WOW64_32KEY}) do
    Reg.DeleteBranchIfEmpty(HKLM, BRAND .. "\\NS", view)
    Reg.DeleteBranchIfEmpty(HKLM, BRAND, view)
  end
  for _, sid in ipairs(CLEANED_USER_HIVES) do
    Reg.DeleteBranchIfEmpty(HKU, sid .. "\\" .. BRAND .. "\\NS", KEY_WOW64_64KEY)
    Reg.DeleteBranchIfEmpty(HKU, sid .. "\\" .. BRAND, KEY_WOW64_64KEY)
  end
end

local function CleanFiles(installPath, ns)
  -- The brand program folder goes too when the SDK was the last product in it.
  if installPath ~= "" then
    FileSystem.RemoveDirectoryRecursiveAndParentIfEmpty(installPath)
  end
  if Namespace(ns) == DEFAULT_NS then
    local data = lib_common.SafePath("the Wisplite data folder", lib_common.GetQvDataPath(), "Wisplite")
    if data ~= "" then
      FileSystem.RemoveRecursive(data)
    end
    local drivers = FileSystem.MakePath(lib_common.GetSystem32Path(), "drivers")
    for _, name in ipairs(DRIVER_FILES) do
      FileSystem.DeleteFile(FileSystem.MakePath(drivers, name))
    end
    for _, brand in ipairs(AccountBrandFolders()) do
      FileSystem.RemoveRecursive(FileSystem.MakePath(brand, "Wisplite"))
      FileSystem.RemoveRecursive(FileSystem.MakePath(brand, "WispliteCache"))
      -- Nothing else of the family needs the account's brand folder once the SDK is gone.
      FileSystem.RemoveDirectoryIfEmpty(brand)
    end
  else
    local sdkNs = lib_wisplite_sdk.GetSdkNamespace(ns)
    lib_common.CleanAppDataNamespace(sdkNs)
    for _, brand in ipairs(AccountBrandFolders()) do
      local nsFolder = FileSystem.MakePath(brand, "NS")
      local folder = FileSystem.MakePath(nsFolder, sdkNs)
      lib_common.RemoveRecursiveExceptLog(folder)
      FileSystem.RemoveDirectoryIfEmpty(folder)
      FileSystem.RemoveDirectoryIfEmpty(nsFolder)
      FileSystem.RemoveDirectoryIfEmpty(brand)
    end
  end
end

local function ForceClean(installPath, ns)
  CleanServices(installPath, ns)
  CleanRegistry(ns)
  CleanFiles(installPath, ns)
end

function lib_wisplite_sdk.Remove(ns)
  ns = Namespace(ns)
  local installed = lib_wisplite_sdk.IsInstalled(ns)
  -- Read before anything is removed: the clean-up below deletes the branch holding it.
  local installPath = InstallPath(ns)
  local core = CorePath(ns)
  local uninstaller = core ~= "" and FileSystem.MakePath(core, "uninstall.exe") or ""
  if uninstaller ~= "" and FileSystem.IsFile(uninstaller) then
    if not Process.StartProcessAndWaitForCompletion(uninstaller, "--silent --namespace " .. ns, 1800000) then
      Log.Debug("Wisplite uninstaller failed")
      -- A failed uninstaller leaves services, drivers and registry in place: a restart alone
      -- would not remove them.
      ForceClean(installPath, ns)
      Meta.SetRebootNeeded(REBOOT_REASON)
    end
  elseif installed then
    -- A damaged installation value gives an empty installPath here: the services and registry are
    -- still cleaned, but no folder is searched or deleted.
    Log.Warning("uninstall.exe not found")
    ForceClean(installPath, ns)
    Meta.SetRebootNeeded(REBOOT_REASON)
  else
    Log.Error("Wisplite installation not found")
  end
end

function lib_wisplite_sdk.ForceRemoveOldScanningPlatform()
  lib_common.CleanServices("", OLD_PLATFORM_SERVICES)
  -- The installation folder is read again: after a removal above it is no longer registered, and
  -- only a folder still registered is deleted.
  CleanFiles(InstallPath(DEFAULT_NS), DEFAULT_NS)
end

return lib_wisplite_sdk
