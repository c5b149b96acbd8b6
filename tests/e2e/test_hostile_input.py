"""A hostile script in the real tool: named outside the ANSI code page, it logs line breaks and
calls os.exit."""
from harness import run, work_dirs
from scriptset import tool_with_scripts


def test_script_named_outside_the_ansi_code_page_cannot_exit_or_forge_records(tmp_path, log_since):
    before = set(work_dirs())
    name = "\u0441\u043a\u0440\u0438\u043f\u0442.lua"
    exe = tool_with_scripts(tmp_path, {name: "function GetProductId() return 'k' end\n"
                                             "function DetectProduct() return true end\n"
                                             "function CleanupProduct() Log.Info('one\\r\\n*F: two') os.exit(0) end\n"})
    result = run(exe, "--silent")
    log = log_since()
    assert result.code == 1, result
    assert f" I: [{name}] one\\r\\n*F: two\r\n" in log
    assert f"{name}:3: os.exit is not available to uninstall scripts\r\n" in log
    assert set(work_dirs()) - before == set(), "the clean-up ran"
