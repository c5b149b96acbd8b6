"""tools/check-imports on real executables of the build: the tool passes, a program importing a
library that is not a KnownDLL is refused with the library and its functions named."""
import subprocess
import sys

import pytest

from harness import BUILD_DIR, SOURCE_DIR, TOOL, helper

CHECK = SOURCE_DIR / "tools" / "check-imports"


@pytest.mark.parametrize("program, code, refused", [
    (TOOL, 0, []),
    # A test helper may import version.dll; the check must see it among the KnownDLLs it also imports.
    (helper("resource_info"), 1,
     ["VERSION.dll (not a KnownDLL): GetFileVersionInfoSizeW GetFileVersionInfoW VerQueryValueW"]),
    (BUILD_DIR / "no-such-program.exe", 2, []),
])
def test_only_known_dlls_pass(program, code, refused):
    result = subprocess.run([sys.executable, str(CHECK), str(program)], capture_output=True, text=True)
    assert result.returncode == code, result.stderr
    assert [line.split(": imports ", 1)[1] for line in result.stdout.splitlines() if ": imports " in line] == refused
    if code == 0:
        # The import table was read, not found empty.
        assert "KERNEL32.dll" in result.stdout
