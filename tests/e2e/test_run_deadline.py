"""The run deadline (--deadline) ending a script that never returns, with an injected script set, on
reference machine copies of its own: each run waits out a whole minute, beside the scenarios on the
test prefix."""
import re
import time

import pytest

from refmachine import refmachine  # noqa: F401 (the fixture)
from scriptset import tool_with_scripts


def product(pid, priority=1, cleanup="return true"):
    return "\n".join([f'function GetProductId() return "{pid}" end',
                      "function DetectProduct() return true end",
                      f"function CleanupProduct() Log.Info('cleanup {pid}') {cleanup} end",
                      f"function GetPriority() return {priority} end"]) + "\n"


def work_dirs(machine, temp):
    return sorted(p.name for p in machine.path(temp).glob("qv*.tmp"))


@pytest.mark.parametrize("extra, installer", [([], 1), (["--msi-exit-codes"], 1603)])
def test_deadline_ends_an_endless_clean_up_and_skips_the_rest(tmp_path, refmachine, extra, installer):
    machine = refmachine(sections="baseline")
    exe = tool_with_scripts(tmp_path, {"a.lua": product("a", 1),
                                       "b.lua": product("b", 2, cleanup="while true do end"),
                                       "c.lua": product("c", 3), "d.lua": product("d", 4),
                                       "logs.lua": product("logs", 5)}, env=machine.env)
    # The machine's first run also takes its 'before' snapshot: not part of the timed run.
    temp = machine.run_tool("/c", "echo", "%TEMP%", exe="cmd").stdout.strip()
    assert temp[1:3] == ":\\", temp
    before = set(work_dirs(machine, temp))
    began = time.monotonic()
    result = machine.run_tool("--silent", "--deadline", "1", *extra, exe=exe, timeout=180)
    elapsed = time.monotonic() - began
    assert result.code == installer & 0xFF, result
    assert 55 < elapsed < 90, elapsed
    text = machine.log_text()
    assert " I: Run: Run deadline: 1 minutes\r\n" in text
    assert re.search(r"\*E: LuaUninstallScript::CallLuaFunction: Error 2 calling 'CleanupProduct'\. Error: "
                     r"\S*b\.lua:\d+: Run deadline of 1 minutes reached\r\n", text)
    skipped = re.findall(r"\.W: UiToolLib::RemoveProducts: Skipping product (\S+): the run deadline of 1 minutes "
                         r"has passed\r\n", text)
    # What ran before the deadline stays done; logs is not selected in a silent run, so not named.
    assert skipped == ["c", "d"]
    assert re.findall(r"\] cleanup (\w+)", text) == ["a", "b"]
    assert re.findall(r" I: wWinMain: Exiting with code: (-?\d+)\r\n", text)[-1] == "1"
    assert set(work_dirs(machine, temp)) - before == set(), "a working directory outlived the run"
