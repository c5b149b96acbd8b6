-- Helpers shared by every uninstall script: registry sweeps, special folders, the brand data
-- folder, namespace clean-up, services, and the checks that keep deletions on the family's paths.
lib_common = {}

function lib_common.IsEmpty(s)
  return s == nil or s == ""
end

function lib_common.ConcatTables(t1, t2)
  for _, value in ipairs(t2) do
    t1[#t1 + 1] = value
  end
  return t1
end

function lib_common.TableContains(t, value)
  for _, v in pairs(t) do
    if v == value then
      return true
    end
  end
  return false
end

function lib_common.DeleteRegBranchSubKeysIf(root, branch, flags, predicate)
  for _, name in ipairs(Reg.GetSubKeys(root, branch, flags)) do
    if predicate(name) then
      local full = branch .. "\\" .. name
      Log.Debug("Deleting reg key " .. full)
      Reg.DeleteBranch(root, full, flags)
    end
  end
end

function lib_common.DeleteRegBranchSubKeysExceptKeys(root, branch, flags, exceptedSubKeys)
  lib_common.DeleteRegBranchSubKeysIf(root, branch, flags, function(name)
    return not lib_common.TableContains(exceptedSubKeys, name)
  end)
end

-- The prefix is a Lua pattern: the family's entry names hold letters and digits only.
function lib_common.DeleteRegBranchSubKeysIfKeyBeginsWith(root, branch, flags, keyBegin)
  lib_common.DeleteRegBranchSubKeysIf(root, branch, flags, function(name)
    return string.match(name, "^" .. keyBegin) ~= nil
  end)
end

function lib_common.GetFolderPath(path)
  return FileSystem.SplitPath(path)[1]
end

function lib_common.GetFileName(path)
  return FileSystem.SplitPath(path)[2]
end

function lib_common.GetSpecialPath(id, str)
  local path = FileSystem.GetSpecialPath(id)
  if lib_common.IsEmpty(path) then
    error("Failed to get " .. str .. " path")
  end
  return path
end

function lib_common.GetProgramFilesX86()
  return lib_common.GetSpecialPath(SpecialPath_CommonProgramFilesX86, "ProgramFilesX86")
end

function lib_common.GetSystem32Path()
  return lib_common.GetSpecialPath(SpecialPath_System32, "System32")
end

function lib_common.GetQvAppDefaultPath()
  return FileSystem.MakePath(lib_common.GetProgramFilesX86(), "Quorvel")
end

function lib_common.GetQvDataPath()
  local common = FileSystem.GetSpecialPath(SpecialPath_CommonAppData)
  if lib_common.IsEmpty(common) then
    Log.Error("Failed to resolve CommonAppData path")
    return ""
  end
  return FileSystem.MakePath(common, "Quorvel")
end

-- True for a path of the form "X:\...": everything the scripts delete or terminate from must be
-- one, or a relative path would act on the tool's current folder.
local function IsAbsolute(path)
  return string.match(path, "^%a:\\") ~= nil
end

-- The components of `path` between backslashes, empty ones included (a doubled or a trailing
-- backslash gives an empty component).
local function Components(path)
  local parts = {}
  for part in string.gmatch(path .. "\\", "([^\\]*)\\") do
    parts[#parts + 1] = part
  end
  return parts
end

-- Why Windows would not take `part` as written, or nil: "." and ".." climb, and a trailing dot or
-- space is stripped, so "Quorvel\.." or "Quorvel\ " would name the folder above the brand folder
-- (or the brand folder itself) while the text still shows the brand.
local function RewrittenComponent(part)
  if part == "." or part == ".." then
    return "the component '" .. part .. "' leaves the folder"
  end
  if string.find(part, "/", 1, true) then
    return "the component '" .. part .. "' holds '/'"
  end
  if string.match(part, "[%. ]$") then
    return "the component '" .. part .. "' ends in a dot or a space"
  end
  return nil
end

-- Whether one of the folders on the way to `path` (not its last component) is named "Quorvel".
local function HasBrandFolder(path)
  local parts = Components(path)
  for i = 1, #parts - 1 do
    if string.lower(parts[i]) == "quorvel" then
      return true
    end
  end
  return false
end

-- The one gate for paths the scripts delete in or terminate processes from. Returns `path`, or ""
-- with a warning naming `what` when it cannot be trusted: not absolute (an unresolved base folder
-- joined with a name gives a relative path, which would act on the tool's current folder), a
-- component Windows rewrites (see RewrittenComponent), or, with `needBrand`, without a "Quorvel"
-- folder above its last component (installation paths come from registry data that a damaged
-- value could turn into "C:\" or "C:\Windows").
local function CheckPath(what, path, needBrand)
  if not IsAbsolute(path) then
    Log.Warning("Ignoring " .. what .. " '" .. path .. "': not an absolute path")
    return ""
  end
  for _, part in ipairs(Components(path)) do
    local why = RewrittenComponent(part)
    if why then
      Log.Warning("Ignoring " .. what .. " '" .. path .. "': " .. why)
      return ""
    end
  end
  if needBrand and not HasBrandFolder(path) then
    Log.Warning("Ignoring " .. what .. " '" .. path .. "': not a Quorvel folder")
    return ""
  end
  return path
end

-- `base` joined with each further name, or "" (with a warning) when `base` is empty or the
-- result is not an absolute path of plain components.
function lib_common.SafePath(what, base, ...)
  if lib_common.IsEmpty(base) then
    Log.Warning("Skipping " .. what .. ": its base folder is not resolved")
    return ""
  end
  local path = base
  for _, name in ipairs({...}) do
    path = FileSystem.MakePath(path, name)
  end
  return CheckPath(what, path, false)
end

-- An installation path read from the registry, or "" when it is empty or not a Quorvel folder.
function lib_common.SafeInstallPath(path, what)
  if lib_common.IsEmpty(path) then
    return ""
  end
  return CheckPath(what or "installation path", path, true)
end

-- A name read from the registry and joined under a shared folder (the common desktop or
-- start-menu programs folder): `name`, or "" with a warning naming `what` (the value it came from)
-- when it could reach outside that folder or name the folder itself. It must be a relative path of
-- plain components: no drive or colon, no leading backslash, no "/", no empty, "." or ".."
-- component, no component Windows would strip (ending in a dot or a space, which covers one made of
-- dots and spaces only). `options.single`: one component only (a folder named after a display
-- name); `options.extension`: the name must end in it, compared without case.
function lib_common.SafeRelativeName(what, name, options)
  options = options or {}
  local function Refuse(why)
    Log.Warning("Ignoring " .. what .. " = '" .. tostring(name) .. "': " .. why)
    return ""
  end
  if lib_common.IsEmpty(name) then
    return Refuse("an empty name")
  end
  if string.find(name, ":", 1, true) or string.sub(name, 1, 1) == "\\" then
    return Refuse("not a relative name")
  end
  local parts = Components(name)
  if options.single and #parts > 1 then
    return Refuse("more than one component")
  end
  for _, part in ipairs(parts) do
    local why = part == "" and "an empty component" or RewrittenComponent(part)
    if why then
      return Refuse(why)
    end
  end
  local extension = options.extension
  if extension and string.lower(string.sub(name, -#extension)) ~= string.lower(extension) then
    return Refuse("it does not end in '" .. extension .. "'")
  end
  return name
end

-- Folders under the user-profiles folder; empty when that folder is not resolved.
function lib_common.GetUserFolders()
  local profiles = FileSystem.GetSpecialPath(SpecialPath_UserProfiles)
  local folders = {}
  if lib_common.IsEmpty(profiles) then
    Log.Warning("Skipping user folders: the profiles folder is not resolved")
    return folders
  end
  for _, name in ipairs(FileSystem.ListDirectory(profiles, ListDir_Directories)) do
    folders[#folders + 1] = FileSystem.MakePath(profiles, name)
  end
  return folders
end

-- Deletes a product shortcut. Inside a product's own sub-folder the folder goes too when it
-- empties; a shortcut lying directly in the common desktop or start-menu programs folder is deleted
-- alone, or removing the "empty parent" would take the shared folder itself.
function lib_common.DeleteShortcut(path)
  local folder = string.lower(lib_common.GetFolderPath(path))
  local desktop = string.lower(FileSystem.GetSpecialPath(SpecialPath_CommonDesktop))
  local programs = string.lower(FileSystem.GetSpecialPath(SpecialPath_CommonStartMenuPrograms))
  if folder == desktop or folder == programs then
    FileSystem.DeleteFile(path)
  else
    FileSystem.DeleteFileAndParent(path)
  end
end

function lib_common.ServiceExists(name)
  return Service.State(name) ~= SERVICE_INVALID_VALUE
end

function lib_common.RemoveRecursiveExceptFolder(path, exceptFolder)
  if lib_common.IsEmpty(path) then
    return
  end
  -- Folder names compare without case, as Windows does: the folder kept may exist in any case.
  local kept = string.lower(exceptFolder)
  for _, name in ipairs(FileSystem.ListDirectory(path, ListDir_Directories)) do
    if string.lower(name) ~= kept then
      FileSystem.RemoveRecursive(FileSystem.MakePath(path, name))
    end
  end
  for _, name in ipairs(FileSystem.ListDirectory(path, ListDir_Files)) do
    FileSystem.DeleteFile(FileSystem.MakePath(path, name))
  end
end

function lib_common.RemoveRecursiveExceptLog(path)
  lib_common.RemoveRecursiveExceptFolder(path, "Log")
end

-- Keeps the namespace's Log folder; removes the namespace, NS and brand folders when they empty.
local function CleanNamespaceUnder(brand, ns)
  if lib_common.IsEmpty(brand) then
    return
  end
  local nsFolder = FileSystem.MakePath(brand, "NS")
  local folder = FileSystem.MakePath(nsFolder, ns)
  lib_common.RemoveRecursiveExceptLog(folder)
  FileSystem.RemoveDirectoryIfEmpty(folder)
  FileSystem.RemoveDirectoryIfEmpty(nsFolder)
  FileSystem.RemoveDirectoryIfEmpty(brand)
end

function lib_common.CleanAppDataNamespace(ns)
  CleanNamespaceUnder(lib_common.SafePath("the brand data folder", lib_common.GetQvDataPath()), ns)
end

function lib_common.CleanUserAppDataNamespace(ns)
  for _, user in ipairs(lib_common.GetUserFolders()) do
    CleanNamespaceUnder(lib_common.SafePath("the user's brand folder", user, "AppData\\Local\\Quorvel"), ns)
  end
end

function lib_common.CleanServices(installationPath, services)
  Log.Debug("Cleaning up services")
  for _, name in ipairs(services) do
    Service.Stop(name)
  end
  if not lib_common.IsEmpty(installationPath) then
    Process.TerminateAllFromPath(installationPath)
  end
  for _, name in ipairs(services) do
    Service.Cleanup(name)
  end
end

return lib_common
