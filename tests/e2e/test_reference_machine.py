"""The reference machine itself: the builder puts every item of the family's data on it, and the
audit names what a removal got wrong."""
import shutil
import time

import pytest

from refmachine import auditing, builder, family, refmachine, snapshot  # noqa: F401  (fixture)


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
    # A right removal of quarantine and logs; a locked file and its folder go at the next restart.
    quarantine = family.D + r"\Quarantine"
    for path in [quarantine + r"\old", quarantine + r"\0001.qvq", quarantine + r"\0002.qvq"] + LOGS_GO:
        target = machine.path(path)
        shutil.rmtree(target) if target.is_dir() else target.unlink()
    machine.plant_registry(r"HKLM\SYSTEM\CurrentControlSet\Control\Session Manager", "PendingFileRenameOperations",
                           ["\\??\\" + quarantine + r"\index.dat", "", "\\??\\" + quarantine, ""], "multi")
    report = machine.audit(removed=["quarantine", "logs"])
    assert report.ok, report.text
    assert report.data["pending_deletions"] == sorted([quarantine + r"\index.dat", quarantine])
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


def remove_by_hand(machine, removed):
    """A faultless removal done from outside: the real packages through the Installer, services
    through the service manager, programs ended, then every row, file and family folder deleted
    that the audit expects gone, and what the removal creates put in place."""
    checks = auditing.checks_for(machine.items, set(removed), machine.manifest)
    gone = [c for c in checks if c.expect == "gone"]
    for item in machine.items:
        if item.kind == "msi" and item.removed_by in removed and family.MSI_BY_REF[item.path].real:
            assert machine.run_tool("/x", family.GUIDS[item.path], "/qn", exe="msiexec").code == 0
    for c in gone:
        if c.kind == "services":
            name = c.path.rsplit("\\", 1)[1]
            machine.run_tool("stop", name, exe="sc")
            machine.run_tool("delete", name, exe="sc")
    # Programs end (a stopped service's process may take a moment), the last ones by force.
    programs = [c.path for c in gone if c.kind == "processes"]
    for _ in range(100):
        running = [p for p in programs if p in snapshot.processes(machine.prefix)]
        if not running:
            break
        for path in running:
            machine.run_tool("/f", "/im", path.rsplit("\\", 1)[1], exe="taskkill")
        time.sleep(0.2)
    containers = auditing.containers_of(checks, machine.fresh)
    lines = ["Windows Registry Editor Version 5.00", ""]
    # Values first: opening a key in a .reg file creates it again.
    for path in sorted(c.path for c in gone) + sorted(containers):
        key, _, value = path.partition(" :: ")
        if not key.startswith(("hklm\\", "hku\\")) or "\\enum\\root\\" in key or (value and key in containers):
            continue
        key = key.replace("hklm", "HKEY_LOCAL_MACHINE", 1).replace("hku", "HKEY_USERS", 1)
        lines += [f"[{key}]", f'"{value}"=-', ""] if value else [f"[-{key}]", ""]
    reg = machine.root / "removal.reg"
    reg.write_bytes(b"\xff\xfe" + "\r\n".join(lines).encode("utf-16-le"))
    machine.run_tool("/s", builder.zpath(reg), exe="regedit")
    for path in sorted(containers) + [c.path for c in gone]:
        if path[1:3] == ":\\" and machine.path(path).exists():
            target = machine.path(path)
            shutil.rmtree(target) if target.is_dir() else target.unlink()
    for c in checks:
        if c.expect == "appears":
            machine.plant_file(c.item.path, "copy")


def test_a_faultless_whole_removal_passes_the_audit(refmachine):
    machine = refmachine()
    remove_by_hand(machine, family.PRODUCTS)
    report = machine.audit(removed=family.PRODUCTS)
    assert report.ok, report.text
    # What stays of the family's own folders (the data's must-remain list, without the tool's log).
    after = machine.snapshot().files
    quorvel = sorted(p for p in after if "quorvel" in p)
    assert quorvel == sorted(p.lower() for p in (
        family.D, family.D + r"\Log", family.D + r"\NS", family.D + r"\NS\default", family.D + r"\NS\default\Cache",
        family.D + r"\NS\default\Cache\keep.bin", family.D + r"\UnknownComponent",
        family.D + r"\UnknownComponent\keep.dat", family.AL, family.AL + r"\Backup",
        family.AL + r"\Backup\passkeep_vault_backup.pkv"))


# Packed forms as the data's GUID register gives them.
@pytest.mark.parametrize("ref, packed", [
    ("PC-SUITE", "5431B29A3F55A9C42AF144BFC67970B7"), ("CC-SHARED", "8D1F9136B1B118448B34C3852E148CEE"),
    ("UC-AGENT", "671B5F180864AEB4CB278EDC4FEDA0E0"), ("PC-NAME6", "75F5BA5BEA857E5458763B7EDEC21D10"),
    ("UC-PKDATA", "CFFBB426D13FA714C9F5AA5A1A7DD30F"), ("PC-OTHER2", "C5BDE8FF7A0E8D442A3D00AFD8D0E158"),
])
def test_installer_codes_pack_as_the_register_says(ref, packed):
    assert family.packed(family.GUIDS[ref]) == packed


# Value lines of Wine's hive files and of regedit exports, as the snapshot reads them.
HIVE = "\n".join([
    "WINE REGISTRY Version 2",
    r"[Software\\Quorvel\\A b] 1796780401",
    "#time=1dd877e34c3e196",
    r'"Path"="C:\\Program Files (x86)\\Q \"x\""',
    r'@="default"',
    r'"Exp"=str(2):"%ProgramData%\\Q"',
    r'"Multi"=str(7):"a\0b\0"',
    '"Dw"=dword:0000002a',
    '"Bin"=hex:5a,17,\\',
    "  00,9c",
    '"Utf16"=hex(2):41,00,42,00,00,00',
])


@pytest.mark.parametrize("name, vtype, data", [
    ("Path", "sz", r'C:\Program Files (x86)\Q "x"'), ("", "sz", "default"), ("Exp", "expand", r"%ProgramData%\Q"),
    ("Multi", "multi", ["a", "b"]), ("Dw", "dword", 42), ("Bin", "binary", bytes([0x5A, 0x17, 0x00, 0x9C])),
    ("Utf16", "expand", "AB"),
])
def test_snapshot_reads_hive_values(name, vtype, data):
    keys = snapshot.parse_reg(HIVE, "HKLM", wine_format=True)
    key, values = keys["hklm\\software\\quorvel\\a b"]
    assert key == r"HKLM\Software\Quorvel\A b"
    assert values[name.lower()] == (name, vtype, data)
