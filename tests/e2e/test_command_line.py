"""The command line as a caller sees it: exit codes and the two lines printed for bad input."""
import pytest

from harness import run, work_dirs
from scriptset import windows_path

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
    (["--plan"], "Option 'plan' cannot be used without 'silent'"),
    (["-s", "--plan", "/PLAN"], "Option 'plan' specified twice"),
    (["-s", "--report"], "Option 'report' requires a value"),
    (["-s", "--report=C:\\r.json"], "Unknown option: --report=C:\\r.json"),
    (["-s", "--deadline", "-5"], "Option 'deadline' requires a value"),
    (["-s", "--deadline", "5", "--deadline", "6"], "Option 'deadline' specified twice"),
    *[(["-s", "/deadline=" + value], f"Option 'deadline' takes whole minutes from 1 to 10080, not '{value}'")
      for value in ("0", "-5", "10081", "99999999999", "1.5", "+5")],
    (["-s", "--report", "report.json"],
     "Option 'report' needs an absolute, canonical file path ('report.json': not an absolute path)"),
    (["-s", "--report", "C:\\users\\..\\r.json"],
     "Option 'report' needs an absolute, canonical file path ('C:\\users\\..\\r.json': '..' is not a plain component)"),
    (["-s", "--report", "C:\\users/r.json"],
     "Option 'report' needs an absolute, canonical file path ('C:\\users/r.json': a '/' in the path)"),
    (["-s", "--report", "C:\\qv-no-such-folder\\r.json"],
     "Option 'report' needs a file in an existing folder ('C:\\qv-no-such-folder\\' is none)"),
    (["-s", "--report", "C:\\windows\\system32\\kernel32.dll\\r.json"],
     "Option 'report' needs a file in an existing folder ('C:\\windows\\system32\\kernel32.dll\\' is none)"),
    (["-s", "--report", "C:\\windows"], "Option 'report' needs a file path, not a folder ('C:\\windows')"),
    (["-s", "--report", "C:\\"], "Option 'report' needs a file path, not a folder ('C:\\')"),
])
def test_bad_command_line_exits_1_with_two_lines(scriptless_tool, args, message):
    before = set(work_dirs())
    result = run(scriptless_tool, *args)
    assert result.code == 1
    assert result.lines[:3] == [f"Error in parameters: {message}", USE_HELP, ""]
    # Refused before anything is created.
    assert set(work_dirs()) - before == set()


def test_accepted_forms_do_not_print_parameter_errors(scriptless_tool, tmp_path):
    report = windows_path(tmp_path) + "\\report.json"
    for args in (["-s", "-r"], ["--silent", "--restart"], ["/silent", "/restart"], ["/s", "/l=fi"], ["-s", "stray"],
                 ["-s", "--plan"], ["/s", "/PLAN="], ["-s", "--deadline", "1"], ["-s", "/deadline=10080"],
                 ["-s", "--report", report], ["-s", "/report=" + report],
                 ["-s", "--msi-exit-codes"], ["-s", "/MSI-EXIT-CODES"]):
        result = run(scriptless_tool, *args)
        assert "Error in parameters" not in result.stdout, args
