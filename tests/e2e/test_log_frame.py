"""The log file of one run of the real executable: the frame around the run's records."""
import re

from harness import run

STAMP = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[[0-9a-f]{4,}\.[0-9a-f]{4,}\] "


def test_a_run_is_framed_in_the_log(scriptless_tool, log_since):
    result = run(scriptless_tool, "--silent", "/l=xx")
    text = log_since()
    # Each run starts after an empty separator line and ends with the end banner.
    assert text.startswith("\r\n"), text[:80]
    lines = text[2:].split("\r\n")
    assert lines[-1] == ""
    lines = lines[:-1]
    assert all(re.match(STAMP, line) for line in lines), lines
    bodies = [re.sub(STAMP, "", line) for line in lines]
    assert re.fullmatch(r" I: \*\*\*  LOGGING STARTED  \*\*\* \(UTC[+-]\d+:\d\d, session: 0x[0-9a-f]+\)", bodies[0])
    assert re.fullmatch(r" I: Binary version: 19\.1\.10, compilation time: \w{3} [ \d]\d \d{4} \d\d:\d\d:\d\d",
                        bodies[1])
    assert re.fullmatch(r' I: UiTool::ParseCommandLine: Command-line: .*UninstallationTool\.exe"? --silent /l=xx',
                        bodies[2])
    assert " I: Run: SILENT parameter provided. Running without GUI." in bodies
    assert bodies[-2] == f" I: wWinMain: Exiting with code: {result.code}"
    assert bodies[-1] == " I: ***  LOGGING ENDED  ***"
    # One process wrote the whole frame.
    assert len({re.search(r"\[([0-9a-f]+)\.", line).group(1) for line in lines}) == 1
