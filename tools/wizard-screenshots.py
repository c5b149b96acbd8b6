#!/usr/bin/env python3
"""Screenshots of every wizard page of the real tool (run under Wine by tools/screenshots):
build/screenshots/<theme>-<language>-<page>.png for the welcome page, the product page with the list
shown, the progress page and each message kind, in the light and dark themes and three languages."""
import pathlib
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "tests" / "e2e"))
from conftest import BUILD_DIR, TOOL, helper, run  # noqa: E402
from scriptset import tool_with_scripts  # noqa: E402
from wizard import CANCEL, CHOOSE, LIST, NEXT, START, Wizard  # noqa: E402

OUT = BUILD_DIR / "screenshots"
KEY = r"HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Themes\Personalize"
SLOW = "local t = os.clock() while os.clock() - t < 3 do end"


def product(pid, priority, name, detected=True, cleanup="return true"):
    return (f'function GetProductId() return "{pid}" end\n'
            f'function GetProductDisplayName() return "{name}" end\n'
            f"function DetectProduct() return {'true' if detected else 'false'} end\n"
            f"function CleanupProduct() {cleanup} end\n"
            f"function GetPriority() return {priority} end\n")


def family(outcome):
    last = {"finished": "return true", "reboot": "Meta.SetRebootNeeded() return true",
            "error": 'error("failed") return true'}[outcome]
    return {"omnivo.lua": product("omnivo", 10, "", cleanup=SLOW + " return true"),
            "quarantine.lua": product("quarantine", 20, "", detected=False),
            "zorv_quarantine.lua": product("zorv_quarantine", 30, "", cleanup=last),
            "logs.lua": product("logs", 40, "")}


def shoot(wizard, name):
    left, top, right, bottom = wizard.client
    target = OUT / f"{name}.png"
    subprocess.run(["import", "-window", "root", "-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage",
                    str(target)], check=True)
    print(f"screenshots: {target}")


def session(exe, prefix, outcome, language):
    wizard = Wizard(exe, "--language", language)
    try:
        if outcome == "finished":
            shoot(wizard, f"{prefix}-welcome")
        wizard.click(START)
        if outcome == "finished":
            wizard.click(CHOOSE, 0.03)
            for row in (0, 2):  # the check boxes of the first and third rows
                wizard.click((LIST[0] + 1, LIST[1] + 1 + 10.5 * row, 6, 8))
            time.sleep(0.3)
            shoot(wizard, f"{prefix}-select")
        wizard.click(NEXT)
        if outcome == "finished":
            time.sleep(1)
            shoot(wizard, f"{prefix}-progress")
        time.sleep(5)
        shoot(wizard, f"{prefix}-{outcome}")
        wizard.click(CANCEL)
        wizard.wait()
    finally:
        wizard.kill()


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    before = run("reg", "query", KEY, "/v", "AppsUseLightTheme")
    old = re.search(r"AppsUseLightTheme\s+REG_DWORD\s+0x([0-9a-fA-F]+)", before.stdout)
    with tempfile.TemporaryDirectory() as work:
        tools = {outcome: tool_with_scripts(pathlib.Path(work) / outcome, family(outcome))
                 for outcome in ("finished", "reboot", "error")}
        try:
            for theme, value in (("light", 1), ("dark", 0)):
                run("reg", "add", KEY, "/v", "AppsUseLightTheme", "/t", "REG_DWORD", "/d", value, "/f")
                for language in ("en", "fi", "ru"):
                    prefix = f"{theme}-{language}"
                    for outcome, exe in tools.items():
                        session(exe, prefix, outcome, language)
                    wizard = Wizard(helper("run_restricted"), TOOL, "--language", language)
                    try:
                        shoot(wizard, f"{prefix}-privileges")
                        wizard.click(CANCEL)
                        wizard.wait()
                    finally:
                        wizard.kill()
        finally:
            if old:
                run("reg", "add", KEY, "/v", "AppsUseLightTheme", "/t", "REG_DWORD", "/d", int(old.group(1), 16), "/f")
            else:
                run("reg", "delete", KEY, "/v", "AppsUseLightTheme", "/f")


if __name__ == "__main__":
    main()
