"""Start-up guards of the real executable: single instance, administrator rights, and what the
built file carries (manifest, version, icon, embedded data)."""
import re

from harness import helper, run, start, work_dirs

MUTEX = "Global\\{91D7C0A1-4A48-4F19-8492-D22A1F91C4CE}"


def test_second_instance_exits_4_and_leaves_the_first_alone(scriptless_tool, log_since):
    holder = start(helper("hold_mutex"), MUTEX)
    try:
        assert holder.stdout.readline().strip() == b"ready"
        before = work_dirs()
        result = run(scriptless_tool, "--silent")
        assert result.code == 4
        assert set(work_dirs()) - set(before) == set()
        assert result.stdout == ""
    finally:
        out, _ = holder.communicate(b"done\n", timeout=60)
    assert holder.returncode == 0, "the first holder of the mutex was disturbed"
    # Once the first instance is gone, a new run gets past the guard.
    assert run(scriptless_tool, "--silent").code != 4


def test_second_instance_is_logged(scriptless_tool, log_since):
    holder = start(helper("hold_mutex"), MUTEX)
    try:
        assert holder.stdout.readline().strip() == b"ready"
        assert run(scriptless_tool).code == 4
    finally:
        holder.communicate(b"done\n", timeout=60)
    text = log_since()
    assert re.search(r" I: Run: Another instance is already running\r\n", text)


def test_without_administrator_rights_exits_3_before_any_working_directory(scriptless_tool):
    before = work_dirs()
    result = run(helper("run_restricted"), scriptless_tool, "--silent")
    assert result.code == 3, result
    assert "exit code: 3" in result.stdout
    assert set(work_dirs()) - set(before) == set()


def test_manifest_version_icon_and_data_read_back(tool):
    info = run(helper("resource_info"), tool).stdout
    manifest = info[info.index("manifest-begin"):info.index("manifest-end")]
    assert re.search(r'requestedExecutionLevel level="requireAdministrator" uiAccess="false"', manifest)
    assert "<dpiAware>True/PM</dpiAware>" in manifest
    assert re.search(r'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"', manifest)
    for os_id in ("35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                  "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"):
        assert os_id in manifest
    assert "fixed product 19.1.10" in info
    assert "version ProductVersion=19.1.10" in info
    icons = sorted(int(m) for m in re.findall(r"^icon (\d+) ", info, re.M))
    assert icons == [16, 32, 48, 256]
    for rcdata in (101, 102, 103):
        size = int(re.search(rf"^rcdata {rcdata}=(-?\d+)", info, re.M).group(1))
        assert size > 0, rcdata
