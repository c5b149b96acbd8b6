"""The script archive as the real tool unpacks it: copies of the executable carrying chosen
archives, hostile ones included."""
import zipfile

import pytest

from harness import BUILD_DIR, TOOL, run, temp_dir
from scriptset import make_zip, read_resource, tool_with_scripts

ERROR_GENERIC = "Could not complete the uninstallation successfully."


def test_copy_carries_the_given_archive_and_keeps_the_other_resources(tmp_path):
    archive = make_zip([("omnivo.lua", "return 1\n"), ("lib/common.lua", "x = 1\n"), ("../evil.lua", "")],
                       zipfile.ZIP_STORED)
    copy = tool_with_scripts(tmp_path, archive)
    assert read_resource(copy, 103, tmp_path) == archive
    assert read_resource(copy, 101, tmp_path) == (BUILD_DIR / "generated" / "strings.bin").read_bytes()
    assert read_resource(copy, 102, tmp_path) == (BUILD_DIR / "generated" / "settings.bin").read_bytes()


def test_copy_behaves_like_the_original(tmp_path):
    copy = tool_with_scripts(tmp_path, (BUILD_DIR / "generated" / "scripts.zip").read_bytes())
    # No run here reaches a removal: an unknown product id ends a silent run after detection.
    for args in (["--silent", "--help"], ["--silent", "--language", "de", "--products", "none-such"],
                 ["--bogus-option"]):
        original = run(TOOL, *args)
        replaced = run(copy, *args)
        assert (replaced.code, replaced.stdout) == (original.code, original.stdout), args


@pytest.mark.parametrize("name", ["../x.lua", "a..b.lua", "lib/../../x.lua"])
def test_names_with_two_dots_stop_the_run(tmp_path, log_since, name):
    copy = tool_with_scripts(tmp_path, [("first.lua", "-- ok"), (name, "-- escaped"), ("last.lua", "-- ok")])
    result = run(copy, "--silent")
    assert result.code == 1
    assert result.lines[:2] == [ERROR_GENERIC, ""]
    log = log_since()
    assert "E: ResDropper::ExtractZipFromResource: Unzipping failed: 153\r\n" in log
    assert "E: UiTool::ExtractScripts: Failed to extract scripts from resources\r\n" in log
    assert not (temp_dir() / "x.lua").exists()


@pytest.mark.parametrize("archive", [b"not a zip at all", make_zip({"a.lua": "x" * 1000})[:-30]])
def test_a_damaged_archive_fails_cleanly(tmp_path, log_since, archive):
    copy = tool_with_scripts(tmp_path, archive)
    result = run(copy, "--silent")
    assert result.code == 1
    assert result.lines[:2] == [ERROR_GENERIC, ""]
    assert "E: ResDropper::ExtractZipFromResource: Failed to open zip resource\r\n" in log_since()


@pytest.fixture
def debug_logging():
    key = r"HKLM\SOFTWARE\Quorvel\BREL\Logging"
    assert run("reg", "add", key, "/v", "LogLevel", "/t", "REG_DWORD", "/d", "5", "/f").code == 0
    yield
    run("reg", "delete", key, "/v", "LogLevel", "/f")


def test_every_entry_is_logged_and_a_good_archive_extracts(tmp_path, log_since, debug_logging):
    copy = tool_with_scripts(tmp_path, [("lib/", ""), ("lib/x.lua", "return 1"), ("main.lua", "-- m"),
                                        ("\u0161kripty/\u010d.lua", "-- utf")])
    run(copy, "--silent")
    log = log_since()
    for name in ("lib/", "lib/x.lua", "main.lua", "\u0161kripty/\u010d.lua"):
        assert f" D: ResDropper::ExtractZipFromResource: '{name}'\r\n" in log, name
    assert "Unzipping failed" not in log
    assert "Failed to extract scripts" not in log
