#!/usr/bin/env python3
"""Screenshots of every wizard page (run under Wine by tools/screenshots), each shown by the helper
wizard_pages (tests/helpers/wizard_pages.cpp) with the tool's own manager, templates and texts:
  build/screenshots/<theme>-<dpi>-<page>.png      light, dark and contrast at 96 and 144 DPI, English
  build/screenshots/light-96-<language>-<page>.png the other languages
and the README's pictures docs/images/<theme>-<page>.png (light and dark, 96 DPI, English)."""
import pathlib
import shutil
import tempfile
import time

from harness import BUILD_DIR  # tests/e2e, which tools/screenshots puts on PYTHONPATH
from wizard import WizardPage

SOURCE = pathlib.Path(__file__).resolve().parent.parent

OUT = BUILD_DIR / "screenshots"
README_IMAGES = SOURCE / "docs" / "images"
PAGES = ("welcome", "select", "progress", "finished", "reboot", "error", "privileges")
README_PAGES = ("welcome", "select", "progress", "finished")


def shots():
    """(theme, dpi, language, file name) of every picture."""
    for theme in ("light", "dark", "contrast"):
        for dpi in (96, 144):
            for page in PAGES:
                yield theme, dpi, "en", page, f"{theme}-{dpi}-{page}.png"
    for language in ("fi", "ru"):
        for page in PAGES:
            yield "light", 96, language, page, f"light-96-{language}-{page}.png"


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    README_IMAGES.mkdir(parents=True, exist_ok=True)
    started = time.monotonic()
    with tempfile.TemporaryDirectory() as work:
        for theme, dpi, language, page, name in shots():
            with WizardPage(work, page, theme=theme, dpi=dpi, language=language) as shown:
                time.sleep(0.3)  # the X server shows what was painted
                shown.save(OUT / name)
            print(f"screenshots: {OUT / name}")
            if dpi == 96 and language == "en" and theme != "contrast" and page in README_PAGES:
                shutil.copyfile(OUT / name, README_IMAGES / f"{theme}-{page}.png")
    print(f"screenshots: {time.monotonic() - started:.0f} s")


if __name__ == "__main__":
    main()
