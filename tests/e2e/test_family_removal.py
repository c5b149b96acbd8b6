"""The whole product family on a reference machine, removed by the shipped scripts in one silent run:
what must remain stays (the tool's own log, the user-data backup, every other vendor's item), the
products go in priority order, and a second run finds only the tool's own log folder."""
import re

import pytest

from refmachine import refmachine  # noqa: F401  (fixture)
from scripthost import lua

ALL = ["omnivo", "harbex", "passkeep", "passkeepdata", "quarantine", "logs"]


def left_explained(machine, report, log):
    """For a failed audit: what the tool's log says about each item left behind, and for a process
    whether it ran when the run started (a service the manager was still starting could come up
    after the tool had stopped and deleted it)."""
    lines = []
    for label in report.data["family_remainder"]:
        name = re.split(r"[\\ ]", label)[-1].lower()
        if label.startswith("process "):
            running = label[len("process "):].lower() in machine.before.processes
            lines.append(f"{label}: {'running' if running else 'not running'} when the run started")
        if len(name) >= 4:  # a short value name would match half the log
            lines += [line for line in log.splitlines() if name in line.lower()][:40]
    return "\n".join(lines)


def removal_order(log):
    """Product ids in the order their removal started, as the log tells it."""
    return re.findall(r"Removing product: (\S+) ", log)


@pytest.mark.parametrize("variant", ["normal", "failing"])
def test_whole_family_removed_leaving_the_must_remain_table(refmachine, variant):
    machine = refmachine(variant=variant)
    result = machine.run_tool("--silent", "--products", ",".join(ALL), timeout=900)
    log = machine.log_text()
    # The scanning SDK's missing uninstaller asks for a restart.
    assert result.code == 99, (result, log[-4000:])
    assert removal_order(log) == ALL, log[-4000:]
    report = machine.audit(removed=ALL)
    assert report.ok, report.text + "\n" + left_explained(machine, report, log)
    assert machine.log_file.is_file()


def test_second_run_on_a_cleaned_machine_finds_only_the_logs_and_changes_nothing(refmachine):
    machine = refmachine()
    assert machine.run_tool("--silent", "--products", ",".join(ALL), timeout=900).code == 99
    first = machine.audit(removed=ALL)
    assert first.ok, first.text
    machine.start()
    detected = [i for i in ALL if lua(f"{i}.lua", "return tostring(DetectProduct())", env=machine.env) == ["true"]]
    # The tool's own log folder is what is left of the logs.
    assert detected == ["logs"]
    machine.before = None  # the second run is judged against the cleaned machine
    start = len(machine.log_text())
    result = machine.run_tool("--silent", timeout=300)
    log = machine.log_text()[start:]
    # A plain silent run removes every product but logs, detected or not: nothing is left to change.
    assert result.code == 0, (result, log)
    assert removal_order(log) == ALL[:-1], log
    second = machine.audit(removed=ALL)
    assert second.ok, second.text
