"""The Process module in a silent run of the real tool started from inside the folder its script
clears: the tool survives and finishes, the other processes from that folder are gone, a process
from a folder whose name merely begins the same way keeps running."""
import os
import shutil

import pytest

from harness import DRIVE_C, helper, run, start, wait_for
from scriptset import tool_with_scripts

SCRIPT = r"""
function GetProductId() return "proc" end
function GetProductDisplayName() return "Proc" end
function DetectProduct() return true end

function CleanupProduct()
  if not Process.TerminateAllFromPath([[C:\%(name)s]]) then Meta.SetFailed() end
  Log.Info('process checks done')
  return true
end
"""


@pytest.fixture
def folders():
    name = f"qvproc_e2e_{os.getpid()}"
    inside, beside = DRIVE_C / name, DRIVE_C / (name + "gram")
    for folder in (inside, beside):
        folder.mkdir(parents=True)
        shutil.copy(helper("print_chunks"), folder / "lingering.exe")
    yield name, inside, beside
    shutil.rmtree(inside, ignore_errors=True)
    shutil.rmtree(beside, ignore_errors=True)


def test_tool_inside_the_folder_it_clears_survives(folders, log_since):
    name, inside, beside = folders
    exe = tool_with_scripts(inside, {"proc.lua": SCRIPT % {"name": name}})
    # Each says "ready" once it runs as a Windows process.
    lingering = [start(folder / "lingering.exe", 0, "w:72656164790a", "p:60000") for folder in (inside, beside, inside)]
    try:
        assert all(p.stdout.readline().strip() == b"ready" for p in lingering)
        result = run(exe, "--silent", timeout=60)
        text = log_since()
        assert result.code == 0, text
        assert "process checks done" in text, text
        assert wait_for(lambda: lingering[0].poll() is not None and lingering[2].poll() is not None, timeout=15), text
        assert lingering[1].poll() is None, "the process beside the folder keeps running"
        assert text.count("Terminating process [") == 2, text
        assert "UninstallationTool.exe'" not in text, "the tool never terminates itself"
    finally:
        for process in lingering:
            if process.poll() is None:
                process.kill()
                process.wait(timeout=15)
