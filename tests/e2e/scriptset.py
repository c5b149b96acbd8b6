"""Copies of the built tool carrying a chosen script archive (RCDATA 103), for end-to-end scenarios.

    exe = tool_with_scripts(tmp_path, {"omnivo.lua": "...", "lib/common.lua": "..."})
    result = run_wine(exe, ["--silent"])
"""
import io
import os
import subprocess
import zipfile
from pathlib import Path

BUILD_DIR = Path(os.environ.get("QV_BUILD_DIR", Path(__file__).resolve().parents[2] / "build"))
TOOL = BUILD_DIR / "UninstallationTool.exe"
REPLACER = BUILD_DIR / "replace_scripts.exe"


def windows_path(path):
    """The Wine (Z: drive) form of a unix path."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def wine_env(extra=None):
    env = dict(os.environ)
    env.setdefault("WINEPREFIX", str(BUILD_DIR / "wineprefix"))
    env.setdefault("WINEDEBUG", "-all")
    env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
    env.update(extra or {})
    return env


def run_wine(exe, args=(), env=None, timeout=120):
    """Runs a Windows program under Wine; stdout/stderr captured as text."""
    return subprocess.run(["wine", str(exe), *args], env=wine_env(env), stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=timeout, text=True, encoding="utf-8", errors="replace")


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


def tool_with_scripts(directory, scripts, name="UninstallationTool.exe"):
    """A copy of the built tool in `directory` whose script archive is `scripts` (ZIP bytes, or a
    mapping/list for make_zip). Returns the copy's path."""
    directory = Path(directory)
    directory.mkdir(parents=True, exist_ok=True)
    archive = scripts if isinstance(scripts, (bytes, bytearray)) else make_zip(scripts)
    zip_path = directory / (name + ".scripts.zip")
    zip_path.write_bytes(archive)
    target = directory / name
    result = run_wine(REPLACER, [windows_path(TOOL), windows_path(target), windows_path(zip_path)])
    if result.returncode != 0:
        raise RuntimeError(f"replace_scripts failed ({result.returncode}): {result.stderr}")
    return target


def read_resource(exe, resource_id, directory):
    """The bytes of an RCDATA resource of `exe`."""
    out = Path(directory) / f"rcdata{resource_id}.bin"
    result = run_wine(REPLACER, ["--dump", windows_path(exe), str(resource_id), windows_path(out)])
    if result.returncode != 0:
        raise RuntimeError(f"replace_scripts --dump failed ({result.returncode}): {result.stderr}")
    return out.read_bytes()
