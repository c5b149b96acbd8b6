"""The QvUI widgets in real windows (the widget gallery under Xvfb): theme colours read from
screenshots, real mouse input, the spinner's timer and the scaling at 144 DPI."""
import time

import pytest

from gallery import Gallery, Screenshot, hex_colour, region_changes, wait_for_screen, xdotool

# Palette ids the checks use, as #RRGGBB.
PALETTE = {
    "light": {0: 0xFFFFFF, 2: 0x003CFF, 3: 0x3363FF, 5: 0xACACAC, 6: 0xFFFFFF, 30: 0x00A538},
    "dark": {0: 0x1C1C1E, 2: 0x99B1FF, 3: 0x7A8DCC, 5: 0x6C6C6C, 6: 0x2C2C2E, 30: 0x8EDBA8},
}


def colour(theme, pid):
    return hex_colour(PALETTE[theme][pid])


def status_point(rect, x, y):
    """A point of the 24 x 24 icon design inside a square status control."""
    left, top, right, bottom = rect
    scale = min(right - left, bottom - top) / 24
    return int(left + x * scale), int(top + y * scale)


@pytest.mark.parametrize("theme", ["light", "dark"])
def test_theme_colours_of_page_buttons_and_status_icon(tmp_path, theme):
    with Gallery(tmp_path, theme) as gallery:
        assert (gallery.mode, gallery.dark) == ((0, 0) if theme == "light" else (1, 1))
        shot = Screenshot()
        background = colour(theme, 0)
        assert shot.dominant(gallery.rect("background")) == background

        def centre_fill(name):
            x, y = gallery.centre(name)
            return shot.dominant((x - 6, y - 6, x + 7, y + 7))

        assert centre_fill("primary") == colour(theme, 2)
        assert centre_fill("primary-disabled") == colour(theme, 5)
        assert centre_fill("secondary") == colour(theme, 6)

        # The secondary outline runs one pixel inside the rectangle; the rectangle's own edge is page.
        left, top, right, bottom = gallery.rect("secondary")
        x = (left + right) // 2
        assert [shot.at(x, top), shot.at(x, top + 1)] == [background, colour(theme, 2)]
        assert [shot.at(x, bottom - 2), shot.at(x, bottom - 1)] == [colour(theme, 2), background]
        # A primary button's fill starts on the rectangle's top row (its shape ends one row short of
        # the bottom, like the outline's).
        left, top, right, bottom = gallery.rect("primary")
        x = (left + right) // 2
        assert [shot.at(x, top), shot.at(x, bottom - 2)] == [colour(theme, 2)] * 2

        # Success: the disc in palette 30, the check mark cut out of it shows the page.
        icon = gallery.rect("status-success")
        pixels = shot.region(icon)
        assert pixels.count(colour(theme, 30)) > len(pixels) // 3
        assert shot.at(*status_point(icon, 12, 4)) == colour(theme, 30)
        assert shot.at(*status_point(icon, 10.5, 16)) == background
        assert shot.at(*status_point(icon, 16, 9)) == background
        assert shot.at(*status_point(icon, 1, 1)) == background

        # Hot after the mouse moves onto it, normal again when it leaves.
        x, y = gallery.centre("primary-hot")
        xdotool("mousemove", x, y)
        hot = colour(theme, 3)
        shot = wait_for_screen(lambda s: s.dominant((x - 6, y - 6, x + 7, y + 7)) == hot)
        assert shot.dominant((x - 6, y - 6, x + 7, y + 7)) == hot
        xdotool("mousemove", *gallery.centre("background"))
        shot = wait_for_screen(lambda s: s.dominant((x - 6, y - 6, x + 7, y + 7)) == colour(theme, 2))
        assert shot.dominant((x - 6, y - 6, x + 7, y + 7)) == colour(theme, 2)


def test_clicks_double_clicks_and_radio_groups(tmp_path):
    with Gallery(tmp_path) as gallery:
        def click(name, x_offset=None, repeat=1):
            x, y = gallery.centre(name)
            if x_offset is not None:
                x = gallery.rect(name)[0] + x_offset
            xdotool("mousemove", x, y)
            xdotool("click", "--repeat", repeat, "--delay", 60, 1)

        click("primary")
        assert gallery.clicks() == [101] or wait_clicks(gallery, [101])
        # Windows sends down, up, double click, up: the double-click message stands for the second
        # press and gives exactly one notification, so the pair gives one per press.
        click("secondary", repeat=2)
        assert wait_clicks(gallery, [101, 111, 111]), gallery.text()
        time.sleep(0.5)
        assert gallery.clicks() == [101, 111, 111]
        # A disabled button stays silent.
        click("primary-disabled")
        time.sleep(0.5)
        assert gallery.clicks() == [101, 111, 111]

        # Radios: the clicked one is checked and the rest of its group cleared; another group and
        # the check boxes keep their state. Clicks land on the label (hit testing covers mark and text).
        click("radio-2", x_offset=40)
        assert wait_clicks(gallery, [101, 111, 111, 212]), gallery.text()
        assert gallery.checks() == {201: 1, 202: 0, 203: 1, 211: 0, 212: 1, 213: 0, 214: 1}
        click("radio-3", x_offset=40)
        assert wait_clicks(gallery, [101, 111, 111, 212, 213]), gallery.text()
        assert gallery.checks() == {201: 1, 202: 0, 203: 1, 211: 0, 212: 0, 213: 1, 214: 1}
        click("check-unchecked", x_offset=40)
        assert wait_clicks(gallery, [101, 111, 111, 212, 213, 202]), gallery.text()
        assert gallery.checks() == {201: 1, 202: 1, 203: 1, 211: 0, 212: 0, 213: 1, 214: 1}
        # Beside the label of a wide check box nothing is hit.
        click("check-checked", x_offset=140)
        time.sleep(0.5)
        assert gallery.clicks() == [101, 111, 111, 212, 213, 202]


def wait_clicks(gallery, expected, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if gallery.clicks() == expected:
            return True
        time.sleep(0.05)
    return gallery.clicks() == expected


def test_spinner_turns_while_the_creating_thread_is_blocked(tmp_path):
    # The gallery's main thread made the window and now sits in a blocking read of its standard
    # input; only the UI thread's timer can move the arc.
    with Gallery(tmp_path) as gallery:
        spinner = gallery.rect("spinner")
        assert region_changes(spinner)
        assert hex_colour(PALETTE["light"][2]) in Screenshot().region(spinner)


def diagonal_inset(shot, rect, fill):
    """Steps from the top-left corner along the diagonal until the fill starts: r (1 - 1/sqrt 2)."""
    left, top, _, _ = rect
    for k in range(40):
        if shot.at(left + k, top + k) == fill:
            return k
    raise AssertionError("no fill on the diagonal")


def ink_height(shot, rect, background):
    rows = [y for y in range(rect[1], rect[3]) if any(shot.at(x, y) != background for x in range(rect[0], rect[2]))]
    return rows[-1] - rows[0] + 1


def test_corner_radius_and_fonts_scale_at_144_dpi(tmp_path):
    measured = {}
    for dpi in (96, 144):
        with Gallery(tmp_path, dpi=dpi) as gallery:
            assert gallery.dpi == dpi
            shot = Screenshot()
            left, top, right, bottom = gallery.rect("primary-tall")
            assert bottom - top == 64 * dpi // 96
            measured[dpi] = (diagonal_inset(shot, gallery.rect("primary-tall"), colour("light", 2)),
                             ink_height(shot, gallery.rect("text"), colour("light", 0)))
    (corner96, text96), (corner144, text144) = measured[96], measured[144]
    # Radius 24 at 96 DPI (diameter 48): the fill meets the diagonal about 7 pixels in.
    assert 5 <= corner96 <= 9, measured
    assert 1.3 <= corner144 / corner96 <= 1.7, measured
    assert 1.3 <= text144 / text96 <= 1.7, measured


def test_high_contrast_uses_system_colours(tmp_path):
    # Wine's default scheme has a white window colour: high contrast, not dark.
    with Gallery(tmp_path, "contrast") as gallery:
        assert (gallery.mode, gallery.dark) == (2, 0)
        shot = Screenshot()
        assert shot.dominant(gallery.rect("background")) == (255, 255, 255)
        # Ids 30-33 follow the dark flag: the light success colour.
        assert colour("light", 30) in shot.region(gallery.rect("status-success"))
