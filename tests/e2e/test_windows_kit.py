"""The Windows validation kit as built: the zip holds what an administrator needs, qvkit.exe
refuses to run without --throwaway, and a run on the test prefix reports every unit suite and
scenario in well-formed JUnit XML and in the summary. Written for any list of scenarios: under Wine
each one passes or is skipped with a reason."""
import xml.etree.ElementTree as ElementTree
import zipfile

import pytest

from harness import BUILD_DIR, SOURCE_DIR, run
from scriptset import windows_path

KIT_ZIP = BUILD_DIR / "windows-kit.zip"
KIT_DIR = BUILD_DIR / "windows-kit"
QVKIT = KIT_DIR / "qvkit.exe"
# The smallest unit suite: enough to show that suites run from the kit folder.
SMALL_SUITE = "base"


def expected_kit_files():
    names = {"UninstallationTool.exe", "qvkit.exe", "kitscripts.zip", "qvkit.wsb", "README.txt"}
    for folder in (SOURCE_DIR / "tests" / "unit").iterdir():
        if folder.is_dir() and any(folder.rglob("*.cpp")):
            names.add(f"{folder.name}_tests.exe")
    for source in (SOURCE_DIR / "tests" / "helpers").glob("*.cpp"):
        stem = source.stem
        names.add(f"{stem[:-4]}.dll" if stem.endswith("_dll") else f"{stem}.exe")
    return names


def test_zip_holds_the_runner_the_tool_every_suite_and_helper():
    assert KIT_ZIP.is_file(), f"build the kit first (make windows-kit): {KIT_ZIP}"
    with zipfile.ZipFile(KIT_ZIP) as kit:
        names = set(kit.namelist())
        assert names == expected_kit_files()
        assert kit.read("UninstallationTool.exe") == (BUILD_DIR / "UninstallationTool.exe").read_bytes()
        zipfile.ZipFile(kit.open("kitscripts.zip")).testzip()
        assert b"--throwaway" in kit.read("README.txt")


def test_sandbox_file_maps_the_kit_read_only_and_starts_the_runner():
    with zipfile.ZipFile(KIT_ZIP) as kit:
        config = ElementTree.fromstring(kit.read("qvkit.wsb"))
    folders = {f.findtext("SandboxFolder"): f.findtext("ReadOnly") for f in config.iter("MappedFolder")}
    assert sorted(folders.values()) == ["false", "true"], folders
    kit_folder = next(name for name, read_only in folders.items() if read_only == "true")
    out_folder = next(name for name, read_only in folders.items() if read_only == "false")
    command = config.findtext("LogonCommand/Command")
    # The kit is copied off the read-only mapping and run from the copy, results into the mapping.
    assert kit_folder in command and "qvkit.exe --throwaway --out " + out_folder in command
    assert command.index(kit_folder) < command.index("qvkit.exe")
    assert not command.startswith(kit_folder + "\\qvkit.exe")


@pytest.mark.parametrize("args, code, message", [
    ([], 3, "throw-away machine"),
    (["--out", "{out}"], 3, "refusing to start without --throwaway"),
    (["--throwaway", "--bogus"], 2, "unknown option '--bogus'"),
    (["--throwaway", "--units"], 2, "needs a value"),
    (["--throwaway", "--units", "nosuch", "--out", "{out}"], 2, "no unit suite named nosuch"),
    (["--throwaway", "--scenarios", "nosuch", "--out", "{out}"], 2, "no scenario named nosuch"),
], ids=["bare", "out-only", "unknown-option", "missing-value", "unknown-suite", "unknown-scenario"])
def test_refusals_write_nothing(tmp_path, args, code, message):
    out = tmp_path / "results"
    result = run(QVKIT, *[a.replace("{out}", windows_path(out)) for a in args])
    assert result.code == code, result
    assert message in result.stderr, result.stderr
    assert not out.exists()
    assert not (KIT_DIR / "results").exists()


def test_throwaway_run_reports_every_suite_and_scenario(tmp_path):
    out = tmp_path / "results"
    result = run(QVKIT, "--throwaway", "--units", SMALL_SUITE, "--out", windows_path(out), timeout=600)
    assert result.code == 0, result
    root = ElementTree.parse(out / "qvkit.xml").getroot()
    assert root.tag == "testsuites"
    suites = {suite.get("name"): suite for suite in root.findall("testsuite")}
    assert set(suites) == {"units", "scenarios"}
    assert [case.get("name") for case in suites["units"]] == [SMALL_SUITE]
    assert suites["units"][0].find("failure") is None
    ElementTree.parse(out / f"{SMALL_SUITE}.xml")
    assert (out / f"{SMALL_SUITE}.txt").stat().st_size > 0

    outcomes = {SMALL_SUITE: "PASS"}
    for case in suites["scenarios"]:
        name = case.get("name")
        assert case.find("failure") is None, (name, case.find("failure").get("message"))
        skipped = case.find("skipped")
        if skipped is not None:
            assert skipped.get("message", "").strip(), f"{name} skipped without a reason"
        outcomes[name] = "SKIPPED" if skipped is not None else "PASS"
        assert "risk: " in case.findtext("system-out", ""), name
    assert int(root.get("tests")) == len(outcomes)
    assert int(root.get("failures")) == 0

    summary = (out / "summary.txt").read_text(encoding="utf-8").splitlines()
    rows = {line.split()[1]: line.split()[2] for line in summary[1:-1]}
    assert rows == outcomes
    assert summary[-1].startswith(f"Total: {len(outcomes)} run, ")
    assert " 0 failed, " in summary[-1]
    # The same table ends the console output.
    assert result.stdout.replace("\r\n", "\n").rstrip("\n").endswith("\n".join(summary))
    # Work folders and report files of passed or skipped scenarios do not stay behind.
    assert not list(out.glob("*.report"))
