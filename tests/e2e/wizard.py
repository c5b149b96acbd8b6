"""The real tool's wizard driven from Linux like a user: the main window found by its X class, controls
reached by their template rectangles (dialog units scaled to the page), keys and clicks through
`xdotool`, colours read from screenshots of the X display."""
import pathlib
import subprocess
import tempfile
import time

from harness import PREFIX, helper, wine_env
from tools.refmachine import winestart
from gallery import PageProcess, Screenshot

TITLE = "Quorvel uninstallation tool"
PAGE_DLU = (400, 230)

# Control rectangles of the page templates, in dialog units.
START = (143, 126, 114, 24)
NEXT = (170, 196, 106, 24)
CANCEL = (284, 196, 106, 24)
REMOVE_ALL = (44, 32, 334, 20)
CHOOSE = (44, 52, 334, 20)
LIST = (44, 75, 312, 105)
SPINNER = (170, 46, 60, 52)


def page_point(page, rect, fx=0.5, fy=0.5):
    """Screen point at a fraction of a template rectangle on the page at `page` (screen rectangle)."""
    left, top, right, bottom = page
    sx, sy = (right - left) / PAGE_DLU[0], (bottom - top) / PAGE_DLU[1]
    x, y, w, h = rect
    return int(left + (x + w * fx) * sx), int(top + (y + h * fy) * sy)


def xdotool(*args, check=True):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True, check=check, timeout=30,
                          env=wine_env(PREFIX))


class Wizard:
    """A running tool with its window shown. `client` is the page's screen rectangle (left, top, right,
    bottom), found as the largest block of the page background below the caption."""

    def __init__(self, exe, *args, env=None):
        self.window = None
        with tempfile.TemporaryDirectory(prefix="qv-wizard-") as work:
            errors = pathlib.Path(work) / "stderr.txt"
            self.proc = winestart.start(PREFIX, exe, *args, env=env, errors=errors, ready=self._find, timeout=90)
            said = winestart.read(errors).decode("utf-8", "replace")
        if self.proc.poll() is not None:
            raise AssertionError(f"the tool ended with {self.proc.returncode} before showing the wizard: {said}")
        if self.window is None:
            self.kill()
            raise AssertionError(f"the wizard window did not appear: {said}")
        time.sleep(0.7)
        self.client = self._client_rect()

    def _find(self):
        found = xdotool("search", "--onlyvisible", "--classname", "uninstallationtool.exe", check=False).stdout.split()
        if found:
            self.window = found[-1]
        return bool(found)

    def _client_rect(self):
        geometry = dict(line.split("=") for line in
                        xdotool("getwindowgeometry", "--shell", self.window).stdout.split())
        left, top = int(geometry["X"]), int(geometry["Y"])
        width, height = int(geometry["WIDTH"]), int(geometry["HEIGHT"])
        # The X window may carry Wine's own frame: the page is the bottom-right block of the page colour.
        shot = Screenshot()
        background = shot.at(left + width - 8, top + height - 8)
        x = left + width - 8
        while x > left and shot.at(x - 1, top + height - 8) == background:
            x -= 1
        y = top + height - 8
        while y > top and shot.at(left + width - 8, y - 1) == background:
            y -= 1
        return (x, y, left + width, top + height)

    def point(self, rect, fx=0.5, fy=0.5):
        """Screen point at a fraction of a template rectangle."""
        return page_point(self.client, rect, fx, fy)

    def screen_rect(self, rect):
        (x0, y0), (x1, y1) = self.point(rect, 0, 0), self.point(rect, 1, 1)
        return (x0, y0, x1, y1)

    def click(self, rect, fx=0.5, fy=0.5):
        x, y = self.point(rect, fx, fy)
        xdotool("mousemove", x, y)
        time.sleep(0.1)
        xdotool("click", 1)
        time.sleep(0.4)

    def caption(self):
        return xdotool("getwindowname", self.window).stdout.strip()

    def key(self, *keys):
        for key in keys:
            xdotool("key", key)
            time.sleep(0.25)

    def close_window(self):
        """Alt+F4, as a user closes the window (the bare X server has no frame to click)."""
        xdotool("keydown", "alt")
        xdotool("key", "F4")
        xdotool("keyup", "alt")

    def background(self):
        left, top, right, bottom = self.client
        return Screenshot().at(left + 4, top + 4)

    def screenshot(self):
        return Screenshot()

    def wait(self, timeout=60):
        return self.proc.wait(timeout=timeout)

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


class WizardPage(PageProcess):
    """One page of the real wizard shown by the helper wizard_pages (tests/helpers/wizard_pages.cpp) in a
    theme, at a DPI and in a language, optionally after a DPI change to switch_dpi. `page` is its screen
    rectangle (left, top, right, bottom); the page stays up until close()."""

    PROGRAM = helper("wizard_pages")

    def __init__(self, work, page, theme="light", dpi=96, language="en", switch_dpi=None):
        args = ["--theme", theme, "--dpi", dpi, "--page", page, "--language", language]
        if switch_dpi:
            args += ["--switch-dpi", switch_dpi]
        name = f"{theme}-{dpi}-{language}-{page}" + (f"-to-{switch_dpi}" if switch_dpi else "")
        self.output = pathlib.Path(work) / f"{name}.txt"
        errors = self.output.with_suffix(".err")
        self.proc = winestart.start(PREFIX, self.PROGRAM, *args, stdin=subprocess.PIPE, stdout=self.output,
                                    errors=errors, ready=self._done)
        lines = self.lines()
        if "ready" not in lines:
            # A page left up would hold the user's settings and cover the next one.
            self.close()
            said = winestart.read(errors).decode("utf-8", "replace")
            raise AssertionError(f"{name} did not come up (exit code {self.proc.returncode}): {lines} {said}")
        self.page = next(tuple(map(int, line.split()[1:5])) for line in lines if line.startswith("page "))

    def lines(self):
        text = self.output.read_bytes().decode("utf-8", "replace") if self.output.exists() else ""
        return [line.strip() for line in text.splitlines() if line.strip()]

    def _done(self):
        return any(line == "ready" or line.startswith("error") for line in self.lines())

    @property
    def size(self):
        left, top, right, bottom = self.page
        return right - left, bottom - top

    def save(self, target):
        """The page as a PNG, cut from a screenshot of the X display."""
        left, top, right, bottom = self.page
        subprocess.run(["import", "-window", "root", "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
                        "+repage", "-strip", str(target)], check=True, timeout=60, env=wine_env(PREFIX))

