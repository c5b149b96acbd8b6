"""The reference machine itself: the builder puts every item of the family's data on it, and the
audit names what a removal got wrong."""
import shutil

import pytest

from refmachine import family, refmachine  # noqa: F401  (fixture)


def services(snap, test):
    root = "hklm\\system\\currentcontrolset\\services\\"
    names = {k[len(root):] for k in snap.registry if k.startswith(root) and "\\" not in k[len(root):]}
    return [n for n in names if test(n, snap.registry[root + n][1])]


def type_of(values):
    return values.get("type", (None, None, None))[2]


# What the data counts, counted on the machine (not in the table that built it).
COUNTS = [
    ("scanning SDK services", lambda s: len(services(s, lambda n, v: n.startswith("qvwl"))), 10),
    ("legacy filter services", lambda s: len(services(s, lambda n, v: n.startswith("qvscan"))), 6),
    ("tunnel SDK driver services", lambda s: len(services(s, lambda n, v: n.startswith("qvtunsdk") and type_of(v) == 1)), 2),
    ("harbex driver services", lambda s: len(services(s, lambda n, v: n.startswith("qvhbx"))), 3),
    ("passkeep host services", lambda s: len(services(s, lambda n, v: n.endswith("_passkeep"))), 2),
    ("legacy installer logs", lambda s: sum(1 for k in s.files if k.startswith("c:\\windows\\qv") and k.endswith(".log")
                                            and k.count("\\") == 2), 19),
    ("scanning SDK 1400/1450 branches", lambda s: sum(1 for k in s.registry if k.startswith(
        "hklm\\software\\quorvel\\brel\\d") and k.rsplit("\\", 1)[1] in ("1400", "1450")), 4),
    ("Installer products of the family", lambda s: sum(1 for k, (_, v) in s.registry.items() if k.endswith(
        "\\installproperties") and v.get("publisher", ("", "", ""))[2] == family.QC), 14),
    ("harbex devices", lambda s: sum(1 for k, (_, v) in s.registry.items() if k.startswith(
        "hklm\\system\\currentcontrolset\\enum\\root\\") and "qvhbx" in str(v.get("hardwareid", ""))), 2),
]


@pytest.mark.parametrize("variant", ["normal", "failing"])
def test_built_machine_holds_every_item(refmachine, variant):
    machine = refmachine(variant=variant)
    report = machine.audit(removed=[])  # nothing ran: every item present, nothing changed
    assert report.ok, report.text
    for name, count, expected in COUNTS:
        assert count(machine.before) == expected, name
    failing = variant == "failing"
    assert (machine.before.value(r"HKLM\SOFTWARE\Wow6432Node\Quorvel", family.D + r"\SHARESTORE2") is not None) == failing
    # The real packages are installed, and their removal fails in the failing variant only.
    machine.start()
    result = machine.run_tool("/x", family.GUIDS["PC-PK-APP"], "/qn", exe="msiexec")
    assert result.code == (1603 & 0xFF if failing else 0)


def delete_file(machine, path):
    machine.path(path).unlink()


# Each row: what a faulty removal does, and the problem the audit must name for it.
FAULTS = [
    (lambda m: delete_file(m, r"C:\Windows\OtherVendorSetup.log"), "missing", "file C:\\Windows\\OtherVendorSetup.log"),
    (lambda m: m.delete_registry(r"HKLM/32\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\ExampleVendorApp"),
     "missing", "ExampleVendorApp : DisplayName"),
    (lambda m: m.plant_file(family.AL + r"\Backup\passkeep_vault_backup.pkv", "x"), "created",
     "file " + family.AL + r"\Backup\passkeep_vault_backup.pkv"),
    (lambda m: m.plant_file(r"C:\Users\bob\Documents\stray.txt", "x"), "unexpectedly new",
     r"C:\Users\bob\Documents\stray.txt"),
    (lambda m: m.plant_registry(r"HKLM/64\SOFTWARE\Quorvel\BREL\Logging", "LogLevel", 6, "dword"), "changed",
     r"Quorvel\BREL\Logging : LogLevel"),
    (lambda m: m.delete_registry(r"HKLM\SYSTEM\CurrentControlSet\Services\ExampleVendorSvc"), "missing",
     "service ExampleVendorSvc"),
]


# A right removal of logs on a machine with passkeep, quarantine and logs, written from the data's
# own account of it: what goes, folder by folder (the rest of each brand folder stays).
LOGS_GO = [family.D + rf"\{p}" for p in (r"Log\Omnivo", r"Log\ServiceAgent", r"Log\stray.txt", "Logs", "Msi",
                                           r"NS\default\Log", r"NS\passkeep\Log")] + [
    family.NSV + r"\Quorvel", family.LS + r"\Quorvel", family.AL + r"\Log", family.AL + r"\NS",
    family.ALICE + r"\AppData\LocalLow\Quorvel"] + [rf"C:\Windows\{n}.log" for n in family.LEGACY_LOGS]


def test_audit_names_what_a_removal_got_wrong(refmachine):
    machine = refmachine(sections="passkeep,quarantine,logs")
    machine.audit(removed=[])  # the 'before' snapshot
    # A right removal of quarantine and logs.
    for path in [family.D + r"\Quarantine"] + LOGS_GO:
        target = machine.path(path)
        shutil.rmtree(target) if target.is_dir() else target.unlink()
    report = machine.audit(removed=["quarantine", "logs"])
    assert report.ok, report.text
    assert report.data["family_remainder"] == []
    # One family file left behind after "removing" quarantine, plus the faults of the table.
    machine.plant_file(family.D + r"\Quarantine\old\0000.qvq", "left")
    for fault, _, _ in FAULTS:
        fault(machine)
    report = machine.audit(removed=["quarantine", "logs"])
    assert not report.ok
    found = {(p["what"], p["item"].lower()) for p in report.data["problems"]}
    for what, label in [("left behind", "file " + family.D + r"\Quarantine\old\0000.qvq")] + [f[1:] for f in FAULTS]:
        assert any(w == what and label.lower() in item for w, item in found), (what, label, report.text)
    assert report.data["family_remainder"] == ["file " + family.D + r"\Quarantine\old\0000.qvq"]
    assert "FAILED" in report.text
