"""The run deadline (--deadline) ending a script that never returns, with an injected script set, on
reference machine copies of its own: each run waits out a whole minute, beside the other scenarios."""
import concurrent.futures
import re
import time

import pytest

from refmachine import Machine
from scriptset import tool_with_scripts


def product(pid, priority=1, cleanup="return true"):
    return "\n".join([f'function GetProductId() return "{pid}" end',
                      "function DetectProduct() return true end",
                      f"function CleanupProduct() Log.Info('cleanup {pid}') {cleanup} end",
                      f"function GetPriority() return {priority} end"]) + "\n"


def work_dirs(machine, temp):
    return sorted(p.name for p in machine.path(temp).glob("qv*.tmp"))


VARIANTS = {"default exit codes": ([], 1), "installer exit codes": (["--msi-exit-codes"], 1603)}
# The endless script spins for the whole minute: both runs share one processor, at a low priority,
# so they take about a minute of processor time between them, and only what other tests leave.
LOW_PRIORITY = ("taskset", "--cpu-list", "0", "nice", "-n", "10")


@pytest.fixture(scope="module")
def deadline_runs(tmp_path_factory):
    """Both variants' runs, each on a machine of its own, side by side: each waits out a whole minute."""
    machines, prepared = [], {}
    for variant in VARIANTS:
        root = tmp_path_factory.mktemp("deadline")
        machine = Machine(root / "machine", sections="baseline")
        machines.append(machine)
        exe = tool_with_scripts(root, {"a.lua": product("a", 1),
                                       "b.lua": product("b", 2, cleanup="while true do end"),
                                       "c.lua": product("c", 3), "d.lua": product("d", 4),
                                       "logs.lua": product("logs", 5)}, env=machine.env)
        # The machine's first run also takes its 'before' snapshot: not part of the timed run.
        temp = machine.run_tool("/c", "echo", "%TEMP%", exe="cmd").stdout.strip()
        assert temp[1:3] == ":\\", temp
        prepared[variant] = (machine, exe, temp, set(work_dirs(machine, temp)))

    def timed_run(variant):
        machine, exe, _, _ = prepared[variant]
        began = time.monotonic()
        result = machine.run_tool("--silent", "--deadline", "1", *VARIANTS[variant][0], exe=exe, timeout=180,
                                launcher=LOW_PRIORITY)
        return result, time.monotonic() - began

    with concurrent.futures.ThreadPoolExecutor(len(VARIANTS)) as pool:
        runs = dict(zip(VARIANTS, pool.map(timed_run, VARIANTS)))
    yield {variant: (*prepared[variant], *runs[variant]) for variant in VARIANTS}
    for machine in machines:
        machine.remove()


@pytest.mark.parametrize("variant", VARIANTS)
def test_deadline_ends_an_endless_clean_up_and_skips_the_rest(deadline_runs, variant):
    machine, _, temp, before, result, elapsed = deadline_runs[variant]
    assert result.code == VARIANTS[variant][1] & 0xFF, result
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
