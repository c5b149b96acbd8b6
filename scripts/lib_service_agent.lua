-- Sub-product "service_agent": the operator service agent, its eleven optional modules, its shell
-- extension and the Installer registrations that older agents left without a working package.
require "lib_common"

lib_service_agent = {}

local AGENT_BRANCH = "SOFTWARE\\Quorvel\\ServiceAgent"
local BRAND = "SOFTWARE\\Quorvel"
local PUBLISHER = "Quorvel Corporation"
local SERVICE = "QvServiceAgent"
local UNINSTALL_BRANCH = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
local UNINSTALL_PREFIX = "QvServiceAgent"
local OWN_UPGRADE_CODE = "{81F5B176-4680-4BEA-BC72-E8CDF4DE0A0E}"
local SHELL_EXTENSION = "{002D993E-90CC-4B5A-9DB2-D89864BC5FA3}"
local TRIAL_CLASS = "SOFTWARE\\Classes\\CLSID\\{6D1D661C-2058-44AF-A2FA-986E85FB886C}"

-- Service Agent 1.x, 2.x, 3.x (x64), Remote Assist, Patch Manager, Device Inventory, Agent Updater,
-- Operator Console, shell extension package, diagnostics tool, language pack.
local MODULE_UPGRADE_CODES = {
  "{B499F27A-646A-43C8-8574-5A69CAAF922F}",
  "{1B8AC835-0F8F-4C9C-A49D-556CC9D0A257}",
  "{A9891FBF-2D62-4561-B641-C778CF71DA28}",
  "{26B005E5-4530-4623-A8AC-63C734CFC9A6}",
  "{2B4D3AA3-86E4-4A9D-A5EE-3D4FDC82C8F6}",
  "{28617160-66C6-491A-B720-C4F280CDEE14}",
  "{A7AA926C-3EFA-4723-879F-0FF40D5CD3BA}",
  "{54CAEF30-8F3A-413C-AF6A-6E82450E0846}",
  "{0DB463C5-0FCC-4E2F-9D2B-1D57E57C4B02}",
  "{BF4FD782-6E5E-42E8-A3C6-F7C0D0D0AF52}",
  "{46AC950A-FDB5-44FA-9FA0-0BE5B677939D}",
}
local ORPHAN_FEATURES = {"QvLegacyAgentCore", "QvRemoteAssistCore"}
local ORPHAN_NAME_MASKS = {
  "Quorvel Managed Agent *",
  "Quorvel Remote Assist *",
  "Quorvel Patch Manager *",
  "Quorvel Device Inventory *",
  "Quorvel Agent Updater *",
  "Quorvel Operator Console *",
}
local BRANCHES_32 = {
  "SOFTWARE\\Quorvel\\ServiceAgent",
  "SOFTWARE\\Quorvel\\AgentUpdater",
  "SOFTWARE\\Quorvel\\RemoteAssist",
  "SOFTWARE\\Quorvel\\PatchManager",
  "SOFTWARE\\Quorvel\\DeviceInventory",
  "SOFTWARE\\Quorvel\\OperatorConsole",
  "SOFTWARE\\Quorvel\\QvDiag",
}
local BRANCHES_64 = {"SOFTWARE\\Quorvel\\ServiceAgent", "SOFTWARE\\Quorvel\\AgentShellExt"}
local DATA_FOLDERS = {"ServiceAgent", "AgentUpdates", "RemoteAssist", "AgentInventory"}

lib_service_agent.install_path = ""
lib_service_agent.shortcuts = {}
lib_service_agent.remove_sharestore2 = false

local function ReadAgent(name)
  return Reg.GetString(HKLM, AGENT_BRANCH, name, KEY_WOW64_32KEY)
end

function lib_service_agent.GetSubProductId()
  return "service_agent"
end

function lib_service_agent.IsDetected()
  return Reg.BranchExists(HKLM, AGENT_BRANCH, KEY_WOW64_32KEY)
end

function lib_service_agent.GetName()
  if Reg.KeyExists(HKLM, AGENT_BRANCH, "ProductName", KEY_WOW64_32KEY) then
    return ReadAgent("ProductName")
  end
  return ""
end

-- A shortcut value of the operator, checked: the names are joined with the shared desktop and
-- start-menu folders, so one that climbs out of them would delete someone else's file.
local function ReadName(operator, suffix, options)
  local name = ReadAgent(operator .. suffix)
  if name == "" then
    return ""
  end
  return lib_common.SafeRelativeName("the agent's value '" .. operator .. suffix .. "'", name, options)
end

-- Shortcut names are stored per operator: without an operator id there are none to read (the names
-- would start with "_" and belong to no installation).
local function ReadShortcuts()
  local shortcuts = {}
  local operator = ReadAgent("PartnerID")
  if operator == "" then
    return shortcuts
  end
  -- Each name is read and checked once: the shortcut's name serves the desktop and the folder.
  local shortcut = {extension = ".lnk"}
  local names = {ReadName(operator, "_ShortcutName", shortcut), ReadName(operator, "_QvDiagShortcutName", shortcut)}
  if names[1] ~= "" then
    local path = lib_common.SafePath("the agent's desktop shortcut",
                                     FileSystem.GetSpecialPath(SpecialPath_CommonDesktop), names[1])
    if path ~= "" then
      shortcuts[#shortcuts + 1] = path
    end
  end
  local folder = ReadName(operator, "_StartMenuFolder")
  if folder ~= "" then
    for _, name in ipairs(names) do
      if name ~= "" then
        local path = lib_common.SafePath("the agent's start-menu shortcut",
                                         FileSystem.GetSpecialPath(SpecialPath_CommonStartMenuPrograms), folder,
                                         name)
        if path ~= "" then
          shortcuts[#shortcuts + 1] = path
        end
      end
    end
  end
  return shortcuts
end

function lib_service_agent.Prepare()
  lib_service_agent.install_path =
    lib_common.SafeInstallPath(ReadAgent("InstallPath"), "service agent installation folder")
  lib_service_agent.shortcuts = ReadShortcuts()
  lib_service_agent.remove_sharestore2 = false
end

-- Unregisters the shell extension through its own server; when that cannot run (the file is gone,
-- or the path is stored unexpanded) or fails, the class registration is deleted directly, or it
-- would point at a missing server forever.
local function UnregisterShellExtension()
  local classBranch = "CLSID\\" .. SHELL_EXTENSION
  local server = Reg.GetString(HKCR, classBranch .. "\\InprocServer32", "", KEY_WOW64_64KEY)
  if server == "" and not Reg.BranchExists(HKCR, classBranch, KEY_WOW64_64KEY) then
    return
  end
  local unregistered = false
  if server ~= "" and FileSystem.IsFile(server) then
    unregistered = Process.StartProcessAndWaitForCompletion(
      FileSystem.MakePath(lib_common.GetSystem32Path(), "regsvr32.exe"), "-u -s \"" .. server .. "\"", 60000,
      CreationFlags_DETACHED_PROCESS)
  end
  if unregistered then
    Log.Info("Shell extension " .. SHELL_EXTENSION .. " unregistered successfully")
  else
    Log.Warning("Shell extension " .. SHELL_EXTENSION .. " was not unregistered")
    Reg.DeleteBranch(HKCR, classBranch, KEY_WOW64_64KEY)
  end
end

function lib_service_agent.GracefulUninstall()
  for _, code in ipairs(MODULE_UPGRADE_CODES) do
    Msi.UninstallProduct(code)
    Msi.CleanupRegistryUpgradeCode(code)
  end
  UnregisterShellExtension()
  -- The agent's own package goes before the scrubbing of broken registrations: a feature name or
  -- display-name mask that ever matched the agent itself would otherwise erase its registration
  -- first, and its uninstall would then find nothing and report success.
  if not Msi.UninstallProduct(OWN_UPGRADE_CODE) then
    Log.Warning("MSI uninstall failed, remove SHARESTORE2 reference manually")
    lib_service_agent.remove_sharestore2 = true
  end
  Msi.CleanupRegistryUpgradeCode(OWN_UPGRADE_CODE)
  for _, feature in ipairs(ORPHAN_FEATURES) do
    Msi.CleanupRegistryProductFeature(feature)
  end
  for _, mask in ipairs(ORPHAN_NAME_MASKS) do
    Msi.CleanupRegistryProductNameAndPublisher(mask, PUBLISHER)
  end
end

function lib_service_agent.ForceRemove()
  local installPath = lib_service_agent.install_path
  lib_common.CleanServices(installPath, {SERVICE})
  for _, branch in ipairs(BRANCHES_32) do
    Reg.DeleteBranch(HKLM, branch, KEY_WOW64_32KEY)
  end
  Reg.DeleteBranchIfEmpty(HKLM, BRAND, KEY_WOW64_32KEY)
  for _, branch in ipairs(BRANCHES_64) do
    Reg.DeleteBranch(HKLM, branch, KEY_WOW64_64KEY)
  end
  Reg.DeleteBranchIfEmpty(HKLM, BRAND, KEY_WOW64_64KEY)
  Reg.DeleteBranch(HKLM, TRIAL_CLASS, KEY_WOW64_32KEY)
  lib_common.DeleteRegBranchSubKeysIfKeyBeginsWith(HKLM, UNINSTALL_BRANCH, KEY_WOW64_32KEY, UNINSTALL_PREFIX)
  if installPath ~= "" then
    FileSystem.RemoveDirectoryRecursiveAndParentIfEmpty(installPath)
  end
  local data = lib_common.GetQvDataPath()
  for _, name in ipairs(DATA_FOLDERS) do
    local folder = lib_common.SafePath("the agent's data folder", data, name)
    if folder ~= "" then
      FileSystem.RemoveRecursive(folder)
    end
  end
  for _, shortcut in ipairs(lib_service_agent.shortcuts) do
    lib_common.DeleteShortcut(shortcut)
  end
end

return lib_service_agent
