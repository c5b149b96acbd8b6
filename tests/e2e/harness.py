"""What the end-to-end scenarios share besides their fixtures (conftest.py): the build tree's paths,
the test prefix (already created and warmed by tools/run-tests), programs run under Wine on it, waits
on conditions, throw-away copies of the prefix and the prefix's tool log."""
import os
import pathlib
import subprocess
import time

from tools.refmachine.prefixcopy import copy_prefix
from tools.refmachine import winestart
from tools.refmachine.winestart import wine_env

BUILD_DIR = pathlib.Path(os.environ.get("QV_BUILD_DIR", pathlib.Path(__file__).resolve().parents[2] / "build"))
PREFIX = pathlib.Path(os.environ.get("WINEPREFIX", BUILD_DIR / "wineprefix"))
SOURCE_DIR = pathlib.Path(__file__).resolve().parents[2]
DRIVE_C = PREFIX / "drive_c"
TOOL = BUILD_DIR / "UninstallationTool.exe"
LOG_DIR = DRIVE_C / "ProgramData" / "Quorvel" / "Log" / "UninstallationTool"
LOG_FILE = LOG_DIR / "UninstallationTool.log"


def helper(name):
    return BUILD_DIR / f"{name}.exe"


class Result:
    def __init__(self, code, stdout, stderr):
        self.code, self.stdout, self.stderr = code, stdout, stderr

    @property
    def lines(self):
        return self.stdout.replace("\r\n", "\n").split("\n")

    def __repr__(self):
        return f"Result(code={self.code}, stdout={self.stdout!r})"


def run(program, *args, timeout=120, env=None, stdin=subprocess.DEVNULL, cwd=None):
    """Runs a Windows program under Wine; the exit code reaches us cut to 8 bits."""
    proc = winestart.run(PREFIX, program, *args, timeout=timeout, env=env, stdin=stdin, cwd=cwd)
    return Result(proc.returncode, proc.stdout.decode("utf-8", "replace"), proc.stderr.decode("utf-8", "replace"))


def start(program, *args, env=None):
    return winestart.start(PREFIX, program, *args, env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE)


_temp_dir = None


def temp_dir():
    """The Windows %TEMP% of the prefix's user, as a Linux path."""
    global _temp_dir
    if _temp_dir is None:
        out = run("cmd", "/c", "echo", "%TEMP%").stdout.strip()
        assert out[1:3] == ":\\", out
        _temp_dir = DRIVE_C.joinpath(*out[3:].split("\\"))
    return _temp_dir


def work_dirs():
    return sorted(p.name for p in temp_dir().glob("qv*.tmp"))


def wait_for(predicate, timeout=30.0, interval=0.05):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(interval)
    return predicate()


class ScratchMachine:
    """A throw-away copy of the test prefix, for scenarios whose side effects reach the whole Wine
    session (a restart request ends the session's processes)."""

    def __init__(self, root):
        self.prefix = pathlib.Path(root) / "prefix"
        copy_prefix(PREFIX, self.prefix)
        self.env = {"WINEPREFIX": str(self.prefix)}
        # Its own session, started and warmed with output going nowhere (see tests/WINE.md).
        subprocess.run(["bash", str(SOURCE_DIR / "tools" / "wine-prefix"), str(self.prefix), "start"],
                       env=wine_env(PREFIX, self.env), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True, timeout=300)
        self.log_file = self.prefix / LOG_FILE.relative_to(PREFIX)
        # The copy starts without the test prefix's log, so this scenario's records are all it holds.
        for generation in self.generations():
            generation.unlink(missing_ok=True)

    def generations(self):
        """The log file's generations, oldest first (base.2.log, base.1.log, base.log)."""
        stem = self.log_file.with_suffix("")
        return [stem.with_suffix(".2.log"), stem.with_suffix(".1.log"), self.log_file]

    def log_text(self):
        """Every record the machine's log holds, across rotations, oldest first."""
        return "".join(g.read_bytes().decode("utf-8", "replace") for g in self.generations() if g.exists())

    def stop(self):
        subprocess.run(["bash", str(SOURCE_DIR / "tools" / "wine-prefix"), str(self.prefix), "stop"],
                       env=wine_env(PREFIX, self.env), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)
        subprocess.run(["wineserver", "-w"], env=wine_env(PREFIX, self.env), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        subprocess.run(["rm", "-rf", str(self.prefix)], check=False)


def _live_wine_processes(name, prefix=PREFIX):
    """Pids of live (not zombie) processes of a Wine machine whose command line names `name`."""
    pids = []
    for entry in pathlib.Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            cmdline = (entry / "cmdline").read_bytes().replace(b"\0", b" ").decode("utf-8", "replace")
            state = (entry / "stat").read_text().rsplit(")", 1)[1].split()[0]
            environ = (entry / "environ").read_bytes()
        except OSError:
            continue
        if name in cmdline.lower() and state != "Z" and f"WINEPREFIX={prefix}".encode() in environ:
            pids.append(int(entry.name))
    return pids


def wait_for_restart_to_settle(prefix=PREFIX):
    """A restart request makes Wine run wineboot, which ends the session's processes: wait until it
    is gone."""
    assert wait_for(lambda: not _live_wine_processes("wineboot.exe", prefix), timeout=60), "wineboot did not finish"


def log_bytes(with_previous_generation):
    """The test prefix's tool log, with the generation before it when asked."""
    data = LOG_FILE.read_bytes() if LOG_FILE.exists() else b""
    previous = LOG_DIR / "UninstallationTool.1.log"
    if with_previous_generation and previous.exists():
        data = previous.read_bytes() + data
    return data
