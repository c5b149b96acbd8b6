"""Windows Installer products removed by a script through the real Installer: real packages built
with wixl and installed with msiexec on a copy of the test machine (one package cannot be removed
at all), then uninstalled by upgrade code from a silent run."""
import re

from harness import run
from scriptset import tool_with_scripts
from testmsi import MIX, OTHER, PACKAGES, PAIR, build

UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
INSTALLER_LOG = "C:\\msi-uninstall.log"

SCRIPT = f"""
local PAIR, MIX, OTHER = "{PAIR}", "{MIX}", "{OTHER}"
function GetProductId() return "msi" end
function GetProductDisplayName() return "Installer products" end
function DetectProduct() return true end
function CleanupProduct()
  Log.Info("detect pair " .. tostring(Msi.DetectUpgradeCode(PAIR)))
  Log.Info("pair " .. tostring(Msi.UninstallProduct(PAIR, "{INSTALLER_LOG.replace(chr(92), chr(92) * 2)}")))
  Log.Info("mix " .. tostring(Msi.UninstallProduct(MIX)))
  Log.Info("detect pair after " .. tostring(Msi.DetectUpgradeCode(PAIR)))
  Log.Info("detect other " .. tostring(Msi.DetectUpgradeCode(OTHER)))
  return true
end
"""


def registered(machine, product_code):
    """Whether the product's uninstall-list entry exists in either registry view."""
    return any(run("reg", "query", f"{UNINSTALL}\\{product_code}", view, env=machine.env).code == 0
               for view in ("/reg:64", "/reg:32"))


def payload(machine, package):
    return machine.prefix / "drive_c" / "Program Files" / package.folder / "payload.txt"


def test_products_of_an_upgrade_code_are_uninstalled(tmp_path, scratch_machine):
    machine = scratch_machine
    for package in PACKAGES:
        msi = build(package, tmp_path / "packages")
        assert run("msiexec", "/i", "Z:" + str(msi).replace("/", "\\"), "/qn", env=machine.env).code == 0
        assert payload(machine, package).is_file() and registered(machine, package.product_code), package.key

    exe = tool_with_scripts(tmp_path / "tool", {"msi.lua": SCRIPT})
    result = run(exe, "--silent", env=machine.env, timeout=300)
    log = machine.log_text()

    # Beta asks for a restart: the run ends with 99, and the restart is recorded once.
    assert result.code == 99, (result, log)
    assert log.count("Reboot is needed (MSI 3010)") == 1
    assert re.search(r"detect pair true\r\n", log) and re.search(r"pair true\r\n", log)
    assert f"Uninstalling 2 products from upgrade code '{PAIR}'" in log
    assert f"Enabled msi log into '{INSTALLER_LOG}'" in log
    installer_log = machine.prefix / "drive_c" / "msi-uninstall.log"
    assert installer_log.is_file() and installer_log.stat().st_size > 0

    # Gamma's removal fails; delta, after it, is still removed.
    by_key = {package.key: package for package in PACKAGES}
    assert f"*E: Lua::Msi::UninstallProduct: Uninstalling '{by_key['gamma'].product_code}' failed: 1603" in log
    assert f"Uninstalling '{by_key['delta'].product_code}' succeeded\r\n" in log
    assert re.search(r"mix false\r\n", log)
    assert re.search(r"detect pair after false\r\n", log) and re.search(r"detect other true\r\n", log)

    for key, stays in (("alpha", False), ("beta", False), ("delta", False), ("gamma", True), ("other", True)):
        package = by_key[key]
        assert payload(machine, package).is_file() == stays, key
        assert registered(machine, package.product_code) == stays, key
