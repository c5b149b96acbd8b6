"""Programs started under Wine for the scenarios (tools/refmachine/winestart.py): a start Wine itself
gave up is made once more, a program's own failure is its result. Wine refuses a start for real when
WINEARCH names the other architecture of the prefix."""
import pytest

from harness import PREFIX
from tools.refmachine import winestart

REFUSED = {"WINEARCH": "win32"}  # "wine: WINEARCH set to win32 but '…' is a 64-bit installation."


def counting(tmp_path):
    """A launcher that notes each start in a file: (launcher, a reader of the count)."""
    count = tmp_path / "starts"
    return ("bash", "-c", 'echo >>"$0"; exec "$@"', count), lambda: len(count.read_text().splitlines())


@pytest.mark.parametrize("args,env,starts,code", [
    (["cmd", "/c", "exit", "3"], None, 1, 3),
    (["cmd", "/c", "echo", "ready"], None, 1, 0),
    (["cmd", "/c", "echo", "ready"], REFUSED, 2, 1),
], ids=["own-failure", "success", "refused-by-wine"])
def test_only_a_start_wine_refused_is_made_again(tmp_path, args, env, starts, code):
    launcher, started = counting(tmp_path)
    done = winestart.run(PREFIX, *args, env=env, launcher=launcher)
    assert (started(), done.returncode) == (starts, code), done.stderr
    assert winestart.lost(done.returncode, done.stderr) == (env is REFUSED)


def test_a_waited_start_wine_refused_is_made_again(tmp_path):
    launcher, started = counting(tmp_path)
    errors = tmp_path / "stderr.txt"
    proc = winestart.start(PREFIX, "cmd", "/c", "echo", "ready", env=REFUSED, errors=errors,
                           ready=lambda: False, timeout=60, launcher=launcher)
    assert (started(), proc.wait(timeout=60)) == (2, 1)
    assert winestart.read(errors).startswith(b"wine: WINEARCH set to win32")
