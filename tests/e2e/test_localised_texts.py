"""The generator of the localised resources refuses incomplete or untranslated sources."""
import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

SOURCE_DIR = Path(os.environ.get("QV_SOURCE_DIR", Path(__file__).resolve().parents[2]))
BUILD_DIR = Path(os.environ.get("QV_BUILD_DIR", SOURCE_DIR / "build"))
THIRD_PARTY = BUILD_DIR / "third_party"


def generate(sources, out_dir):
    return subprocess.run(
        [sys.executable, str(SOURCE_DIR / "tools" / "make-resources"), "--sources", str(sources),
         "--lua-header", str(THIRD_PARTY / "lua5.3" / "src" / "lua.h"),
         "--zlib-header", str(THIRD_PARTY / "zlib" / "zlib.h"),
         "--strings-out", str(out_dir / "strings.bin"), "--settings-out", str(out_dir / "settings.bin")],
        capture_output=True, text=True)


@pytest.fixture
def sources(tmp_path):
    copy = tmp_path / "strings"
    shutil.copytree(SOURCE_DIR / "resources" / "strings", copy)
    return copy


def edit(path, old, new):
    text = path.read_text(encoding="utf-8")
    assert old in text
    path.write_text(text.replace(old, new, 1), encoding="utf-8")


def records(blob):
    return [r for r in blob.decode("utf-8").split("\x01") if r]


def test_shipped_sources_build_33_languages_of_22_texts(sources, tmp_path):
    result = generate(sources, tmp_path)
    assert result.returncode == 0, result.stderr
    strings = records((tmp_path / "strings.bin").read_bytes())
    assert len(strings) == 22
    for record in strings:
        key, _, fields = record.partition("\x02")
        texts = dict(f.split("\x03", 1) for f in fields.split("\x02") if f)
        assert len(texts) == 33, key
    settings = records((tmp_path / "settings.bin").read_bytes())
    assert [r.split("\x03")[0].split("\x02")[0] for r in settings] == ["LuaCopyright", "UrlEULT", "ZlibCopyright"]
    assert "Copyright (C) 1994-2020 Lua.org, PUC-Rio" in settings[0]


@pytest.mark.parametrize("language,old,new,complaint", [
    ("fi", "Cancel = Peruuta\n", "", "fi: no strings text for Cancel"),
    ("fr", "Close = Fermer", "Close = Close", "fr: Close is still the English text"),
    ("de", "Name = Name", "Name = Bezeichnung", "de: Name is allowed to equal English"),
    ("ja", "[#]ライセンス条項[#]", "ライセンス条項", "ja: CopyrightQV needs %YEAR% and one [#]link[#]"),
    ("ko", "%YEAR%", "2024", "ko: CopyrightQV needs %YEAR%"),
    ("sv", "Title = ", "Titel = ", "sv: unknown strings key Titel"),
    ("pl", "UrlEULT = ", "Url = ", "pl: no settings text for UrlEULT"),
    ("ru", "Next = Далее", "Next =", "empty text for Next"),
    ("ro", "Reboot = Repornire", "Reboot = Repornire\nReboot = Din nou", "Reboot given twice"),
])
def test_generator_refuses_broken_sources(sources, tmp_path, language, old, new, complaint):
    edit(sources / f"{language}.txt", old, new)
    result = generate(sources, tmp_path)
    assert result.returncode != 0
    assert complaint in result.stderr
    assert not (tmp_path / "strings.bin").exists()


def test_generator_refuses_a_missing_or_unknown_language(sources, tmp_path):
    (sources / "vi.txt").rename(sources / "xx.txt")
    result = generate(sources, tmp_path)
    assert result.returncode != 0
    assert "missing languages: vi" in result.stderr
    assert "unexpected languages: xx" in result.stderr
