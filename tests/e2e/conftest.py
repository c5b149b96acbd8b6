"""Shared fixtures for the end-to-end scenarios: the built tool and helpers run under Wine in the
build tree's prefix (already created and warmed by tools/run-tests). The code they share is in
harness.py."""
import pytest

from harness import TOOL, ScratchMachine, log_bytes


@pytest.fixture
def scratch_machine(tmp_path):
    machine = ScratchMachine(tmp_path)
    yield machine
    machine.stop()


@pytest.fixture
def tool():
    assert TOOL.is_file(), f"build the tool first: {TOOL}"
    return TOOL


@pytest.fixture(scope="session")
def scriptless_tool(tmp_path_factory):
    """A copy of the built tool carrying no product scripts: its silent runs remove nothing from the
    test machine, whatever the shipped script set removes."""
    from scriptset import tool_with_scripts
    assert TOOL.is_file(), f"build the tool first: {TOOL}"
    return tool_with_scripts(tmp_path_factory.mktemp("scriptless"), {})


@pytest.fixture
def log_since():
    """Returns a function giving the log text written after the fixture was set up, also when the
    file was rotated meanwhile (the older lines then sit in UninstallationTool.1.log)."""
    tail = log_bytes(False)[-512:]

    def read():
        if not tail:
            return log_bytes(False).decode("utf-8", "replace")
        data = log_bytes(True)
        at = data.rfind(tail)
        return data[at + len(tail) if at >= 0 else 0:].decode("utf-8", "replace")

    return read
