"""The widget gallery (tests/helpers/widget_gallery.cpp) driven from Linux: started in a theme and at a
DPI, read back through real screenshots of the X display (`import -window root`) and real input
(`xdotool`)."""
import re
import subprocess
import time

from harness import PREFIX, helper, wine_env
from tools.refmachine import winestart

GALLERY = helper("widget_gallery")


def hex_colour(value):
    return (value >> 16 & 0xFF, value >> 8 & 0xFF, value & 0xFF)


class Screenshot:
    """The whole X screen as RGB pixels (a binary PPM from ImageMagick)."""

    def __init__(self):
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], capture_output=True, check=True,
                              timeout=60).stdout
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
        assert header, data[:32]
        self.width, self.height = int(header.group(1)), int(header.group(2))
        assert int(header.group(3)) == 255
        self.pixels = data[header.end():]

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def region(self, rect):
        left, top, right, bottom = rect
        return [self.at(x, y) for y in range(top, bottom) for x in range(left, right)]

    def dominant(self, rect):
        """The most frequent colour in rect (text drawn over a fill is the minority)."""
        counts = {}
        for colour in self.region(rect):
            counts[colour] = counts.get(colour, 0) + 1
        return max(counts, key=counts.get)


class PageProcess:
    """A helper program that shows a page until its standard input reads "q" or closes: `proc`, and
    close() / the context manager to end it."""

    proc = None

    def close(self):
        if self.proc is not None and self.proc.poll() is None:
            try:
                self.proc.stdin.write(b"q")
                self.proc.stdin.close()
            except OSError:
                pass
            try:
                self.proc.wait(timeout=60)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class Gallery(PageProcess):
    """A running gallery: its report lines, widget rectangles (screen pixels) and click notifications."""

    def __init__(self, tmp_path, theme="light", dpi=96):
        self.output = tmp_path / f"gallery-{theme}-{dpi}.txt"
        self.errors = tmp_path / f"gallery-{theme}-{dpi}.err"
        # Whole lines only: a widget's name ("status-error") may stand in a report still being written.
        self.proc = winestart.start(PREFIX, GALLERY, "--theme", theme, "--dpi", dpi, stdin=subprocess.PIPE,
                                    stdout=self.output, errors=self.errors,
                                    ready=lambda: "ready" in self.lines() or self.failed())
        if "ready" not in self.lines():
            # A gallery left running would hold the settings' lock and its window over the next test.
            self.close()
            raise AssertionError(self.text() + self.errors.read_text(errors="replace"))
        self.widgets = {}
        for line in self.lines():
            parts = line.split()
            if parts[0] == "widget":
                self.widgets[parts[2]] = tuple(map(int, parts[3:7]))
            elif parts[0] == "dpi":
                self.dpi, self.mode, self.dark = int(parts[1]), int(parts[3]), int(parts[5])
            elif parts[0] == "page":
                self.page = tuple(map(int, parts[1:5]))
        # The first paint follows the report; let it land.
        time.sleep(0.5)

    def text(self):
        return self.output.read_bytes().decode("utf-8", "replace") if self.output.exists() else ""

    def lines(self):
        return [line for line in self.text().splitlines() if line.strip()]

    def failed(self):
        return any(line.startswith("error") for line in self.lines())

    def clicks(self):
        return [int(line.split()[1]) for line in self.lines() if line.startswith("click ")]

    def checks(self):
        """The check states after the last check box or radio click."""
        lines = [line for line in self.lines() if line.startswith("checks ")]
        return dict(tuple(map(int, pair.split("="))) for pair in lines[-1].split()[1:]) if lines else {}

    def rect(self, name):
        return self.widgets[name]

    def centre(self, name):
        left, top, right, bottom = self.rect(name)
        return (left + right) // 2, (top + bottom) // 2



def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True, timeout=30, env=wine_env(PREFIX))


def region_changes(rect, timeout=5.0):
    """Whether the screen inside rect changes within timeout: screenshots until one differs from the
    first (a loaded machine may paint late, so no fixed interval)."""
    first = Screenshot().region(rect)
    return wait_for_screen(lambda shot: shot.region(rect) != first, timeout).region(rect) != first


def wait_for_screen(predicate, timeout=10.0):
    """Screenshots until predicate(screenshot) holds; the last screenshot either way."""
    deadline = time.monotonic() + timeout
    while True:
        shot = Screenshot()
        if predicate(shot) or time.monotonic() > deadline:
            return shot
        time.sleep(0.1)
