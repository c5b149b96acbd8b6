-- The password manager's user data: the users' vaults, left behind by passkeep on purpose.
require "lib_common"

local NAMESPACE = "passkeep"
local DISPLAY_NAME = "Quorvel Passkeep" .. " User Data"
local UPGRADE_CODE = "{624BBFFC-F31D-417A-9C5F-AAA5A1D73DF0}"
-- Below each user's local application data brand folder: the legacy local storage and the
-- namespace's vault folder.
local USER_FOLDERS = {"PasskeepLocalStorage", "NS\\passkeep\\Vault"}

-- Checked paths only: an unresolved base would leave a relative path, deleted in the tool's
-- current folder.
local function UserFolders(user)
  local folders = {}
  for _, name in ipairs(USER_FOLDERS) do
    local folder = lib_common.SafePath("the user's Passkeep data", user, "AppData\\Local\\Quorvel", name)
    if not lib_common.IsEmpty(folder) then
      folders[#folders + 1] = folder
    end
  end
  return folders
end

function GetProductId()
  return "passkeepdata"
end

function GetPriority()
  return 26
end

function GetProductDisplayName()
  return DISPLAY_NAME
end

function DetectProduct()
  for _, user in ipairs(lib_common.GetUserFolders()) do
    for _, folder in ipairs(UserFolders(user)) do
      if FileSystem.ContainsFiles(folder) then
        Log.Info("Passkeep user data found in " .. user)
        return true
      end
    end
  end
  return false
end

function CleanupProduct()
  Msi.UninstallProduct(UPGRADE_CODE)
  Msi.CleanupRegistryUpgradeCode(UPGRADE_CODE)
  for _, user in ipairs(lib_common.GetUserFolders()) do
    for _, folder in ipairs(UserFolders(user)) do
      FileSystem.RemoveDirectoryRecursiveAndParentIfEmpty(folder)
    end
  end
  lib_common.CleanUserAppDataNamespace(NAMESPACE)
  return true
end
