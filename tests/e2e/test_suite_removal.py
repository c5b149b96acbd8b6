"""The main suite removed from reference machines holding one part of it each: the audit compares
the machine with the family data (what goes, what stays, nothing else touched)."""
import shutil

import pytest

from harness import helper
from refmachine import builder, family, refmachine, snapshot  # noqa: F401 (fixture)

WLP = family.QPF + r"\Wisplite"
SUITE_PATH = r"HKLM/64\SOFTWARE\Quorvel\NS\default\Omnivo"
SHARESTORE2 = family.D + r"\SHARESTORE2"
REBOOT = "Reboot needed: Wisplite uninstaller requested a reboot"


def remove_suite(machine):
    result = machine.run_tool("--silent", "--products", "omnivo")
    log = machine.log_text()
    return result, log, machine.audit(removed=["omnivo"])


def problems(report):
    return [(p["what"], p["kind"], p["item"]) for p in report.data["problems"]]


@pytest.mark.parametrize("section, exit_code", [("suite", 0), ("agent", 0), ("tunnel", 0), ("wisplite", 99)])
def test_each_part_alone_is_removed_and_nothing_else(refmachine, section, exit_code):
    machine = refmachine(sections=section)
    result, log, report = remove_suite(machine)
    assert report.ok, report.text
    # Only the scanning SDK, whose uninstaller is missing here, asks for a restart.
    assert result.code == exit_code, (result, log)
    assert (REBOOT in log) == (section == "wisplite"), log
    assert "calling 'CleanupProduct'" not in log and "CleanupProduct finished" in log, log
    assert machine.path(family.TOOL_LOG_DIR + r"\UninstallationTool.log").is_file()


# The uninstaller: missing; a stand-in that succeeds (print_chunks takes "--silent" as exit code 0);
# the product stand-in, which fails as every uninstaller copy of it does.
@pytest.mark.parametrize("uninstaller", [None, "print_chunks", "product_stub"])
def test_scanning_sdk_uninstaller_present_or_missing(refmachine, uninstaller):
    machine = refmachine(sections="wisplite")
    if uninstaller:
        target = machine.plant_file(WLP + r"\core\x86\uninstall.exe")
        shutil.copyfile(helper(uninstaller), target)
    result, log, report = remove_suite(machine)
    ran = f"Create process:'{WLP}\\core\\x86\\uninstall.exe' with args:'--silent --namespace default'"
    assert (ran in log) == (uninstaller is not None), log
    assert ("uninstall.exe not found" in log) == (uninstaller is None), log
    succeeded = uninstaller == "print_chunks"
    assert (REBOOT in log) != succeeded, log
    if not succeeded:
        assert result.code == 99, (result, log)
        # Missing or failed: the forced clean-up leaves the data's remainder, nothing else.
        assert report.ok, report.text
    else:
        # Trusted to do its work: the SDK's services and registry are left to it (a stand-in leaves
        # them); the old platform's services go, and nothing outside the family is touched.
        # (The old platform's step removes the still registered folder: the running programs' files
        # are scheduled for deletion at restart, which the audit counts as gone.)
        found = problems(report)
        assert found and all(what == "left behind" for what, _, _ in found), report.text
        assert ("left behind", "services", "service QvWlBroker") in found, report.text
        assert not any("QvScan" in item for _, _, item in found), report.text


@pytest.mark.parametrize("sections, count, left", [
    ("suite,sharestore2", 1, None),        # one failed holder, the last reference: all goes
    ("suite,agent,sharestore2", None, None),  # the data's two references, both holders failed
    ("suite,sharestore2", 3, 2),           # one failed holder of three references
])
def test_shared_data_references_of_failed_holders(refmachine, sections, count, left):
    machine = refmachine(sections=sections, variant="failing")
    if count is not None:
        machine.plant_registry(r"HKLM/32\SOFTWARE\Quorvel", SHARESTORE2, count, "dword")
    result, log, report = remove_suite(machine)
    assert "MSI uninstall failed, remove SHARESTORE2 reference manually" in log, log
    hklm = snapshot.read_hklm(machine.prefix)
    brand = hklm.get(builder.snapshot_key("HKLM/32", r"SOFTWARE\Quorvel").lower())
    folder = machine.path(SHARESTORE2 + r"\shared.db")
    if left is None:
        assert report.ok, report.text
        assert "SHARESTORE2 ref count: 1. Removing SHARESTORE2 data from disk." in log, log
        assert brand is None and not folder.exists()
    else:
        assert brand[1][SHARESTORE2.lower()][2] == left and folder.is_file()
        assert all("SHARESTORE2" in item or item.lower().endswith(r"software\wow6432node\quorvel")
                   for _, _, item in problems(report)), report.text


@pytest.mark.parametrize("damaged", ["C:\\", family.PF86, r"C:\Windows"])
def test_damaged_suite_folder_value_touches_nothing_outside(refmachine, damaged):
    machine = refmachine(sections="suite")
    machine.plant_registry(SUITE_PATH, "InstallPath", damaged)
    result, log, report = remove_suite(machine)
    assert f"Ignoring suite installation folder '{damaged}': not a Quorvel folder" in log, log
    assert "Terminating process" not in log, log
    # The suite's own folder is not searched either: its files, its user program and the program
    # folder above are what is left.
    found = problems(report)
    assert found, report.text
    for what, kind, item in found:
        assert what == "left behind" and family.QPF.lower() in item.lower(), report.text
    assert machine.path(family.PF86 + r"\Example Vendor\app.exe").is_file()
