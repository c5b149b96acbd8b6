-- The shared data folder that several family products reference. Each installed holder adds one to
-- a count kept in the 32-bit brand branch, under a value named by the folder's full path; the last
-- holder to leave removes the folder.
require "lib_common"

lib_sharestore2 = {}

local BRAND_BRANCH = "SOFTWARE\\Quorvel"

-- The folder's path, or "" when the brand data folder is not resolved.
function lib_sharestore2.GetFolder()
  return lib_common.SafePath("the shared data folder", lib_common.GetQvDataPath(), "SHARESTORE2")
end

-- Drops one reference. Called once for every holder whose own installer failed to do it.
function lib_sharestore2.Remove()
  local folder = lib_sharestore2.GetFolder()
  if folder == "" then
    return
  end
  local count = Reg.GetNumber(HKLM, BRAND_BRANCH, folder, KEY_WOW64_32KEY)
  if count < 2 then
    Log.Info("SHARESTORE2 ref count: " .. count .. ". Removing SHARESTORE2 data from disk.")
    Reg.DeleteKey(HKLM, BRAND_BRANCH, folder, KEY_WOW64_32KEY)
    -- The count can be the brand branch's last value: the products' own clean-up has already tried
    -- to remove the branch, so it would stay behind empty.
    Reg.DeleteBranchIfEmpty(HKLM, BRAND_BRANCH, KEY_WOW64_32KEY)
    FileSystem.RemoveRecursive(folder)
  else
    Reg.SetNumber(count - 1, HKLM, BRAND_BRANCH, folder, KEY_WOW64_32KEY)
    Log.Debug("SHARESTORE2 ref count: " .. count .. " -> " .. (count - 1))
  end
end

return lib_sharestore2
