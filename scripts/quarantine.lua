-- Files the suite put in quarantine, below the brand data folder.
require "lib_common"

-- "" when the brand data folder is not resolved: the bare name would be a path relative to the
-- tool's current folder.
local function QuarantineFolder()
  return lib_common.SafePath("the quarantine folder", lib_common.GetQvDataPath(), "Quarantine")
end

function GetProductId()
  return "quarantine"
end

function GetPriority()
  return 98
end

-- The wizard shows its own localised name for this product.
function GetProductDisplayName()
  return ""
end

function DetectProduct()
  local folder = QuarantineFolder()
  return not lib_common.IsEmpty(folder) and FileSystem.ContainsFiles(folder)
end

function CleanupProduct()
  local folder = QuarantineFolder()
  if not lib_common.IsEmpty(folder) then
    FileSystem.RemoveRecursive(folder)
  end
  return true
end
