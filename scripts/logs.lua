-- Log files of every product of the family, except the running tool's own log folder.
require "lib_common"

local TOOL_LOG_FOLDER = "UninstallationTool"
local SERVICE_ACCOUNT_BASES = {
  "ServiceProfiles\\NetworkService\\AppData\\Local\\Quorvel",
  "ServiceProfiles\\LocalService\\AppData\\Local\\Quorvel",
}
local USER_BASES = {"AppData\\Local\\Quorvel", "AppData\\LocalLow\\Quorvel"}
local LEGACY_LOGS = {
  "QvOmnivoSetup.log", "QvOmnivoUninstall.log", "QvOmnivoUpdate.log", "QvOmnivoRepair.log",
  "QvHarbexSetup.log", "QvHarbexUninstall.log", "QvPasskeepSetup.log", "QvPasskeepUninstall.log",
  "QvAgentSetup.log", "QvAgentUninstall.log", "QvAgentUpdate.log", "QvTunnelSdkSetup.log",
  "QvTunnelSdkUninstall.log", "QvWispliteSetup.log", "QvWispliteUninstall.log", "QvDriverSetup.log",
  "QvFilterSetup.log", "QvBootstrap.log", "QvMsiCustomActions.log",
}

-- Every base below is checked on its own: an unresolved folder joined with a name would give a
-- path relative to the tool's current folder, which would then be deleted.
local function DataFolder()
  return lib_common.SafePath("the brand data folder", lib_common.GetQvDataPath())
end

local function WindowsFolder()
  return lib_common.SafePath("the Windows folder", FileSystem.GetSpecialPath(SpecialPath_Windows))
end

local function NamespaceFolders(base)
  local nsFolder = FileSystem.MakePath(base, "NS")
  local folders = {}
  for _, name in ipairs(FileSystem.ListDirectory(nsFolder, ListDir_Directories)) do
    folders[#folders + 1] = FileSystem.MakePath(nsFolder, name)
  end
  return folders
end

local function CleanNamespaceLogs(base)
  local nsFolder = FileSystem.MakePath(base, "NS")
  for _, folder in ipairs(NamespaceFolders(base)) do
    FileSystem.RemoveRecursive(FileSystem.MakePath(folder, "Log"))
    FileSystem.RemoveDirectoryIfEmpty(folder)
    FileSystem.RemoveDirectoryIfEmpty(nsFolder)
  end
end

-- A service account's or a user's brand folder: its Log folder goes whole.
local function CleanBase(base)
  if lib_common.IsEmpty(base) then
    return
  end
  FileSystem.RemoveRecursive(FileSystem.MakePath(base, "Log"))
  CleanNamespaceLogs(base)
  FileSystem.RemoveDirectoryIfEmpty(base)
end

local function CleanDataFolder(data)
  if lib_common.IsEmpty(data) then
    return
  end
  FileSystem.RemoveRecursive(FileSystem.MakePath(data, "Logs"))
  -- The running tool writes its own log there: that folder stays.
  lib_common.RemoveRecursiveExceptFolder(FileSystem.MakePath(data, "Log"), TOOL_LOG_FOLDER)
  FileSystem.RemoveRecursive(FileSystem.MakePath(data, "Msi"))
  CleanNamespaceLogs(data)
  FileSystem.RemoveDirectoryIfEmpty(data)
end

function GetProductId()
  return "logs"
end

function GetPriority()
  return 100
end

-- The wizard shows its own localised name for this product.
function GetProductDisplayName()
  return ""
end

function DetectProduct()
  local data = DataFolder()
  if lib_common.IsEmpty(data) then
    return false
  end
  if FileSystem.IsDirectory(FileSystem.MakePath(data, "Log")) or FileSystem.IsDirectory(FileSystem.MakePath(data, "Logs")) then
    return true
  end
  for _, folder in ipairs(NamespaceFolders(data)) do
    if FileSystem.IsDirectory(FileSystem.MakePath(folder, "Log")) then
      return true
    end
  end
  return false
end

function CleanupProduct()
  CleanDataFolder(DataFolder())
  local windows = WindowsFolder()
  if not lib_common.IsEmpty(windows) then
    for _, base in ipairs(SERVICE_ACCOUNT_BASES) do
      CleanBase(FileSystem.MakePath(windows, base))
    end
  end
  for _, user in ipairs(lib_common.GetUserFolders()) do
    for _, base in ipairs(USER_BASES) do
      CleanBase(lib_common.SafePath("the user's brand folder", user, base))
    end
  end
  if not lib_common.IsEmpty(windows) then
    for _, name in ipairs(LEGACY_LOGS) do
      FileSystem.DeleteFile(FileSystem.MakePath(windows, name))
    end
  end
  return true
end
