"""A snapshot of a Wine machine: registry (HKLM both views from system.reg, HKU from a live export),
the file tree of drive_c, the session's processes and the pending file operations.

Registry keys and file paths are compared case-insensitively: every map is keyed by the lower-case
Windows path and keeps the spelling it found.
"""
import os
import pathlib
import re
import subprocess
import tempfile

from . import winestart

_ESC = re.compile(r"\\(x[0-9a-fA-F]{1,4}|.)")
_ESC_MAP = {"n": "\n", "r": "\r", "t": "\t", "0": "\0", "\\": "\\", '"': '"'}


def _unescape(text):
    def one(m):
        s = m.group(1)
        if s[0] == "x" and len(s) > 1:
            return chr(int(s[1:], 16))
        return _ESC_MAP.get(s, s)
    return _ESC.sub(one, text)


def _split_quoted(line):
    """('name', rest) for a line starting with a quoted name; honours escapes."""
    i, out = 1, []
    while i < len(line):
        c = line[i]
        if c == "\\" and i + 1 < len(line):
            out.append(line[i:i + 2])
            i += 2
            continue
        if c == '"':
            return _unescape("".join(out)), line[i + 1:]
        out.append(c)
        i += 1
    return _unescape("".join(out)), ""


def _multi(text):
    """The strings of a multi-string; empty ones inside stay (pending operations pair a path with "")."""
    parts = text.split("\0")
    while parts and parts[-1] == "":
        parts.pop()
    return parts


def _decode_value(raw):
    """(type, data) of a value's text after '='. Data: str, int, list of str or bytes."""
    if raw.startswith('"'):
        return "sz", _split_quoted(raw)[0]
    if raw.startswith("str(2):"):
        return "expand", _split_quoted(raw[7:])[0]
    if raw.startswith("str(7):"):
        return "multi", _multi(_split_quoted(raw[7:])[0])
    if raw.startswith("dword:"):
        return "dword", int(raw[6:], 16)
    m = re.match(r"hex(?:\(([0-9a-f]+)\))?:(.*)", raw, re.S)
    if m:
        kind = int(m.group(1), 16) if m.group(1) else 3
        data = bytes(int(b, 16) for b in re.findall(r"[0-9a-fA-F]{2}", m.group(2)))
        if kind in (1, 2):
            return ("sz" if kind == 1 else "expand"), data.decode("utf-16-le", "replace").rstrip("\0")
        if kind == 7:
            return "multi", _multi(data.decode("utf-16-le", "replace"))
        if kind == 4 and len(data) == 4:
            return "dword", int.from_bytes(data, "little")
        return "binary", data
    return "other", raw


def parse_reg(text, root, wine_format):
    """{lower key: (key, {lower name: (name, type, data)})} of a Wine hive file (keys relative to
    `root`, separators doubled) or a regedit export (absolute keys)."""
    keys = {}
    current = None
    pending = ""
    for line in text.splitlines():
        if pending:
            line = pending + line.strip()
            pending = ""
        if line.endswith("\\") and not line.startswith("["):
            pending = line[:-1]
            continue
        if line.startswith("["):
            end = line.rfind("]")
            name = line[1:end]
            name = name.replace("\\\\", "\\") if wine_format else name
            if wine_format:
                name = _unescape(name.replace("\\", "\\\\")) if "\\x" in name else name
                name = f"{root}\\{name}"
            current = keys.setdefault(name.lower(), (name, {}))[1]
            continue
        if current is None or not line or line[0] in "#;":
            continue
        if line.startswith("@="):
            vname, rest = "", line[1:]
        elif line.startswith('"'):
            vname, rest = _split_quoted(line)
        else:
            continue
        if not rest.startswith("="):
            continue
        vtype, data = _decode_value(rest[1:])
        current[vname.lower()] = (vname, vtype, data)
    return keys


def import_reg(prefix, path, env=None):
    """Imports a .reg file into the running session; True when regedit took it."""
    windows_path = "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")
    return winestart.run(prefix, "regedit", "/s", windows_path, env=env).returncode == 0


def export_hku(prefix):
    """HKU of the running session (Wine keeps HKU\\S-1-5-18 and friends in memory only)."""
    with tempfile.TemporaryDirectory() as tmp:
        out = pathlib.Path(tmp) / "hku.reg"
        winestart.run(prefix, "regedit", "/e", "Z:" + str(out).replace("/", "\\"), "HKEY_USERS")
        if not out.exists():
            return {}
        raw = out.read_bytes()
        text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("utf-8", "replace")
    keys = parse_reg(text, "", wine_format=False)
    return {k.replace("hkey_users\\", "hku\\", 1): (v[0].replace("HKEY_USERS\\", "HKU\\", 1), v[1])
            for k, v in keys.items() if k.startswith("hkey_users\\")}


def read_hklm(prefix):
    """HKLM from system.reg: call with the machine's server stopped (it writes the file when it ends)."""
    text = (pathlib.Path(prefix) / "system.reg").read_text("utf-8", "replace")
    return parse_reg(text, "HKLM", wine_format=True)


def walk_files(prefix):
    """{lower Windows path: (path, kind, size)} for drive_c; kind f (file), d (folder), l (link)."""
    root = pathlib.Path(prefix) / "drive_c"
    out = {}
    for dirpath, dirnames, filenames in os.walk(root, followlinks=False):
        rel = os.path.relpath(dirpath, root)
        base = "C:" if rel == "." else "C:\\" + rel.replace("/", "\\")
        for d in list(dirnames):
            p = f"{base}\\{d}"
            full = os.path.join(dirpath, d)
            if os.path.islink(full):
                out[p.lower()] = (p, "l", 0)
                dirnames.remove(d)
            else:
                out[p.lower()] = (p, "d", 0)
        for f in filenames:
            p = f"{base}\\{f}"
            full = os.path.join(dirpath, f)
            try:
                size = os.lstat(full).st_size
            except OSError:
                size = 0
            out[p.lower()] = (p, "l" if os.path.islink(full) else "f", size)
    return out


def processes(prefix):
    """{lower image path: image path} of the live (not zombie) processes of the machine's session."""
    marker = f"WINEPREFIX={prefix}".encode()
    out = {}
    for entry in pathlib.Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            environ = (entry / "environ").read_bytes()
            if marker not in environ.split(b"\0"):
                continue
            state = (entry / "stat").read_text().rsplit(")", 1)[1].split()[0]
            cmdline = (entry / "cmdline").read_bytes().split(b"\0")[0].decode("utf-8", "replace")
        except OSError:
            continue
        if state == "Z" or len(cmdline) < 3 or cmdline[1:3] != ":\\":
            continue
        out[cmdline.lower()] = cmdline
    return out


class Snapshot:
    """Registry (one map for HKLM and HKU), files, processes."""

    def __init__(self, registry, files, procs):
        self.registry, self.files, self.processes = registry, files, procs

    @classmethod
    def take(cls, prefix, running):
        """Processes and HKU are read live when the machine runs; HKLM needs its server stopped, so a
        running machine is stopped first (the caller starts it again when it needs to)."""
        prefix = pathlib.Path(prefix)
        procs = processes(prefix) if running else {}
        registry = export_hku(prefix) if running else {}
        if running:
            stop_server(prefix)
        registry.update(read_hklm(prefix))
        return cls(registry, walk_files(prefix), procs)

    def value(self, key, name):
        entry = self.registry.get(key.lower())
        return entry[1].get(name.lower()) if entry else None

    def pending_renames(self):
        v = self.value(r"HKLM\System\CurrentControlSet\Control\Session Manager", "PendingFileRenameOperations")
        return list(v[2]) if v and isinstance(v[2], (list, tuple)) else []


def stop_server(prefix):
    env = winestart.wine_env(prefix)
    subprocess.run(["wineserver", "-k"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=60)
    subprocess.run(["wineserver", "-w"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=60)
