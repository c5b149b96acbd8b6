-- The main suite: the suite itself, the operator service agent and the VPN SDK, removed together
-- in phases so that no part's files are deleted while another part's uninstaller still needs them.
require "lib_common"
require "lib_sharestore2"
require "lib_wisplite_sdk"
require "lib_omnivo"
require "lib_service_agent"
require "lib_tunnel_sdk"

local subProducts = {lib_omnivo, lib_service_agent, lib_tunnel_sdk}
local detectedSubProduct = ""

function GetProductId()
  return "omnivo"
end

function GetPriority()
  return 10
end

function GetProductDisplayName()
  for _, sub in ipairs(subProducts) do
    local name = sub.GetName()
    if not lib_common.IsEmpty(name) then
      return name
    end
  end
  return ""
end

function DetectProduct()
  detectedSubProduct = ""
  for _, sub in ipairs(subProducts) do
    if sub.IsDetected() then
      detectedSubProduct = sub.GetSubProductId()
      Log.Debug("Subproduct " .. detectedSubProduct .. " was detected")
      return true
    end
  end
  return false
end

function GetSubProductIdDetected()
  return detectedSubProduct
end

local function ForEach(phase)
  for _, sub in ipairs(subProducts) do
    sub[phase]()
  end
end

function CleanupProduct()
  Log.Debug("CleanupProduct started")
  ForEach("Prepare")
  ForEach("GracefulUninstall")
  if lib_wisplite_sdk.IsInstalled() then
    lib_wisplite_sdk.Remove()
  end
  lib_wisplite_sdk.ForceRemoveOldScanningPlatform()
  ForEach("ForceRemove")
  -- Every part whose own installer failed still holds its reference to the shared data: each one
  -- is dropped, or a second failed holder would keep the folder forever.
  for _, sub in ipairs(subProducts) do
    if sub.remove_sharestore2 then
      lib_sharestore2.Remove()
    end
  end
  Log.Debug("CleanupProduct finished")
  return true
end
