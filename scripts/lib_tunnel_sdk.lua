-- Sub-product "tunnel_sdk": the VPN SDK the suite installs, with its own installer, a service, a
-- virtual network adapter and two driver services.
require "lib_common"

lib_tunnel_sdk = {}

local SDK_BRANCH = "SOFTWARE\\Quorvel\\TunnelSDK"
local BRAND = "SOFTWARE\\Quorvel"
local VIEWS = {KEY_WOW64_64KEY, KEY_WOW64_32KEY}
local FALLBACK_NAME = "Quorvel Tunnel SDK"
local INSTALLER = "QvTunnelSdkSetup.exe"
local SERVICE = "QvTunnelSdkSvc"
local MANUFACTURER = "Quorvel Corporation"
local DRIVER = "qvtunsdknic"
local DRIVER_SERVICES = {"QvTunSdkNic", "QvTunSdkFlt"}

lib_tunnel_sdk.install_path = ""
lib_tunnel_sdk.remove_sharestore2 = false

-- The first non-empty value of the SDK branch, 64-bit view first.
local function ReadValue(name)
  for _, view in ipairs(VIEWS) do
    local value = Reg.GetString(HKLM, SDK_BRANCH, name, view)
    if value ~= "" then
      return value
    end
  end
  return ""
end

function lib_tunnel_sdk.GetSubProductId()
  return "tunnel_sdk"
end

function lib_tunnel_sdk.IsDetected()
  for _, view in ipairs(VIEWS) do
    if Reg.BranchExists(HKLM, SDK_BRANCH, view) then
      return true
    end
  end
  return false
end

function lib_tunnel_sdk.GetName()
  if not lib_tunnel_sdk.IsDetected() then
    return ""
  end
  local name = ReadValue("ProductName")
  if name == "" then
    return FALLBACK_NAME
  end
  return name
end

function lib_tunnel_sdk.Prepare()
  lib_tunnel_sdk.install_path =
    lib_common.SafeInstallPath(ReadValue("InstallationRootDirectory"), "tunnel SDK installation folder")
  lib_tunnel_sdk.remove_sharestore2 = false
end

function lib_tunnel_sdk.GracefulUninstall()
  if lib_tunnel_sdk.install_path == "" then
    return
  end
  -- The executable and its arguments stay apart: one string holding both would reach the system
  -- as a single (nonexistent) program name.
  local installer = FileSystem.MakePath(lib_tunnel_sdk.install_path, INSTALLER)
  if not FileSystem.IsFile(installer) then
    Log.Warning("Tunnel SDK installer not found: " .. installer)
    return
  end
  if Process.StartProcessAndWaitForCompletion(installer, "-cmd uninstall -quiet 1 -svcname " .. SERVICE, 40000,
                                              CreationFlags_DETACHED_PROCESS) then
    Log.Debug("Uninstall tool run successfully")
  else
    Log.Warning("Graceful uninstall failed")
  end
end

function lib_tunnel_sdk.ForceRemove()
  local installPath = lib_tunnel_sdk.install_path
  lib_common.CleanServices(installPath, {SERVICE})
  if not Win32Driver.UninstallOemDriversByManufacturerAndName(MANUFACTURER, DRIVER) then
    Log.Warning("Failed to uninstall driver " .. DRIVER)
  end
  lib_common.CleanServices(nil, DRIVER_SERVICES)
  for _, view in ipairs({KEY_WOW64_32KEY, KEY_WOW64_64KEY}) do
    Reg.DeleteBranch(HKLM, SDK_BRANCH, view)
    Reg.DeleteBranchIfEmpty(HKLM, BRAND, view)
  end
  local data = lib_common.SafePath("the tunnel SDK data folder", lib_common.GetQvDataPath(), "TunnelSDK")
  if data ~= "" then
    FileSystem.RemoveRecursive(data)
  end
  -- The SDK's installer normally removes its folder; after a failed run the folder (and the brand
  -- program folder it leaves empty) would stay.
  if installPath ~= "" then
    FileSystem.RemoveDirectoryRecursiveAndParentIfEmpty(installPath)
  end
end

return lib_tunnel_sdk
