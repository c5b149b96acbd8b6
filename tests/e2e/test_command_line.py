"""The command line as a caller sees it: exit codes and the two lines printed for bad input."""
import pytest

from conftest import run

USE_HELP = "Use --help|-h option to view available parameters"


@pytest.mark.parametrize("args, message", [
    (["-r"], "Option 'restart' cannot be used without 'silent'"),
    (["--restart"], "Option 'restart' cannot be used without 'silent'"),
    (["--language"], "Option 'language' requires a value"),
    (["--language", "-s"], "Option 'language' requires a value"),
    (["/language="], "Option 'language' requires a value"),
    (["--language=fi"], "Unknown option: --language=fi"),
    (["/silent=yes"], "Option 'silent' has no value"),
    (["-s", "-s"], "Option 'silent' specified twice"),
    (["-s", "--SILENT"], "Option 'silent' specified twice"),
    (["-S"], "Unknown option: -S"),
    (["-"], ""),
    (['"unclosed'], "Mismatching quotes"),
])
def test_bad_command_line_exits_1_with_two_lines(scriptless_tool, args, message):
    result = run(scriptless_tool, *args)
    assert result.code == 1
    assert result.lines[:3] == [f"Error in parameters: {message}", USE_HELP, ""]


def test_accepted_forms_do_not_print_parameter_errors(scriptless_tool):
    for args in (["-s", "-r"], ["--silent", "--restart"], ["/silent", "/restart"], ["/s", "/l=fi"], ["-s", "stray"]):
        result = run(scriptless_tool, *args)
        assert "Error in parameters" not in result.stdout, args
