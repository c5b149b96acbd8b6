"""Options for deployment systems on the real executable with injected script sets: the Installer's
exit codes (--msi-exit-codes) for every outcome (the run deadline is in test_run_deadline.py)."""
import re

import pytest

from harness import helper, run, start, wait_for_restart_to_settle, work_dirs
from scriptset import tool_with_scripts
from wizard import Wizard

MUTEX = "Global\\{91D7C0A1-4A48-4F19-8492-D22A1F91C4CE}"
REBOOT = "Meta.SetRebootNeeded() return true"


def product(pid, priority=1, cleanup="return true"):
    return "\n".join([f'function GetProductId() return "{pid}" end',
                      "function DetectProduct() return true end",
                      f"function CleanupProduct() Log.Info('cleanup {pid}') {cleanup} end",
                      f"function GetPriority() return {priority} end"]) + "\n"


def exit_lines(text):
    """(described code, returned code) of the run's last two exit records."""
    described = re.findall(r" I: wWinMain: Exiting with code: (-?\d+)\r\n", text)
    returned = re.findall(r" I: wWinMain: Exit code (-?\d+) is returned as (\d+) \(--msi-exit-codes\)\r\n", text)
    return int(described[-1]), tuple(map(int, returned[-1])) if returned else None


@pytest.fixture(autouse=True)
def no_working_directory_left():
    before = set(work_dirs())
    yield
    assert set(work_dirs()) - before == set(), "a working directory outlived the run"


@pytest.mark.parametrize("cleanup, args, code, installer", [
    ("return true", ["--silent"], 0, 0),
    (REBOOT, ["--silent"], 99, 3010),
    ('error("boom")', ["--silent"], 1, 1603),
    ("return true", ["--plan"], 1, 1603),  # a bad command line
    ("return true", ["-s", "/msi-exit-codes"], 1, 1603),  # the switch twice: still a bad command line
])
def test_silent_outcomes_in_the_installers_codes(tmp_path, log_since, cleanup, args, code, installer):
    exe = tool_with_scripts(tmp_path, {"a.lua": product("a", cleanup=cleanup)})
    result = run(exe, "--msi-exit-codes", *args)
    # The shell sees the low 8 bits; the log names both codes in full.
    assert result.code == installer & 0xFF, result
    assert exit_lines(log_since()) == (code, (code, installer))


def test_start_guards_in_the_installers_codes(scriptless_tool, log_since):
    # The second instance ends before the command line is parsed, and still honours the switch.
    holder = start(helper("hold_mutex"), MUTEX)
    try:
        assert holder.stdout.readline().strip() == b"ready"
        assert run(scriptless_tool, "--silent", "--msi-exit-codes").code == 1618 & 0xFF
    finally:
        holder.communicate(b"done\n", timeout=60)
    assert exit_lines(log_since()) == (4, (4, 1618))
    # Without administrator rights: the helper prints the full code.
    result = run(helper("run_restricted"), scriptless_tool, "--silent", "--msi-exit-codes")
    assert "exit code: 5" in result.stdout, result


def test_leaving_the_wizard_gives_1602(tmp_path, log_since):
    exe = tool_with_scripts(tmp_path, {"a.lua": product("a")})
    wizard = Wizard(exe, "--msi-exit-codes")
    try:
        wizard.key("Escape")
        assert wizard.wait() == 1602 & 0xFF
    finally:
        wizard.kill()
    assert exit_lines(log_since()) == (2, (2, 1602))


def test_triggered_restart_gives_1641(tmp_path, scratch_machine):
    # On a copy of the machine: the restart ends the Wine session's other processes.
    exe = tool_with_scripts(tmp_path, {"a.lua": product("a", cleanup=REBOOT)})
    result = run(exe, "--silent", "--restart", "--msi-exit-codes", env=scratch_machine.env)
    wait_for_restart_to_settle(scratch_machine.prefix)
    assert result.code == 1641 & 0xFF, result
    assert exit_lines(scratch_machine.log_text()) == (99, (99, 1641))
