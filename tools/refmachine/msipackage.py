"""The one way scenarios make real Windows Installer packages: wixl builds the .msi from a WiX
source, and a package whose removal must fail gets an error custom action first in its removal
sequence (msibuild), so the uninstall ends with 1603 and the product stays installed. Used by the
reference machine's products and the scenarios' test products."""
import pathlib
import subprocess


def build_msi(source, msi, workdir, defines=None, arch=None, refuse_removal=None):
    """Builds `msi` from the WiX `source`; wixl looks for the file sources in `workdir`. `defines`:
    preprocessor variables; `refuse_removal`: (action name, message) of the failing removal."""
    command = ["wixl", "-o", str(msi)]
    if arch:
        command += ["-a", arch]
    for name, value in (defines or {}).items():
        command += ["-D", f"{name}={value}"]
    subprocess.run(command + [str(source)], check=True, capture_output=True, cwd=workdir)
    if refuse_removal:
        action, message = refuse_removal
        for query in ("INSERT INTO CustomAction (Action, Type, Source, Target) "
                      f"VALUES ('{action}', 19, '', '{message}')",
                      "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) "
                      f"VALUES ('{action}', 'REMOVE=\"ALL\"', 1)"):
            subprocess.run(["msibuild", str(msi), "-q", query], check=True, capture_output=True)
    return pathlib.Path(msi)
