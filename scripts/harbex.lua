-- Harbex, the VPN product: its own uninstaller first; the forced clean-up only when that cannot run
-- or fails.
require "lib_common"

local BRAND_BRANCH = "SOFTWARE\\Quorvel"
local PRODUCT_BRANCH = "SOFTWARE\\Quorvel\\Harbex"
local UNINSTALL_BRANCH = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
local UNINSTALL_ENTRY = "QuorvelHarbex"
local FALLBACK_NAME = "Quorvel Harbex"
local MANUFACTURER = "Quorvel Corporation"
local PRODUCT_SERVICES = {"QvHarbexSvc"}
local DRIVERS = {"qvhbxtun", "qvhbxtap"}
local DRIVER_SERVICES = {"QvHbxTun", "QvHbxTap", "QvHbxSplit"}
local UNINSTALL_TIMEOUT_MS = 40000

local function Trim(s)
  return (string.gsub(s, "^%s*(.-)%s*$", "%1"))
end

-- Executable and arguments of an uninstall command line, or "" and "" when none can be told apart.
-- A quoted executable ends at its closing quote; an unquoted line is taken whole when it names a
-- file, else it ends after the first ".exe" followed by a blank or the end of the line.
-- A quoted command with arguments is split, or process creation would be handed the whole line as
-- the program's name and the product's own uninstaller would never run.
function SplitUninstallCommand(command)
  command = Trim(command or "")
  if command == "" then
    return "", ""
  end
  if string.sub(command, 1, 1) == "\"" then
    local close = string.find(command, "\"", 2, true)
    if close == nil then
      return Trim(string.sub(command, 2)), ""
    end
    return string.sub(command, 2, close - 1), Trim(string.sub(command, close + 1))
  end
  if FileSystem.IsFile(command) then
    return command, ""
  end
  local lower = string.lower(command)
  local from = 1
  while true do
    local at = string.find(lower, ".exe", from, true)
    if at == nil then
      return command, ""
    end
    local after = at + 4
    local next = string.sub(command, after, after)
    if next == "" or string.match(next, "%s") then
      return string.sub(command, 1, after - 1), Trim(string.sub(command, after))
    end
    from = at + 1
  end
end

local function GetInstallPath()
  local path = Reg.GetString(HKLM, PRODUCT_BRANCH, "InstallPath", KEY_WOW64_32KEY)
  if lib_common.IsEmpty(path) then
    return FileSystem.MakePath(lib_common.GetQvAppDefaultPath(), "Harbex")
  end
  -- A damaged value such as "C:\" or "C:\Windows" would have unrelated processes terminated and
  -- whole trees wiped: only a folder inside a Quorvel folder is taken.
  return lib_common.SafeInstallPath(path, "Harbex installation path")
end

local function RunUninstaller()
  local command = Reg.GetString(HKLM, UNINSTALL_BRANCH .. "\\" .. UNINSTALL_ENTRY, "UninstallString", KEY_WOW64_32KEY)
  if lib_common.IsEmpty(command) then
    Log.Debug("No uninstall command")
    return false
  end
  local executable, arguments = SplitUninstallCommand(command)
  if not FileSystem.IsFile(executable) then
    Log.Warning("Uninstaller '" .. executable .. "' not found")
    return false
  end
  if Process.StartProcessAndWaitForCompletion(executable, arguments, UNINSTALL_TIMEOUT_MS, CreationFlags_DETACHED_PROCESS) then
    Log.Debug("Uninstaller finished successfully")
    return true
  end
  Log.Warning("Uninstaller failed")
  return false
end

local function ForceRemove()
  -- The display name names a start-menu folder that is removed whole and a file on the desktop:
  -- it must be one plain component, or a damaged value (one space, "..") would name the shared
  -- folder itself or climb out of it.
  local name = lib_common.SafeRelativeName("Harbex's value 'ProductName'", GetProductDisplayName(), {single = true})
  local desktopShortcut, startMenuFolder = "", ""
  if name ~= "" then
    desktopShortcut = lib_common.SafePath("the desktop shortcut", FileSystem.GetSpecialPath(SpecialPath_CommonDesktop), name .. ".lnk")
    startMenuFolder = lib_common.SafePath("the start-menu folder", FileSystem.GetSpecialPath(SpecialPath_CommonStartMenuPrograms), name)
  end
  local installPath = GetInstallPath()

  lib_common.CleanServices(installPath, PRODUCT_SERVICES)
  for _, driver in ipairs(DRIVERS) do
    if not Win32Driver.UninstallOemDriversByManufacturerAndName(MANUFACTURER, driver) then
      Log.Warning("Failed to uninstall driver " .. driver)
    end
  end
  lib_common.CleanServices(nil, DRIVER_SERVICES)

  for _, view in ipairs({KEY_WOW64_32KEY, KEY_WOW64_64KEY}) do
    Reg.DeleteBranch(HKLM, PRODUCT_BRANCH, view)
    Reg.DeleteBranchIfEmpty(HKLM, BRAND_BRANCH, view)
  end

  if not lib_common.IsEmpty(installPath) then
    FileSystem.RemoveDirectoryRecursiveAndParentIfEmpty(installPath)
  end
  -- An unresolved data folder would leave the bare name, a path relative to the current folder.
  local dataFolder = lib_common.SafePath("the Harbex data folder", lib_common.GetQvDataPath(), "Harbex")
  if not lib_common.IsEmpty(dataFolder) then
    FileSystem.RemoveRecursive(dataFolder)
  end
  if not lib_common.IsEmpty(startMenuFolder) then
    FileSystem.RemoveRecursive(startMenuFolder)
  end
  if not lib_common.IsEmpty(desktopShortcut) then
    FileSystem.DeleteFile(desktopShortcut)
  end
  lib_common.DeleteRegBranchSubKeysIfKeyBeginsWith(HKLM, UNINSTALL_BRANCH, KEY_WOW64_32KEY, UNINSTALL_ENTRY)
end

function GetProductId()
  return "harbex"
end

function GetPriority()
  return 20
end

function GetProductDisplayName()
  local name = Reg.GetString(HKLM, PRODUCT_BRANCH, "ProductName", KEY_WOW64_32KEY)
  if lib_common.IsEmpty(name) then
    return FALLBACK_NAME
  end
  return name
end

function DetectProduct()
  if Reg.BranchExists(HKLM, PRODUCT_BRANCH, KEY_WOW64_32KEY) then
    Log.Debug("Detected by Harbex reg branch")
    return true
  end
  return false
end

function CleanupProduct()
  if not RunUninstaller() then
    ForceRemove()
  end
  return true
end
