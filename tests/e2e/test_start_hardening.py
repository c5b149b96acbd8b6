"""How a run starts and ends when things go wrong around it: crashes, an instance we may not see,
working directories killed runs left, hostile archive names, an unusable temporary folder."""
import os
import re
import shutil
import subprocess

import pytest

from conftest import DRIVE_C, helper, run, start, temp_dir, wine_env, work_dirs
from scriptset import tool_with_scripts

MUTEX = "Global\\{91D7C0A1-4A48-4F19-8492-D22A1F91C4CE}"
HARMLESS = {"a.lua": 'function GetProductId() return "a" end\nfunction GetProductDisplayName() return "A" end\n'
                     "function DetectProduct() return true end\nfunction CleanupProduct() return true end\n"}


@pytest.fixture
def harmless(tmp_path):
    return tool_with_scripts(tmp_path / "tool", HARMLESS)


@pytest.mark.parametrize("how,fatal", [
    ("throw", r"::OnTerminate: Unhandled C\+\+ exception \(probe failure\)"),
    ("thread-throw", r"::OnTerminate: Unhandled C\+\+ exception \(probe failure\)"),
    ("abort", r"::OnAbort: Aborted"),
    ("null", r"::OnUnhandledException: Unhandled exception 0xC0000005 at [0-9A-F]+"),
    ("thread-null", r"::OnUnhandledException: Unhandled exception 0xC0000005 at [0-9A-F]+"),
    ("overflow", r"::OnUnhandledException: Unhandled exception 0xC00000FD at [0-9A-F]+"),
    ("none", None),
], ids=["throw", "thread-throw", "abort", "null", "thread-null", "overflow", "none"])
def test_a_crash_exits_1_with_one_fatal_line(how, fatal):
    component = f"QvCrashProbe-{how}"
    folder = DRIVE_C / "ProgramData" / "Quorvel" / "Log" / component
    shutil.rmtree(folder, ignore_errors=True)
    try:
        result = run(helper("crash_probe"), component, how)
        lines = (folder / f"{component}.log").read_bytes().decode("utf-8", "replace").split("\r\n")
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    fatal_lines = [line for line in lines if "*F: " in line]
    if fatal is None:
        assert (result.code, fatal_lines) == (0, [])
    else:
        assert result.code == 1, result
        assert len(fatal_lines) == 1 and re.search(fatal + r", exiting with code: 1$", fatal_lines[0]), lines


@pytest.mark.parametrize("holder_args", [[], ["--system-only"]])
def test_any_holder_of_the_mutex_is_another_instance(harmless, log_since, holder_args):
    # Wine enforces a mutex's descriptor: a SYSTEM-only one refuses us with access denied.
    holder = start(helper("hold_mutex"), *holder_args, MUTEX)
    try:
        assert holder.stdout.readline().strip() == b"ready"
        before = set(work_dirs())
        assert run(harmless, "--silent").code == 4
        assert set(work_dirs()) - before == set()
    finally:
        holder.communicate(b"done\n", timeout=60)
    assert holder.returncode == 0, "the holder of the mutex was disturbed"
    assert " I: Run: Another instance is already running\r\n" in log_since()
