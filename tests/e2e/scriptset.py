"""Copies of the built tool carrying a chosen script archive (RCDATA 103), for end-to-end scenarios.

    exe = tool_with_scripts(tmp_path, {"omnivo.lua": "...", "lib/common.lua": "..."})
    result = run(exe, "--silent")
"""
import io
import zipfile
from pathlib import Path

from harness import TOOL, helper, run


def windows_path(path):
    """The Wine (Z: drive) form of a unix path."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def make_zip(entries, compression=zipfile.ZIP_DEFLATED):
    """ZIP bytes from {name: text or bytes} or a list of (name, content) pairs, in the given order.
    Names are stored exactly as given, so hostile names ("../x.lua") are possible."""
    items = entries.items() if isinstance(entries, dict) else entries
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", compression) as archive:
        for name, content in items:
            info = zipfile.ZipInfo(name)
            info.compress_type = compression
            archive.writestr(info, content.encode("utf-8") if isinstance(content, str) else content)
    return buffer.getvalue()


def tool_with_scripts(directory, scripts, name="UninstallationTool.exe", env=None):
    """A copy of the built tool in `directory` whose script archive is `scripts` (ZIP bytes, or a
    mapping/list for make_zip), made on the test prefix or the machine `env` names. Returns the
    copy's path."""
    directory = Path(directory)
    directory.mkdir(parents=True, exist_ok=True)
    archive = scripts if isinstance(scripts, (bytes, bytearray)) else make_zip(scripts)
    zip_path = directory / (name + ".scripts.zip")
    zip_path.write_bytes(archive)
    target = directory / name
    result = run(helper("replace_scripts"), windows_path(TOOL), windows_path(target), windows_path(zip_path), env=env)
    if result.code != 0:
        raise RuntimeError(f"replace_scripts failed ({result.code}): {result.stderr}")
    return target


def read_resource(exe, resource_id, directory):
    """The bytes of an RCDATA resource of `exe`."""
    out = Path(directory) / f"rcdata{resource_id}.bin"
    result = run(helper("replace_scripts"), "--dump", windows_path(exe), resource_id, windows_path(out))
    if result.code != 0:
        raise RuntimeError(f"replace_scripts --dump failed ({result.code}): {result.stderr}")
    return out.read_bytes()
