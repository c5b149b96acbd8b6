"""The script-replacing helper: a copy of the real tool with another archive, still a working tool."""
import zipfile

from scriptset import BUILD_DIR, TOOL, make_zip, read_resource, run_wine, tool_with_scripts


def test_copy_carries_the_given_archive_and_keeps_the_other_resources(tmp_path):
    archive = make_zip([("omnivo.lua", "return 1\n"), ("lib/common.lua", "x = 1\n"), ("../evil.lua", "")],
                       zipfile.ZIP_STORED)
    copy = tool_with_scripts(tmp_path, archive)
    assert read_resource(copy, 103, tmp_path) == archive
    assert read_resource(copy, 101, tmp_path) == (BUILD_DIR / "generated" / "strings.bin").read_bytes()
    assert read_resource(copy, 102, tmp_path) == (BUILD_DIR / "generated" / "settings.bin").read_bytes()


def test_copy_behaves_like_the_original(tmp_path):
    copy = tool_with_scripts(tmp_path, (BUILD_DIR / "generated" / "scripts.zip").read_bytes())
    for args in (["--silent", "--help"], ["--bogus-option"]):
        original = run_wine(TOOL, args)
        replaced = run_wine(copy, args)
        assert (replaced.returncode, replaced.stdout) == (original.returncode, original.stdout), args
