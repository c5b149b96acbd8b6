"""The FileSystem module in a silent run of the real tool: an injected script uses it end to end on
real folders of the test machine, including a link on the way and a relative path it must refuse."""
import os
import shutil

import pytest

from harness import DRIVE_C, run
from scriptset import tool_with_scripts

SCRIPT = r"""
function GetProductId() return "fs" end
function GetProductDisplayName() return "FS" end
function DetectProduct() return true end

local root = [[C:\%(root)s]]
local function check(ok, what)
  if not ok then Log.Error('check failed: ' .. what) Meta.SetFailed() end
end

function CleanupProduct()
  local made = FileSystem.MakePath(root, [[made\deeper]])
  check(FileSystem.MkDir(made), 'MkDir')
  local copy = FileSystem.MakePath(made, 'copy.txt')
  check(FileSystem.CopyFile(FileSystem.MakePath(root, 'src.txt'), copy), 'CopyFile')
  check(FileSystem.IsFile(copy) and FileSystem.ContainsFiles(made), 'IsFile/ContainsFiles')
  check(FileSystem.SplitPath(copy)[1] == made, 'SplitPath')
  local names = FileSystem.ListDirectory(root, ListDir_Directories)
  table.sort(names)
  check(table.concat(names, ',') == 'linked,made,tree', 'ListDirectory: ' .. table.concat(names, ','))
  check(FileSystem.GetSpecialPath(SpecialPath_Windows):lower() == [[c:\windows]], 'GetSpecialPath')
  check(FileSystem.RemoveRecursive(FileSystem.MakePath(root, 'tree')), 'RemoveRecursive')
  check(FileSystem.DeleteFileAndParent(copy), 'DeleteFileAndParent')
  check(not FileSystem.DeleteFile(FileSystem.MakePath(root, [[linked\keep.txt]])), 'link on the way')
  check(not FileSystem.RemoveRecursive(FileSystem.MakePath(FileSystem.GetSpecialPath(12), 'made')), 'relative')
  check(not FileSystem.HasPendingFileOperation(root), 'HasPendingFileOperation')
  Log.Info('filesystem checks done')
  return true
end
"""


@pytest.fixture
def layout():
    name = f"qvfs_e2e_{os.getpid()}"
    root, target = DRIVE_C / name, DRIVE_C / (name + "_target")
    for folder in (root / "tree" / "sub", target):
        folder.mkdir(parents=True)
    (root / "src.txt").write_text("source")
    (root / "tree" / "sub" / "a.txt").write_text("a")
    (target / "keep.txt").write_text("keep")
    (root / "linked").symlink_to(target, target_is_directory=True)
    yield name, root, target
    shutil.rmtree(root, ignore_errors=True)
    shutil.rmtree(target, ignore_errors=True)


def test_script_uses_the_module_end_to_end(tmp_path, layout, log_since):
    name, root, target = layout
    exe = tool_with_scripts(tmp_path, {"fs.lua": SCRIPT % {"root": name}})
    result = run(exe, "--silent")
    text = log_since()
    assert result.code == 0, text
    assert "filesystem checks done" in text and "check failed" not in text, text
    assert not (root / "tree").exists()
    assert (root / "made").is_dir() and not (root / "made" / "deeper").exists()
    assert (root / "src.txt").read_text() == "source"
    assert (target / "keep.txt").read_text() == "keep", "the folder behind the link keeps its files"
    assert f"Refusing 'C:\\{name}\\linked\\keep.txt': 'C:\\{name}\\linked' on the way is a link" in text
    assert "Refusing 'made': not an absolute path" in text
