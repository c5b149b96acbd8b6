"""Windows programs started under Wine for the tests and the reference machines, in one place.

Wine's own start of a program can fail before any of the program's code runs: the loader or the
server connection gives up and says why on stderr, in a line that starts with "wine: ". A start that
ended so is lost, not a result of the program: it is made once more. Every other ending is the
program's own and reaches the caller as it was.
"""
import os
import subprocess
import time

# Wine's error channel stays on: when a start is lost, the reason reaches the caller's failure text.
WINEDEBUG = "-all,err+all"


def wine_env(prefix, extra=None):
    """The environment of a Wine program on `prefix` (only Wine's errors on stderr, no .NET or HTML
    engine to install), with `extra` on top (which may name another prefix)."""
    env = dict(os.environ)
    env.update({"WINEPREFIX": str(prefix), "WINEDEBUG": WINEDEBUG, "WINEDLLOVERRIDES": "mscoree,mshtml="})
    env.update(extra or {})
    return env


def command(program, *args, launcher=()):
    return [*map(str, launcher), "wine", str(program), *map(str, args)]


def lost(returncode, stderr):
    """True when Wine gave up starting the program (its reason is a "wine: " line on stderr); a
    crash report ("wine: Unhandled ...") is the program's own ending."""
    return returncode != 0 and any(line.startswith(b"wine: ") and not line.startswith(b"wine: Unhandled")
                                   for line in stderr.splitlines())


def run(prefix, program, *args, env=None, timeout=120, stdin=subprocess.DEVNULL, launcher=(), cwd=None):
    """Runs a program to its end: a CompletedProcess with bytes stdout and stderr."""
    for _ in range(2):
        proc = subprocess.run(command(program, *args, launcher=launcher), stdin=stdin, capture_output=True,
                              timeout=timeout, env=wine_env(prefix, env), cwd=cwd)
        if not lost(proc.returncode, proc.stderr):
            break
    return proc


def start(prefix, program, *args, env=None, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, errors=None,
          ready=None, timeout=120, new_session=False, launcher=()):
    """Starts a program and leaves it running: a Popen. `stdout`: a subprocess constant or a path
    (written anew by each start). `errors`: the file its stderr goes to (a lost start can only be
    told from it). With `ready` (a predicate), waits until it holds or the program ends, and a
    lost start is made once more."""
    for _ in range(2):
        err = open(errors, "wb") if errors else subprocess.DEVNULL
        out = open(stdout, "wb") if isinstance(stdout, (str, os.PathLike)) else stdout
        try:
            proc = subprocess.Popen(command(program, *args, launcher=launcher), stdin=stdin, stdout=out, stderr=err,
                                    env=wine_env(prefix, env), start_new_session=new_session)
        finally:
            for f in (err, out):
                if hasattr(f, "close"):
                    f.close()
        if ready is None:
            return proc
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and proc.poll() is None and not ready():
            time.sleep(0.05)
        if proc.poll() is None or ready() or not errors or not lost(proc.returncode, read(errors)):
            return proc
    return proc


def read(path):
    """A file's bytes, or none when it is missing."""
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return b""
