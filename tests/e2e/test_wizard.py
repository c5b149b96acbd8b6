"""The wizard of the real executable under Wine, driven like a user (clicks and keys through xdotool,
screenshots of the X display), with injected script sets: the pages, the answers they give the run,
what gets removed, and the exit codes."""
import re
import time

import pytest

from harness import helper, run, wait_for, wait_for_restart_to_settle
from gallery import Screenshot, region_changes
from scriptset import tool_with_scripts
from wizard import CANCEL, CHOOSE, LIST, NEXT, REMOVE_ALL, SPINNER, START, TITLE, Wizard

SLOW = "local t = os.clock() while os.clock() - t < 4 do end"


def product(pid, priority, name=None, detected=True, cleanup="return true"):
    return "\n".join([f'function GetProductId() return "{pid}" end',
                      f'function GetProductDisplayName() return "{pid.upper() if name is None else name}" end',
                      f"function DetectProduct() return {'true' if detected else 'false'} end",
                      f"function CleanupProduct() Log.Info('cleanup {pid}') {cleanup} end",
                      f"function GetPriority() return {priority} end"]) + "\n"


def removed(log_text):
    return re.findall(r"\] cleanup (\w+)", log_text)


@pytest.fixture
def family(tmp_path):
    return tool_with_scripts(tmp_path, {"c.lua": product("c", 30, cleanup=SLOW + " return true"),
                                        "a.lua": product("a", 10), "logs.lua": product("logs", 40),
                                        "b.lua": product("b", 20, name="", detected=False)})


@pytest.fixture
def wizard_of():
    started = []

    def start(exe, *args, env=None):
        started.append(Wizard(exe, *args, env=env))
        return started[-1]

    yield start
    for wizard in started:
        wizard.kill()


def test_walk_through_removes_all_but_logs_in_priority_order(family, wizard_of, log_since):
    wizard = wizard_of(family)
    assert wizard.caption() == TITLE
    page = wizard.background()
    wizard.click(START)
    # Remove-all is chosen: the list stays hidden (page colour only) and Next is enabled (filled).
    shot = Screenshot()
    assert set(shot.region(wizard.screen_rect((60, 90, 280, 80)))) == {page}
    assert shot.at(*wizard.point(NEXT, 0.5, 0.2)) != shot.at(*wizard.point(CANCEL, 0.5, 0.2))
    wizard.click(NEXT)
    # Progress: the spinner turns while the slow script runs.
    assert wait_for(lambda: "cleanup a" in log_since(), timeout=20)
    assert region_changes(wizard.screen_rect(SPINNER))
    assert wait_for(lambda: "cleanup c" in log_since(), timeout=30)
    time.sleep(5)
    wizard.click(CANCEL)  # Close on the Finished page
    assert wizard.wait() == 0
    assert removed(log_since()) == ["a", "b", "c"]


def test_keyboard_only_choice_is_saved_before_the_removal(family, wizard_of, log_since):
    # Enter on Welcome; on Select the focus starts on the remove-all radio: Down to the choose radio,
    # Tab to the list, Down to its first row, Space to check it, Enter for Next.
    wizard = wizard_of(family)
    wizard.key("Return")
    time.sleep(0.5)
    wizard.key("Down", "Tab", "Down", "space")
    wizard.key("Return")
    assert wait_for(lambda: "cleanup a" in log_since(), timeout=20)
    time.sleep(1)
    wizard.key("Return")  # Close, the default button of the Finished page
    assert wizard.wait() == 0
    assert removed(log_since()) == ["a"]


def test_choose_radio_boxes_drive_next_and_the_removal(family, wizard_of, log_since):
    wizard = wizard_of(family)
    wizard.click(START)
    wizard.click(CHOOSE, 0.03)
    shot = Screenshot()
    next_disabled = shot.at(*wizard.point(NEXT, 0.5, 0.2))
    assert set(shot.region(wizard.screen_rect((60, 90, 280, 80)))) != {wizard.background()}
    # Rows: 10.5 dialog units each from the list's top; the box sits at its left edge.
    row_b = (LIST[0] + 1, LIST[1] + 1 + 10.5 * 1, 6, 8)
    wizard.click(row_b, 0.5, 0.5)
    enabled = Screenshot().at(*wizard.point(NEXT, 0.5, 0.2))
    assert enabled != next_disabled
    wizard.click(row_b, 0.5, 0.5)
    assert Screenshot().at(*wizard.point(NEXT, 0.5, 0.2)) == next_disabled
    wizard.click(row_b, 0.5, 0.5)
    wizard.click(NEXT)
    assert wait_for(lambda: "cleanup b" in log_since(), timeout=20)
    time.sleep(1)
    wizard.click(CANCEL)
    assert wizard.wait() == 0
    assert removed(log_since()) == ["b"]


def test_space_after_a_click_acts_on_the_clicked_radio(family, wizard_of, log_since):
    # The focus starts on the remove-all radio; a click on the other radio must take it along, or
    # Space would flip the choice back to remove-all.
    wizard = wizard_of(family)
    wizard.click(START)
    list_area = wizard.screen_rect((60, 90, 280, 80))
    for radio, list_shown in [(CHOOSE, True), (REMOVE_ALL, False), (CHOOSE, True)]:
        wizard.click(radio, 0.03)
        wizard.key("space")
        assert (set(Screenshot().region(list_area)) != {wizard.background()}) == list_shown, radio
    wizard.click(CANCEL)
    assert wizard.wait() == 2
    assert removed(log_since()) == []


def test_preselected_product_opens_on_the_choose_radio(family, wizard_of, log_since):
    wizard = wizard_of(family, "--products", "logs")
    wizard.key("Return")
    time.sleep(0.5)
    wizard.key("Return")
    assert wait_for(lambda: "cleanup logs" in log_since(), timeout=20)
    time.sleep(1)
    wizard.click(CANCEL)
    assert wizard.wait() == 0
    assert removed(log_since()) == ["logs"]


@pytest.mark.parametrize("leave", ["cancel on select", "close on welcome", "escape on welcome"])
def test_leaving_before_removal_exits_2(family, wizard_of, log_since, leave):
    wizard = wizard_of(family)
    if leave == "cancel on select":
        wizard.click(START)
        wizard.click(CANCEL)
    elif leave == "escape on welcome":
        wizard.key("Escape")
    else:
        wizard.close_window()
    assert wizard.wait() == 2
    assert removed(log_since()) == []


def test_closing_during_removal_lets_it_finish(family, wizard_of, log_since):
    wizard = wizard_of(family)
    wizard.click(START)
    wizard.click(NEXT)
    assert wait_for(lambda: "cleanup a" in log_since(), timeout=20)
    wizard.close_window()
    assert wizard.wait() == 0
    assert removed(log_since()) == ["a", "b", "c"]
    # The final page has no window to go to: said at info level, not as a failure.
    assert re.search(r" I: GuiManager::PostShowDialog: The window is closed: the page is not shown", log_since())
    assert "Failed to post message" not in log_since()


@pytest.mark.parametrize("cleanup,code", [('error("boom") return true', 1), ("Meta.SetRebootNeeded() return true", 99)])
def test_final_page_close_gives_the_exit_code(tmp_path, wizard_of, log_since, cleanup, code):
    exe = tool_with_scripts(tmp_path, {"a.lua": product("a", 1, cleanup=cleanup)})
    wizard = wizard_of(exe)
    wizard.click(START)
    wizard.click(NEXT)
    time.sleep(2)
    shot = Screenshot()
    reboot, close = shot.at(*wizard.point(NEXT, 0.5, 0.2)), shot.at(*wizard.point(CANCEL, 0.5, 0.2))
    page = wizard.background()
    if code == 99:
        # Reboot filled, Close outlined (page colour inside the outline).
        assert reboot != page and close == page
    else:
        assert reboot == page and close != page
    wizard.click(CANCEL)
    assert wizard.wait() == code
    assert "Triggering reboot" not in log_since()


def test_reboot_button_requests_the_restart(tmp_path, scratch_machine):
    exe = tool_with_scripts(tmp_path, {"a.lua": product("a", 1, cleanup="Meta.SetRebootNeeded() return true")})
    wizard = Wizard(exe, env=scratch_machine.env)
    try:
        wizard.click(START)
        wizard.click(NEXT)
        time.sleep(2)
        wizard.click(NEXT)  # Reboot
        assert wizard.wait() == 99
    finally:
        wizard.kill()
    wait_for_restart_to_settle(scratch_machine.prefix)
    assert "Triggering reboot ..." in scratch_machine.log_text()


def test_without_administrator_rights_shows_the_privileges_page(tmp_path, tool):
    wizard = Wizard(helper("run_restricted"), tool)
    try:
        shot = Screenshot()
        assert shot.at(*wizard.point(CANCEL, 0.5, 0.2)) != wizard.background()
        wizard.click(CANCEL)
        assert wizard.wait() == 3
    finally:
        wizard.kill()


def test_licence_link_goes_to_the_desktop_shell_and_the_page_stays(family, wizard_of, log_since):
    # Whether Wine offers a desktop shell view depends on its desktop: either outcome is logged, the
    # page stays.
    wizard = wizard_of(family)
    wizard.click((24, 191, 352, 12), 0.745, 0.5)
    assert wait_for(lambda: re.search(r"DialogChild::LaunchUrl: (Launched|Failed to launch) URL: "
                                      r"https://www\.quorvel\.example/legal/eult/enu\.html", log_since()),
                    timeout=20)
    assert wizard.proc.poll() is None
    wizard.close_window()
    assert wizard.wait() == 2


def test_dark_theme_of_the_session_user(family, wizard_of):
    key = r"HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Themes\Personalize"
    before = run("reg", "query", key, "/v", "AppsUseLightTheme")
    run("reg", "add", key, "/v", "AppsUseLightTheme", "/t", "REG_DWORD", "/d", "0", "/f")
    try:
        wizard = wizard_of(family)
        assert wizard.background() == (0x1C, 0x1C, 0x1E)
    finally:
        old = re.search(r"AppsUseLightTheme\s+REG_DWORD\s+0x([0-9a-fA-F]+)", before.stdout)
        if old:
            run("reg", "add", key, "/v", "AppsUseLightTheme", "/t", "REG_DWORD", "/d", str(int(old.group(1), 16)), "/f")
        else:
            run("reg", "delete", key, "/v", "AppsUseLightTheme", "/f")
