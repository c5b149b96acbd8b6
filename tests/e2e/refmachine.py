"""The reference machine for end-to-end scenarios: a started copy of the template that
tools/refmachine/build.py makes (built on first use), the tool run on it, and the audit.

    machine = reference_machine(tmp_path, sections="all", variant="normal")
    machine.plant_registry(r"HKLM/32\\SOFTWARE\\Quorvel\\Harbex", "InstallPath", "C:\\")  # optional
    result = machine.run_tool("--silent", "--products", "omnivo,logs")
    report = machine.audit(removed=["omnivo", "logs"])
    assert report.ok, report.text
    machine.stop()

Or use the `refmachine` fixture, a factory whose machines are stopped and removed after the test.
Machine (tools/refmachine/machine.py) has the rest: start/stop, plant_file, delete_registry, path,
snapshot, log_text.
"""
import pytest

from harness import BUILD_DIR, TOOL, Result
from tools.refmachine import audit as auditing  # noqa: F401  (for scenarios)
from tools.refmachine import build as builder
from tools.refmachine import family  # noqa: F401  (for scenarios)
from tools.refmachine import machine as machines
from tools.refmachine import snapshot  # noqa: F401  (for scenarios)

# Written by Wine's own display driver whenever a session starts: not the tool's.
WINE_DISPLAY_KEY = "hklm\\system\\currentcontrolset\\control\\class\\{4d36e968-e325-11ce-bfc1-08002be10318}\\0000"


def template(sections="all", variant="normal"):
    """The template folder for these sections and variant, built on first use."""
    return builder.build(BUILD_DIR, sections, variant, log=lambda *_: None)


class Machine(machines.Machine):
    def __init__(self, root, sections="all", variant="normal", start=True):
        super().__init__(root, template(sections, variant), start)

    def run_tool(self, *args, exe=TOOL, timeout=300, launcher=()):
        """Runs the tool (or another program) on the machine, like harness.run."""
        return Result(*self.run(exe, *args, timeout=timeout, launcher=launcher))


def reference_machine(root, sections="all", variant="normal", start=True):
    return Machine(root, sections, variant, start)


@pytest.fixture
def refmachine(tmp_path):
    """A factory of reference machines, removed after the test: refmachine(sections=…, variant=…)."""
    made = []

    def make(sections="all", variant="normal", start=True):
        machine = Machine(tmp_path / f"m{len(made)}", sections, variant, start)
        made.append(machine)
        return machine

    yield make
    for machine in made:
        machine.remove()
