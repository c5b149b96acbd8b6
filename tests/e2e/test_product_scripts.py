"""The shipped product scripts on copies of the reference machine: a product installed alone is
removed by a silent run naming it, and the audit finds its "after removal" state and nothing else
changed. Detection and display names are asked through script_host on the same machines."""
import re

import pytest

from refmachine import Machine, family, refmachine  # noqa: F401 (the fixture)
from scripthost import SCRIPTS, lua

PRODUCT_IDS = ["omnivo", "harbex", "passkeep", "passkeepdata", "quarantine", "logs"]
SHIPPED = [i for i in PRODUCT_IDS if (SCRIPTS / f"{i}.lua").is_file()]
HARBEX_UNINSTALLER = family.QPF + "\\Harbex\\HarbexUninstall.exe"
HARBEX_ENTRY = "HKLM/32\\" + family.UNINST + "\\QuorvelHarbex"
TOOL_LOG = family.TOOL_LOG_DIR + "\\UninstallationTool.log"
EARLIER_LOG = family.TOOL_LOG_DIR + "\\UninstallationTool.1.log"


@pytest.fixture(scope="module")
def baseline(tmp_path_factory):
    """A clean baseline machine for the tests that leave it as they found it (the help run last)."""
    machine = Machine(tmp_path_factory.mktemp("baseline"), sections="baseline")
    yield machine
    machine.remove()


def removal_log(machine, before):
    return machine.log_text()[len(before):]


@pytest.mark.parametrize("product", ["harbex", "passkeep", "passkeepdata", "quarantine", "logs"])
def test_a_product_installed_alone_goes_and_nothing_else_changes(refmachine, product):
    machine = refmachine(sections=product)
    # An earlier run's log generation: the running tool's log folder must stay whole.
    machine.plant_file(EARLIER_LOG, "an earlier run\r\n")
    before = machine.log_text()

    result = machine.run_tool("--silent", "--products", product)
    log = removal_log(machine, before)
    # Alone, passkeep finds no vault (the vault belongs to the user data set), so it backs up
    # nothing; the backup is checked with both installed below.
    skip = ["passkeep_vault_backup"] if product == "passkeep" else []
    report = machine.audit(removed=[product], skip=skip)

    assert report.ok, report.text + "\n" + log
    assert result.code == 0, (result, log)
    assert f"Removing product: {product} " in log
    assert machine.path(EARLIER_LOG).read_bytes() == b"an earlier run\r\n"
    assert "I: wWinMain: Exiting with code: 0" in machine.path(TOOL_LOG).read_text(errors="replace")
    assert not machine.path(family.AL + "\\Backup").exists()


@pytest.mark.parametrize("variant", ["uninstaller absent", "uninstaller exits 0", "ProductName absent",
                                     "InstallPath damaged"])
def test_harbex_forced_clean_up_runs_only_without_a_successful_uninstaller(refmachine, variant):
    machine = refmachine(sections="harbex")
    if variant == "uninstaller absent":
        machine.path(HARBEX_UNINSTALLER).unlink()
    elif variant == "uninstaller exits 0":
        # The stand-in exits with the code it is given: the split command hands it both arguments.
        machine.plant_registry(HARBEX_ENTRY, "UninstallString", f'"{HARBEX_UNINSTALLER}" --exit 0')
    elif variant == "ProductName absent":
        machine.delete_registry("HKLM/32\\SOFTWARE\\Quorvel\\Harbex", "ProductName")
    else:
        machine.path(HARBEX_UNINSTALLER).unlink()
        machine.plant_registry("HKLM/32\\SOFTWARE\\Quorvel\\Harbex", "InstallPath", "C:\\Windows")
    before = machine.log_text()

    result = machine.run_tool("--silent", "--products", "harbex")
    log = removal_log(machine, before)
    forced = variant != "uninstaller exits 0"
    # A damaged installation path is refused: the program folder and its programs stay (and the
    # Windows folder is not touched), everything else of harbex goes.
    program_folder = "(x86)\\quorvel\\harbex\\"
    skip = [program_folder] if variant == "InstallPath damaged" else []
    report = machine.audit(removed=["harbex"] if forced else [], skip=skip)

    # Skipping the program folder also skips the service's process, which goes with its service.
    problems = [p for p in report.data["problems"]
                if not (skip and p["what"] == "unexpectedly gone" and p["item"].endswith("\\QvHarbexSvc.exe"))]
    assert problems == [], report.text + "\n" + log
    assert result.code == 0, (result, log)
    # Without ProductName the fallback name is the same, so the shortcuts are found all the same.
    assert "Removing product: harbex  (Quorvel Harbex)" in log
    assert ("Uninstaller finished successfully" in log) == (not forced), log
    assert ("Cleaning up services" in log) == forced, log
    if skip:
        assert "Ignoring Harbex installation path 'C:\\Windows': not a Quorvel folder" in log, log
        assert machine.path(family.QPF + "\\Harbex\\QvHarbexUI.exe").is_file()


def test_passkeep_backs_up_only_the_profile_that_has_a_vault(refmachine):
    machine = refmachine(sections="passkeep,passkeepdata")
    vault = machine.path(family.AL + "\\PasskeepLocalStorage\\vault.pkv").read_bytes()

    machine.run_tool("--silent", "--products", "passkeep")

    backups = {user: machine.path(f"C:\\Users\\{user}\\AppData\\Local\\Quorvel\\Backup").exists()
               for user in ("alice", "bob", "Public", "Default")}
    assert backups == {"alice": True, "bob": False, "Public": False, "Default": False}
    assert not machine.path("C:\\ProgramData\\AppData").exists()
    backup = machine.path(family.AL + "\\Backup\\passkeep_vault_backup.pkv")
    assert backup.read_bytes() == vault
    report = machine.audit(removed=["passkeep"])
    assert report.ok, report.text


# (script, rows or files planted on the clean baseline, detected, display name)
DETECTION = [
    ("harbex", [("key", "HKLM/32\\SOFTWARE\\Quorvel\\Harbex")], True, "Quorvel Harbex"),
    ("harbex", [("value", "HKLM/64\\SOFTWARE\\Quorvel\\Harbex")], False, "Quorvel Harbex"),
    ("passkeep", [("key", "HKLM/32\\SOFTWARE\\Quorvel\\NS\\passkeep\\Passkeep")], False, "Quorvel Passkeep"),
    ("passkeep", [("value", "HKLM/32\\SOFTWARE\\Quorvel\\NS\\passkeep\\Passkeep")], True, "Quorvel Passkeep"),
    ("passkeepdata", [("file", "C:\\Users\\bob\\AppData\\Local\\Quorvel\\NS\\passkeep\\Vault\\sub\\x.pkv")], False,
     "Quorvel Passkeep User Data"),
    ("passkeepdata", [("file", "C:\\Users\\bob\\AppData\\Local\\Quorvel\\NS\\passkeep\\Vault\\x.pkv")], True,
     "Quorvel Passkeep User Data"),
    ("quarantine", [("file", family.D + "\\Quarantine\\old\\0000.qvq")], False, ""),
    ("quarantine", [("file", family.D + "\\Quarantine\\index.dat")], True, ""),
    ("logs", [("file", family.D + "\\UnknownComponent\\keep.dat")], False, ""),
    ("logs", [("file", family.D + "\\NS\\x\\Log\\a.log")], True, ""),
    ("logs", [("file", TOOL_LOG)], True, ""),
]


def test_nothing_is_detected_and_a_plain_silent_run_changes_nothing_on_the_clean_baseline(refmachine):
    machine = refmachine(sections="baseline")
    detected = [lua(f"{i}.lua", "return tostring(DetectProduct())", env=machine.env) for i in SHIPPED]
    assert detected == [["false"]] * len(SHIPPED)

    # Without --products every product but logs is removed, detected or not: on a machine without
    # the family that must touch nothing.
    before = machine.log_text()
    result = machine.run_tool("--silent")
    log = removal_log(machine, before)
    report = machine.audit(removed=[])
    assert report.ok, report.text + "\n" + log
    assert result.code == 0, (result, log)
    assert [i for i in SHIPPED if f"Removing product: {i} " in log] == [i for i in SHIPPED if i != "logs"]


def test_detection_and_display_names(baseline):
    machine = baseline
    got = []
    for script, plants, _, _ in DETECTION:
        for kind, path in plants:
            if kind == "file":
                machine.plant_file(path, "x")
            elif kind == "value":
                machine.plant_registry(path, "Version", "1")
            else:
                machine.plant_registry(path + "\\Sub", "", "")
                machine.delete_registry(path + "\\Sub")
        answer = lua(f"{script}.lua", "return tostring(DetectProduct()), GetProductDisplayName()", env=machine.env)
        got.append(tuple(answer))
        for kind, path in plants:
            if kind == "file":
                machine.path(path).unlink()
            else:
                machine.delete_registry(path)
    assert got == [(str(detected).lower(), name) for _, _, detected, name in DETECTION]


# Last on the shared baseline: the run writes the tool's log there, which the logs script detects.
def test_help_lists_the_products_in_priority_order(baseline):
    result = baseline.run_tool("--help")
    listed = re.search(r"one of the following:\s+(\S+)\.", result.stdout)
    assert listed and listed.group(1) == "|".join(SHIPPED), (result, result.stderr)
