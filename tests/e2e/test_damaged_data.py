"""The whole family removed from a machine whose family data is damaged or planted to steer the
deletions outward (paths Windows rewrites, names that climb out of shared folders, a stray
upgrade-code value, a registry link into another vendor's branch, the tool's log folder in another
case). The other vendors' items are planted before the run, so the audit's "nothing else changed"
covers them; each refusal is named in a warning."""
import re

from refmachine import family, refmachine  # noqa: F401  (the fixture)

ALL = ["omnivo", "harbex", "passkeep", "passkeepdata", "quarantine", "logs"]
NSO = r"SOFTWARE\Quorvel\NS\default\Omnivo"
OTHER = r"SOFTWARE\OtherVendor"
OTHER_PRODUCT = family.packed("{3E0C9D52-7A41-4B8E-9F06-5D2A8C1B7E43}")
STRAY_UPGRADE = family.packed(family.GUIDS["UC-AG04"])
LOG_FOLDER = family.D + r"\Log\uninstallationtool"
EARLIER_LOG = LOG_FOLDER + r"\UninstallationTool.1.log"

# Another vendor's things, planted first: (kind, where, name, data).
OUTSIDE = [
    ("value", rf"HKLM/32\{family.UNINST}\OtherVendorTool", "DisplayName", "Other Vendor Tool"),
    ("value", rf"HKLM/32\{family.UNINST}\OtherVendorTool", "Publisher", "Other Vendor Inc"),
    ("value", rf"HKLM/64\{OTHER}", "Edition", "Pro"),
    ("value", rf"HKLM/64\{OTHER}\Settings", "Level", "3"),
    ("value", rf"HKLM/64\SOFTWARE\Classes\Installer\Products\{OTHER_PRODUCT}", "ProductName", "Other Vendor Tool"),
    ("value", rf"HKLM/64\SOFTWARE\Classes\Installer\Features\{OTHER_PRODUCT}", "Core", ""),
    ("file", family.PROGS + r"\Other Vendor Tool\Other Vendor Tool.lnk", None, "lnk"),
    ("file", family.PF86 + r"\Other Vendor Shared\shared.dll", None, "dll"),
]

# Damaged family values: (where, name, data, the warning the scripts log for it, or None where the
# native Installer clean-up refuses it).
DAMAGE = [
    (rf"HKLM/64\{NSO}", "InstallPath", family.QPF + "\\..",
     r"Ignoring suite installation folder 'C:\Program Files (x86)\Quorvel\..': the component '..' leaves"),
    (r"HKLM/32\SOFTWARE\Quorvel\Harbex", "InstallPath", r"C:\Quorvel\..\Windows",
     r"Ignoring Harbex installation path 'C:\Quorvel\..\Windows': the component '..' leaves"),
    (r"HKLM/64\SOFTWARE\Quorvel\TunnelSDK", "InstallationRootDirectory", family.QPF + "\\ ",
     r"Ignoring tunnel SDK installation folder 'C:\Program Files (x86)\Quorvel\ ': the component ' ' ends"),
    (rf"HKLM/32\{NSO}", "DesktopShortcutName", r"..\..\..\Windows\win.ini",
     r"Ignoring the suite's value 'DesktopShortcutName' = '..\..\..\Windows\win.ini': the component '..'"),
    (r"HKLM/32\SOFTWARE\Quorvel\Harbex", "ProductName", " ",
     r"Ignoring Harbex's value 'ProductName' = ' ': the component ' ' ends"),
    (rf"HKLM/64\SOFTWARE\Classes\Installer\UpgradeCodes\{STRAY_UPGRADE}", "", "", None),
]
LINK = (rf"HKLM/64\{NSO}\LinkedSettings", "HKLM\\" + OTHER)
# The native side names the link it removed as a link in a warning, and the stray value it passed
# over in a debug line (the machine logs at debug level).
NATIVE_WARNINGS = ["LinkedSettings"]
PASSED_OVER = f"Passing over value '' under upgrade code '{STRAY_UPGRADE}': not a packed code"

# What the refusals leave of the family: the program folders of the refused installation paths
# (with their programs still running), their common parent, and harbex's shortcuts.
REFUSED_REMAINDER = [family.QPF + r"\Omnivo", family.QPF + r"\Harbex", family.QPF + r"\TunnelSDK",
                     family.DESK + r"\Quorvel Harbex.lnk", family.PROGS + r"\Quorvel Harbex"]


def warnings(log):
    return [line for line in log.splitlines() if re.search(r"\]\s\S?W: ", line)]


def outside_the_refusals(problem):
    label = problem["item"].lower()
    refused = label.endswith(family.QPF.lower()) or any(r.lower() in label for r in REFUSED_REMAINDER)
    return not (problem["what"] == "left behind" and refused)


def test_damaged_family_data_steers_no_deletion_outside_the_family(refmachine):
    machine = refmachine()
    for kind, where, name, data in OUTSIDE:
        if kind == "value":
            machine.plant_registry(where, name, data)
        else:
            machine.plant_file(where, data)
    for where, name, data, _ in DAMAGE:
        machine.plant_registry(where, name, data)
    machine.plant_registry_link(*LINK)
    machine.plant_file(EARLIER_LOG, "an earlier run\r\n")

    result = machine.run_tool("--silent", "--products", ",".join(ALL), timeout=900)
    log = machine.log_text()
    report = machine.audit(removed=ALL)

    # The scanning SDK's missing uninstaller asks for a restart; the log went on to the end in the
    # folder that already existed, and the earlier run's log there stayed.
    assert result.code == 99, (result, log[-4000:])
    assert "Exiting with code: 99" in "".join(log.splitlines()[-2:]), log[-2000:]
    assert re.findall(r"Removing product: (\S+) ", log) == ALL, log[-4000:]
    assert machine.path(EARLIER_LOG).read_bytes() == b"an earlier run\r\n"
    for path in (r"C:\Windows\win.ini", family.PROGS + r"\Other App\Other App.lnk",
                 family.PROGS + r"\Other Vendor Tool\Other Vendor Tool.lnk", family.PF86 + r"\Other Vendor Shared\shared.dll"):
        assert machine.path(path).is_file(), path
    warned = "\n".join(warnings(log))
    assert [w for *_, w in DAMAGE if w and w not in warned] == [], warned
    # With the native refusals: nothing outside the family changed, and each refusal was named.
    problems = [p for p in report.data["problems"] if outside_the_refusals(p)]
    assert problems == [], report.text
    assert [w for w in NATIVE_WARNINGS if w not in warned] == [], warned
    assert PASSED_OVER in log, log[-4000:]
