-- The validation kit's one product: everything its scenarios plant below the family's own
-- locations. Its removal follows the shipped scripts' order (stop the service, end what runs from
-- the folder, delete the service, then registry and files) and touches nothing else: not the
-- brand folder, not the tool's log folder, no canary.

local SERVICE = "QvKitProbe"
local BRANCH = "Software\\Quorvel\\KitProbe"
local VIEWS = {KEY_WOW64_64KEY, KEY_WOW64_32KEY}

-- "" when the brand data folder is not resolved: a relative path would act on the current folder.
local function FamilyFolder()
  local common = FileSystem.GetSpecialPath(SpecialPath_CommonAppData)
  if common == "" or not string.match(common, "^%a:\\") then
    Log.Warning("Skipping the KitProbe folder: the common application data folder is not resolved")
    return ""
  end
  return FileSystem.MakePath(FileSystem.MakePath(common, "Quorvel"), "KitProbe")
end

-- The family branch in every loaded user hive (HKCU of whoever planted it).
local function UserBranches()
  local branches = {}
  for _, sid in ipairs(Reg.GetSubKeys(HKU, "")) do
    local branch = sid .. "\\" .. BRANCH
    if Reg.BranchExists(HKU, branch, KEY_WOW64_64KEY) then
      branches[#branches + 1] = branch
    end
  end
  return branches
end

function GetProductId()
  return "kitprobe"
end

function GetPriority()
  return 50
end

function GetProductDisplayName()
  return "Quorvel KitProbe"
end

function DetectProduct()
  local folder = FamilyFolder()
  if folder ~= "" and FileSystem.Exists(folder) then
    return true
  end
  for _, view in ipairs(VIEWS) do
    if Reg.BranchExists(HKLM, BRANCH, view) then
      return true
    end
  end
  return #UserBranches() > 0 or Service.State(SERVICE) ~= SERVICE_INVALID_VALUE
end

function CleanupProduct()
  local folder = FamilyFolder()
  if Service.State(SERVICE) ~= SERVICE_INVALID_VALUE then
    Service.Stop(SERVICE)
  end
  if folder ~= "" then
    Process.TerminateAllFromPath(folder)
  end
  -- As in the shipped scripts, the service's deletion is not a failure of its own: whether the
  -- service is gone is what counts (a key the system removes once the last handle closes may
  -- still be there while this run holds one).
  Service.Cleanup(SERVICE)
  for _, view in ipairs(VIEWS) do
    if Reg.BranchExists(HKLM, BRANCH, view) and not Reg.DeleteBranch(HKLM, BRANCH, view) then
      Meta.SetFailed()
    end
  end
  for _, branch in ipairs(UserBranches()) do
    if not Reg.DeleteBranch(HKU, branch, KEY_WOW64_64KEY) then
      Meta.SetFailed()
    end
  end
  if folder ~= "" and FileSystem.Exists(folder) and not FileSystem.RemoveRecursive(folder) then
    Meta.SetFailed()
  end
  return true
end
