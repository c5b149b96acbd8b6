"""Silent runs of the real executable carrying injected script sets: selection, order, outcome,
exit code, restart, help, and a working directory that never outlives the run."""
import re

import pytest

from harness import run, wait_for_restart_to_settle, work_dirs
from scriptset import tool_with_scripts

ERROR_GENERIC = "Could not complete the uninstallation successfully."
LANGUAGES = ("bg|cs|da|de|el|en|es|es-MX|et|fi|fr|fr-CA|hr|hu|it|ja|ko|lt|nl|no|pl|pt|pt-BR|ro|ru|sl|sr|sv|tr|"
             "vi|zh|zh-HK|zh-TW")


def product(pid, priority=None, cleanup="return true", name=None):
    lines = [f'function GetProductId() return "{pid}" end',
             f'function GetProductDisplayName() return "{name or pid.upper()}" end',
             "function DetectProduct() return true end",
             f"function CleanupProduct() Log.Info('cleanup {pid}') {cleanup} end"]
    if priority is not None:
        lines.append(f"function GetPriority() return {priority} end")
    return "\n".join(lines) + "\n"


FAMILY = {
    "c.lua": product("c", 100),
    "a.lua": product("a", 10),
    "logs.lua": product("logs", 99),
    "Logs2.lua": product("Logs", 50),
    "b.lua": product("b", 20),
    "d.lua": product("d", 98),
    "lib_util.lua": "local M = {} function M.x() return 1 end return M\n",
}


def removed(log_text):
    return re.findall(r"UiToolLib::RemoveProducts: Removing product: (\S*) ", log_text)


@pytest.fixture
def family(tmp_path):
    return tool_with_scripts(tmp_path, FAMILY)


@pytest.fixture(autouse=True)
def no_working_directory_left():
    before = set(work_dirs())
    yield
    # Only new folders count: a leftover of an earlier session may vanish meanwhile.
    assert set(work_dirs()) - before == set(), "a working directory outlived the run"


def test_every_product_but_logs_in_priority_order(family, log_since):
    result = run(family, "--silent")
    assert result.code == 0, result
    text = log_since()
    assert removed(text) == ["a", "b", "Logs", "d", "c"]
    assert "cleanup logs" not in text
    assert result.stdout == ""


def test_products_option_removes_only_those(family, log_since):
    result = run(family, "--silent", "--products", "c,a")
    assert result.code == 0, result
    assert removed(log_since()) == ["a", "c"]


def test_logs_is_removed_when_named(family, log_since):
    assert run(family, "-s", "/p=logs").code == 0
    assert removed(log_since()) == ["logs"]


def test_unknown_product_id_exits_1(family, log_since):
    result = run(family, "--silent", "--products", "a,x,,B")
    assert result.code == 1
    assert result.lines[0] == "Invalid products selected x,,B"
    text = log_since()
    assert "Invalid products from command line: x,,B" in text
    assert removed(text) == []


def test_cleanup_error_fails_the_run(tmp_path, log_since):
    exe = tool_with_scripts(tmp_path, {"a.lua": product("a", 1, cleanup='error("boom") return true'),
                                       "b.lua": product("b", 2)})
    result = run(exe, "--silent")
    assert result.code == 1
    assert result.lines[0] == ERROR_GENERIC
    text = log_since()
    assert removed(text) == ["a", "b"], "a failing product does not stop the others"
    assert re.search(r"Error 2 calling 'CleanupProduct'\. Error: .*boom", text)


def test_failure_reported_by_the_script_fails_the_run(tmp_path):
    exe = tool_with_scripts(tmp_path, {"a.lua": product("a", cleanup="Meta.SetFailed() return true")})
    result = run(exe, "--silent")
    assert (result.code, result.lines[0]) == (1, ERROR_GENERIC)


def test_restart_needed_without_restart_option_exits_99(tmp_path, log_since):
    exe = tool_with_scripts(tmp_path, {"a.lua": product("a", cleanup="Meta.SetRebootNeeded() return true")})
    result = run(exe, "--silent")
    assert result.code == 99
    assert result.stdout == ""
    text = log_since()
    assert "Reboot is needed (LUA script request)" in text
    assert "Triggering reboot" not in text


def test_restart_option_triggers_the_restart(tmp_path, scratch_machine):
    # On a copy of the machine: the restart ends the Wine session's other processes.
    exe = tool_with_scripts(tmp_path, {"a.lua": product("a", cleanup="Meta.SetRebootNeeded() return true")})
    result = run(exe, "--silent", "--restart", env=scratch_machine.env)
    wait_for_restart_to_settle(scratch_machine.prefix)
    assert result.code == 99
    assert re.search(r" I: UiTool::TriggerReboot: Triggering reboot \.\.\.\r\n", scratch_machine.log_text())


def test_detection_outcome_does_not_count_for_removal(tmp_path):
    scripts = {"a.lua": product("a").replace("DetectProduct() return true",
                                             "DetectProduct() Meta.SetFailed() Meta.SetRebootNeeded() return false")}
    result = run(tool_with_scripts(tmp_path, scripts), "--silent")
    assert result.code == 0, result


def test_no_product_scripts_exits_1_with_the_generic_error(tmp_path):
    for scripts in ({}, {"lib_only.lua": "return {}\n"}):
        result = run(tool_with_scripts(tmp_path / str(len(scripts)), scripts), "--silent")
        assert result.code == 1
        assert result.lines[0] == ERROR_GENERIC


def test_help_lists_the_injected_products_and_the_languages(family):
    result = run(family, "--help")
    assert result.code == 0
    lines = result.lines
    assert lines[0] == "Quorvel uninstallation tool optional parameters:"
    assert lines[5] == "\t                             a|b|Logs|d|logs|c."
    assert lines[7] == f"\t                             {LANGUAGES}."
    assert [line.split()[0] for line in lines[8:13]] == ["--report", "--plan", "--deadline", "--msi-exit-codes",
                                                         "--require-undo"]
    assert lines[13:] == ["", ""]
