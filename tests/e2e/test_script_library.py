"""The shared script library and the harbex command splitter, run through the tool's own script
state on folders and registry keys of the test machine."""
import os
import shutil

import pytest

from harness import DRIVE_C, run
from scripthost import lua, lua_list, lua_string


def test_path_gate_accepts_only_absolute_plain_paths_inside_a_quorvel_folder():
    # (function, arguments, accepted result or "" when refused). A component Windows rewrites (".",
    # "..", a trailing dot or space, "/") is refused wherever it is: the text would still show the
    # brand folder while the path names the folder above it, or a shared folder's parent.
    cases = [
        ("SafePath", ["what", "C:\\Users\\Public\\Desktop", "..\\..\\..\\Windows\\win.ini"], ""),
        ("SafePath", ["what", "C:\\ProgramData", "Quorvel "], ""),
        ("SafePath", ["what", "C:\\ProgramData", "Quorvel.", "Log"], ""),
        ("SafePath", ["what", "C:\\ProgramData", "Quorvel/../Windows"], ""),
        ("SafePath", ["what", "C:\\ProgramData", "v1.2 x", "a.lnk"], "C:\\ProgramData\\v1.2 x\\a.lnk"),
        ("SafeInstallPath", ["C:\\Program Files (x86)\\Quorvel\\.."], ""),
        ("SafeInstallPath", ["C:\\Quorvel\\..\\Windows"], ""),
        ("SafeInstallPath", ["C:\\Quorvel\\ "], ""),
        ("SafeInstallPath", ["C:\\Program Files (x86)\\Quorvel \\Harbex"], ""),
        ("SafeInstallPath", ["C:\\Quorvel\\.\\Harbex"], ""),
        ("SafeInstallPath", ["C:\\Quorvel\\Tunnel SDK 3.1"], "C:\\Quorvel\\Tunnel SDK 3.1"),
        ("SafePath", ["what", ""], ""),
        ("SafePath", ["what", "", "Quorvel"], ""),
        ("SafePath", ["what", "relative", "Quorvel"], ""),
        ("SafePath", ["what", "\\Users", "x"], ""),
        ("SafePath", ["what", "C:\\ProgramData", "Quorvel", "Log"], "C:\\ProgramData\\Quorvel\\Log"),
        ("SafePath", ["what", "C:\\Windows\\"], "C:\\Windows\\"),
        ("SafeInstallPath", [""], ""),
        ("SafeInstallPath", ["Quorvel\\Harbex"], ""),
        ("SafeInstallPath", ["C:\\"], ""),
        ("SafeInstallPath", ["C:\\Program Files (x86)"], ""),
        ("SafeInstallPath", ["C:\\Windows"], ""),
        ("SafeInstallPath", ["C:\\quorvel"], ""),
        ("SafeInstallPath", ["C:\\Program Files (x86)\\Quorvel"], ""),
        ("SafeInstallPath", ["C:\\Program Files (x86)\\QuorvelX\\Harbex"], ""),
        ("SafeInstallPath", ["C:\\Program Files (x86)\\Quorvel\\X"], "C:\\Program Files (x86)\\Quorvel\\X"),
        ("SafeInstallPath", ["d:\\apps\\QUORVEL\\Passkeep"], "d:\\apps\\QUORVEL\\Passkeep"),
    ]
    calls = ",".join(f"lib_common.{f}({','.join(lua_string(a) for a in args)})" for f, args, _ in cases)
    got = lua("lib_common.lua", "return {" + calls + "}")
    assert got == [expected for _, _, expected in cases]


@pytest.fixture
def folder():
    root = DRIVE_C / f"qv_except_{os.getpid()}"
    root.mkdir()
    yield root
    shutil.rmtree(root, ignore_errors=True)


# Windows compares names without case: the logger reuses the log folder in whatever case exists.
@pytest.mark.parametrize("excepted", ["UninstallationTool", "uninstallationtool", "UNINSTALLATIONTOOL"])
def test_remove_recursive_except_folder_keeps_the_excepted_folder_whole(folder, excepted):
    # (path below the folder, survives)
    layout = [
        ("stray.txt", False),
        ("app.log", False),
        ("UninstallationTool\\UninstallationTool.log", True),
        ("UninstallationTool\\old\\UninstallationTool.1.log", True),
        ("Omnivo\\omnivo.log", False),
        ("Omnivo\\deep\\crash.dmp", False),
        ("UninstallationToolOld\\x.log", False),
        ("Empty", False),
    ]
    for path, _ in layout:
        target = folder.joinpath(*path.split("\\"))
        if "." in target.name:
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_text(path)
        else:
            target.mkdir(parents=True, exist_ok=True)
    path = lua_string("C:\\" + folder.name)
    lua("lib_common.lua", f"return lib_common.RemoveRecursiveExceptFolder({path}, {lua_string(excepted)})")
    assert [(p, folder.joinpath(*p.split("\\")).exists()) for p, _ in layout] == layout
    assert folder.is_dir()


def test_names_joined_under_shared_folders_must_be_plain_relative_names():
    # (name, options, accepted): what a damaged shortcut or display-name value must not do is climb
    # out of the shared folder, name the shared folder itself, or name another kind of file.
    lnk, single = "{extension = '.lnk'}", "{single = true}"
    cases = [
        ("Quorvel Omnivo\\Quorvel Support Tool.LNK", lnk, True),
        ("Quorvel Service Agent", "nil", True),
        ("Quorvel Harbex 5.6", single, True),
        ("..\\..\\..\\Windows\\win.ini", "nil", False),
        (".\\x.lnk", lnk, False),
        ("C:\\Windows\\x.lnk", lnk, False),
        ("C:x.lnk", lnk, False),
        ("\\Windows\\x.lnk", lnk, False),
        ("Quorvel/../../x.lnk", lnk, False),
        ("Quorvel\\\\x.lnk", lnk, False),
        ("Quorvel \\x.lnk", lnk, False),
        ("x.lnk ", lnk, False),
        (" ", "nil", False),
        ("win.ini", lnk, False),
        ("Quorvel Harbex\\Sub", single, False),
        ("..", single, False),
    ]
    calls = ",".join(f"lib_common.SafeRelativeName('v', {lua_string(n)}, {o})" for n, o, _ in cases)
    got = lua("lib_common.lua", "return {" + calls + "}")
    assert got == [n if accepted else "" for n, _, accepted in cases]


@pytest.fixture
def scratch_branch():
    branch = f"SOFTWARE\\QvTest\\prefix_{os.getpid()}"
    yield branch
    run("reg", "delete", f"HKLM\\{branch}", "/f", "/reg:64")


def test_sub_branches_go_only_when_their_name_begins_with_the_prefix(scratch_branch):
    # (sub-branch, survives): the prefix is matched case-sensitively at the start of the name only.
    names = [
        ("QuorvelHarbex", False),
        ("QuorvelHarbexUpdater", False),
        ("quorvelharbexold", True),
        ("QuorvelHarbe", True),
        ("OldQuorvelHarbex", True),
        ("ExampleVendorApp", True),
    ]
    for name, _ in names:
        assert run("reg", "add", f"HKLM\\{scratch_branch}\\{name}\\Sub", "/v", "v", "/d", name, "/f", "/reg:64").code == 0
    branch = lua_string(scratch_branch)
    got = lua("lib_common.lua",
              f"lib_common.DeleteRegBranchSubKeysIfKeyBeginsWith(HKLM, {branch}, KEY_WOW64_64KEY, 'QuorvelHarbex') "
              f"local t = {{}} for _, n in ipairs({lua_list([n for n, _ in names])}) do "
              f"t[#t + 1] = tostring(Reg.BranchExists(HKLM, {branch} .. '\\092' .. n, KEY_WOW64_64KEY)) end return t")
    assert list(zip([n for n, _ in names], got)) == [(n, str(s).lower()) for n, s in names]


@pytest.fixture
def uninstaller_folder():
    root = DRIVE_C / f"qv split {os.getpid()}"
    root.mkdir()
    for name in ("my app.exe", "Un install"):
        (root / name).write_bytes(b"")
    yield "C:\\" + root.name
    shutil.rmtree(root, ignore_errors=True)


def test_uninstall_command_is_split_into_program_and_arguments(uninstaller_folder):
    here = uninstaller_folder
    # (UninstallString, executable, arguments)
    cases = [
        ('"C:\\Program Files (x86)\\Quorvel\\Harbex\\HarbexUninstall.exe" /quiet',
         "C:\\Program Files (x86)\\Quorvel\\Harbex\\HarbexUninstall.exe", "/quiet"),
        ('  "C:\\a b\\u.exe"   /quiet  /norestart ', "C:\\a b\\u.exe", "/quiet  /norestart"),
        ('"C:\\a b\\u.exe"', "C:\\a b\\u.exe", ""),
        ('"C:\\a b\\u.exe /quiet', "C:\\a b\\u.exe /quiet", ""),
        ("C:\\Quorvel\\u.exe /quiet", "C:\\Quorvel\\u.exe", "/quiet"),
        ("C:\\Quorvel\\U.EXE", "C:\\Quorvel\\U.EXE", ""),
        ("C:\\old.exe.d\\u.exe -s", "C:\\old.exe.d\\u.exe", "-s"),
        ("C:\\Quorvel\\uninstall /q", "C:\\Quorvel\\uninstall /q", ""),
        (f"{here}\\my app.exe", f"{here}\\my app.exe", ""),
        (f"{here}\\Un install", f"{here}\\Un install", ""),
        (f"{here}\\my app.exe --all", f"{here}\\my app.exe", "--all"),
        ("", "", ""),
    ]
    chunk = (f"local t = {{}} for _, c in ipairs({lua_list([c for c, _, _ in cases])}) do "
             "local e, a = SplitUninstallCommand(c) t[#t + 1] = '<' .. e .. '|' .. a .. '>' end return t")
    assert lua("harbex.lua", chunk) == [f"<{e}|{a}>" for _, e, a in cases]
