"""The wizard's pages shown by the helper wizard_pages: the theme and the DPI the user's settings give
reach the page's process, the real manager's theme decision and the page's layout."""
import re
import time

import pytest

from harness import run
from gallery import Screenshot
from wizard import START, WizardPage, page_point


def system_colour(name):
    found = re.search(rf"^\s*{name}\s+REG_SZ\s+(\d+) (\d+) (\d+)\s*$",
                      run("reg", "query", r"HKCU\Control Panel\Colors", "/v", name).stdout, re.M)
    assert found, name
    return tuple(map(int, found.groups()))


# The page background and the primary button's fill (palette ids 0 and 2); high contrast takes the
# system's window and highlight colours.
THEMES = {
    "light": lambda: ((0xFF, 0xFF, 0xFF), (0x00, 0x3C, 0xFF)),
    "dark": lambda: ((0x1C, 0x1C, 0x1E), (0x99, 0xB1, 0xFF)),
    "contrast": lambda: (system_colour("Window"), system_colour("Hilight")),
}


@pytest.mark.parametrize("theme", sorted(THEMES))
def test_the_page_shows_the_theme_it_was_started_in(tmp_path, theme):
    background, primary = THEMES[theme]()
    with WizardPage(tmp_path, "welcome", theme=theme) as shown:
        time.sleep(0.3)
        shot = Screenshot()
        left, top, _, _ = shown.page
        x, y = page_point(shown.page, START)
        assert shot.dominant((left, top, left + 20, top + 20)) == background
        assert shot.dominant((x - 6, y - 4, x + 7, y + 5)) == primary


def test_the_page_at_144_dpi_is_half_as_large_again_as_at_96(tmp_path):
    sizes = {}
    for dpi in (96, 144):
        with WizardPage(tmp_path, "welcome", dpi=dpi) as shown:
            sizes[dpi] = shown.size
    # The templates are laid out in dialog units, which follow the page font's character cell in
    # whole pixels (7 x 13 at 96 DPI, 10 x 19 at 144: 700 x 374 against 1000 x 546), so the page is
    # 1.5 times as large only up to that rounding.
    for small, large in zip(sizes[96], sizes[144]):
        assert 1.42 * small <= large <= 1.58 * small, sizes


@pytest.mark.parametrize("page", ["welcome", "select", "reboot"])
def test_a_dpi_change_lays_the_page_out_as_a_start_at_that_dpi(tmp_path, page):
    """A page started at 96 DPI and moved to a 144 DPI monitor (WM_DPICHANGED) looks as one started at
    144: layout, fonts, the button shape, the status icon and the list's check boxes."""
    shown = {}
    for start, switch in ((144, None), (96, 144)):
        with WizardPage(tmp_path, page, dpi=start, switch_dpi=switch) as wizard:
            time.sleep(0.3)
            shown[start] = (wizard.size, Screenshot().region(wizard.page))
    (started_size, started), (switched_size, switched) = shown[144], shown[96]
    assert switched_size == started_size
    differing = sum(1 for a, b in zip(started, switched) if max(abs(x - y) for x, y in zip(a, b)) > 48)
    assert differing <= len(started) // 2000, f"{differing} of {len(started)} pixels differ"
