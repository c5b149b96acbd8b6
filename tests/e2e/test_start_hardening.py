"""How a run starts and ends when things go wrong around it: crashes, an instance we may not see,
working directories killed runs left, hostile archive names, an unusable temporary folder."""
import os
import re
import shutil

import pytest

from harness import DRIVE_C, helper, run, start, temp_dir, work_dirs
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


def test_only_stale_working_directories_of_our_own_making_are_removed(harmless, log_since, tmp_path):
    outside = tmp_path / "outside"  # what links point at: must survive whole
    outside.mkdir()
    (outside / "t.lua").write_text("-- not ours")
    n = os.getpid()
    rows = [  # (folder in %TEMP%, its entries, removed): "x/" a folder, "x->" a link to `outside`, else a file
        (f"qv{n}1.tmp/", ["a.lua", "lib/", "lib/b.lua", "c.lua/"], True),
        (f"qv{n}2.tmp/", [], True),
        (f"qv{n}3.tmp/", ["a.lua", "notes.txt"], False),
        (f"qv{n}4.tmp/", ["a.lua", "lib->"], False),
        (f"qv{n}5.tmp->", [], False),
        (f"QV{n}6.TMP/", ["a.lua"], False),
        (f"qv{n}7x.tmp/", ["a.lua"], False),
        (f"qv{n}8.tmp.old/", ["a.lua"], False),
        ("qv9.tmp/", ["a.lua"], False),
    ]
    root = temp_dir()
    paths = {top: [root / (top + e).rstrip("/->") for e in [""] + entries] for top, entries, _ in rows}
    for top, entries, _ in rows:
        for entry, path in zip([top] + [top + e for e in entries], paths[top]):
            if entry.endswith("->"):
                os.symlink(outside, path)
            elif entry.endswith("/"):
                path.mkdir()
            else:
                path.write_text("-- x")
    try:
        assert run(harmless, "--silent").code == 0
        text = log_since()
        windows_root = "C:\\" + "\\".join(root.relative_to(DRIVE_C).parts)
        for top, _, removed in rows:
            name = paths[top][0].name
            assert [p.exists() for p in paths[top]] == [not removed] * len(paths[top]), name
            assert (f" I: QvPath::RemoveStaleWorkDirectories: Removed the working directory of an earlier run: "
                    f"'{windows_root}\\{name}'\r\n" in text) == removed, name
        assert [p.name for p in outside.iterdir()] == ["t.lua"]
    finally:
        for top, _, _ in rows:
            path = paths[top][0]
            path.unlink() if path.is_symlink() else shutil.rmtree(path, ignore_errors=True)


@pytest.mark.parametrize("tmp,shown", [
    ("C:\\qv-missing-temp", "C:\\qv-missing-temp\\"),
    ("C:\\windows\\win.ini", "C:\\windows\\win.ini\\"),
    ("qv-relative\\temp", "qv-relative\\temp\\"),
    ("C:\\" + "long\\" * 60 + "temp", "C:\\" + "long\\" * 60 + "temp"),
    ("\\\\qv-nohost\\share", "\\\\qv-nohost\\share\\"),
], ids=["missing", "a-file", "relative", "too-long", "unreachable"])
def test_an_unusable_temporary_folder_fails_with_one_error_line(harmless, tmp_path, log_since, tmp, shown):
    # Wine takes TMP from the registry for a process started from Linux; cmd passes our value on.
    result = run("cmd", "/c", f"set TMP={tmp}&& {harmless.name} --silent", cwd=harmless.parent)
    assert (result.code, result.lines[0]) == (1, "Could not complete the uninstallation successfully.")
    errors = [line for line in log_since().split("\r\n") if "*E: " in line or "*F: " in line]
    assert len(errors) == 1 and re.search(r"'[^']*" + re.escape(shown) + r"': \d+$", errors[0]), errors
    assert " I: wWinMain: Exiting with code: 1\r\n" in log_since()
    assert not list(harmless.parent.rglob("qv*.tmp")) and not (tmp_path / "tool" / "qv-relative").exists()
