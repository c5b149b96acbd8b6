#!/usr/bin/env python3
"""The demo: the tool's silent run on a copy of the reference machine (all sections), with the audit
before and after.   python3 -m tools.refmachine.demo <build dir>   (from the source root)"""
import pathlib
import shutil
import sys

from . import build as builder
from . import family, snapshot
from .machine import Machine

# What a plain --silent selects: every detected product except the logs.
SILENT_SELECTION = [p for p in family.PRODUCTS if p != "logs"]


def main():
    build_dir = pathlib.Path(sys.argv[1]).resolve()
    template = builder.build(build_dir, "all", "normal", log=lambda text: print("demo:", text.split(": ", 1)[-1]))
    root = build_dir / "demo-machine"
    if root.exists():  # the previous demo's machine
        snapshot.stop_server(root / "prefix")
        shutil.rmtree(root, ignore_errors=True)
    machine = Machine(root, template)
    print(f"demo: reference machine at {machine.prefix} ({len(machine.items)} items, every section)")
    report = machine.audit(removed=[])
    print("demo: before the run: " + ("every item in place" if report.ok else "NOT as built:\n" + report.text))
    machine.start()
    code, out, _ = machine.run(build_dir / "UninstallationTool.exe", "--silent", timeout=600)
    for line in out.splitlines():
        print("tool:", line)
    print(f"demo: UninstallationTool.exe --silent exited with {code}")
    report = machine.audit(removed=SILENT_SELECTION)
    left, total = len(report.data["family_remainder"]), report.data["expected_gone"]
    if report.data["summary"]["files"]["went"] == 0 and report.data["summary"]["registry"]["went"] == 0:
        reason = " (the tool carries no uninstall scripts)" if "Could not find any scripts" in machine.log_text() else ""
        print("demo: nothing was removed" + reason)
    print(f"demo: audit for a removal of {', '.join(SILENT_SELECTION)}: {left} of {total} family checks still find their item")
    # The table, its problems (if any) and its result line.
    print("\n".join(line for line in report.text.splitlines() if line.strip()))
    print(f"demo: the tool's log: {machine.log_file}")
    for line in machine.log_text().splitlines()[-8:]:
        print("  " + line)
    return 0


if __name__ == "__main__":
    sys.exit(main())
