#!/usr/bin/env python3
"""Builds the reference machine: a Wine prefix holding the Quorvel family as family.py lists it.

    python3 -m tools.refmachine.build <build dir> [--sections all|a,b] [--variant normal|failing] [--force]

(from the source root, as every tool of this package runs)

Prints the template folder. The template lives in <build dir>/refmachine/<key> (key = sections,
variant and a hash of the inputs) and is reused while the inputs are unchanged; a machine is a
copy of its `prefix` folder (prefixcopy.py; see tests/e2e/refmachine.py). The template holds files only: HKU
rows (`session.reg`) are imported, and user-session programs started, each time a copy starts.
"""
import argparse
import fcntl
import hashlib
import json
import pathlib
import shutil
import subprocess
import time

from . import family, snapshot, winestart
from .msipackage import build_msi

HERE = pathlib.Path(__file__).resolve().parent

SOURCE_DIR = HERE.parents[1]

# Registry roots of family.py → physical key below HKLM / HKU (the 32-bit view is Wow6432Node).
def physical(root, key):
    if root == "HKLM/32":
        if key.upper().startswith("SOFTWARE\\CLASSES\\"):
            return "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\" + key[len("SOFTWARE\\Classes\\"):]
        return "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\" + key[len("SOFTWARE\\"):]
    if root in ("HKLM/64", "HKLM"):
        return "HKEY_LOCAL_MACHINE\\" + key
    if root == "HKCR/64":
        return "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\" + key
    if root == "HKU":
        return "HKEY_USERS\\" + key
    raise ValueError(root)


def snapshot_key(root, key):
    """The key as the snapshot names it (HKLM\\… / HKU\\…)."""
    return physical(root, key).replace("HKEY_LOCAL_MACHINE", "HKLM", 1).replace("HKEY_USERS", "HKU", 1)


def split_item_key(path):
    root, _, key = path.partition("\\")
    return root, key


def service_values(item):
    type_, start, image, display, _subkeys, extra = item.attrs
    values = [("Type", type_, "dword"), ("Start", start, "dword"), ("ErrorControl", 1, "dword"),
              ("ImagePath", image, "expand")]
    if display:
        values.append(("DisplayName", display, "sz"))
    if type_ == 0x10:
        values.append(("ObjectName", "LocalSystem", "sz"))
    values += [(n, v, "dword" if isinstance(v, int) else "sz") for n, v in extra]
    return values


def registry_rows(items):
    """{physical key: [(name, data, type)]} of the items written straight into the registry."""
    rows = {}
    for item in items:
        if item.kind == "value":
            root, key = split_item_key(item.path)
            rows.setdefault(physical(root, key), []).append((item.name, item.data, item.type))
        elif item.kind == "key":
            root, key = split_item_key(item.path)
            rows.setdefault(physical(root, key), [])
        elif item.kind == "service":
            base = physical("HKLM", rf"{family.SVC}\{item.path}")
            rows.setdefault(base, []).extend(service_values(item))
            for sub in item.attrs[4]:
                rows.setdefault(base + "\\" + sub, [])
        elif item.kind == "msi" and not family.MSI_BY_REF[item.path].real:
            for root, key, name, data in family.installer_rows(family.MSI_BY_REF[item.path]):
                rows.setdefault(physical(root, key), []).append((name, data, "sz"))
    return rows


def _reg_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def _hex(data):
    return ",".join(f"{b:02x}" for b in data)


def reg_file_text(rows):
    lines = ["Windows Registry Editor Version 5.00", ""]
    for key, values in rows.items():
        lines.append(f"[{key}]")
        for name, data, type_ in values:
            n = "@" if name == "" else _reg_string(name)
            if type_ == "sz":
                lines.append(f"{n}={_reg_string(data)}")
            elif type_ == "expand":
                lines.append(f"{n}=hex(2):{_hex((data + chr(0)).encode('utf-16-le'))}")
            elif type_ == "dword":
                lines.append(f"{n}=dword:{data:08x}")
            elif type_ == "binary":
                lines.append(f"{n}=hex:{_hex(data)}")
            elif type_ == "multi":
                multi = chr(0).join(data) + chr(0) * 2
                lines.append(f"{n}=hex(7):{_hex(multi.encode('utf-16-le'))}")
        lines.append("")
    return "\r\n".join(lines) + "\r\n"


def write_reg(path, rows):
    """A .reg file regedit imports with its hex(2)/hex(7) data taken as UTF-16 (so: a UTF-16 file)."""
    pathlib.Path(path).write_bytes(b"\xff\xfe" + reg_file_text(rows).encode("utf-16-le"))


def unix_path(prefix, windows_path):
    """The file of a Windows path in the prefix, matching existing components case-insensitively."""
    assert windows_path[1:3] == ":\\", windows_path
    current = pathlib.Path(prefix) / "drive_c"
    for part in windows_path[3:].split("\\"):
        match = None
        if current.is_dir():
            lower = part.lower()
            match = next((c for c in current.iterdir() if c.name.lower() == lower), None)
        current = match if match is not None else current / part
    return current


def inputs_hash(build_dir):
    h = hashlib.sha256()
    # What shapes the template (the audit does not).
    for path in [HERE / n for n in ("family.py", "build.py", "msipackage.py", "snapshot.py", "package.wxs")]:
        h.update(path.read_bytes())
    for exe in ("product_stub.exe", "make_device.exe"):
        h.update((pathlib.Path(build_dir) / exe).read_bytes())
    return h.hexdigest()[:12]


def template_dir(build_dir, sections="all", variant="normal"):
    chosen = family.parse_sections(sections)
    name = "all" if chosen == list(family.SECTIONS) else "+".join(s for s in chosen if s != "baseline")
    return pathlib.Path(build_dir) / "refmachine" / f"{name}-{variant}-{inputs_hash(build_dir)}"


def wine(prefix, *args, check=True, timeout=300):
    proc = winestart.run(prefix, *args, timeout=timeout)
    if check and proc.returncode != 0:
        raise RuntimeError(f"wine {args} failed ({proc.returncode}): {proc.stderr.decode(errors='replace')[-800:]}")
    return proc


def zpath(path):
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


def write_files(prefix, items, stub):
    for item in items:
        if item.kind not in ("dir", "link", "file"):
            continue
        target = unix_path(prefix, item.path)
        if item.kind == "dir":
            target.mkdir(parents=True, exist_ok=True)
        elif item.kind == "link":
            target.parent.mkdir(parents=True, exist_ok=True)
            if not target.is_symlink():
                target.symlink_to(unix_path(prefix, item.data))
        elif item.kind == "file" and item.created_by is None:
            target.parent.mkdir(parents=True, exist_ok=True)
            if family.stub_exe(item):
                shutil.copyfile(stub, target)
            else:
                content = item.data if item.data is not None else f"{item.path}\r\n"
                target.write_bytes(content.encode() if isinstance(content, str) else content)


def build_package(product, workdir, stub, failing):
    """A real MSI package of an Installer product (x86, per machine), built with wixl."""
    workdir.mkdir(parents=True, exist_ok=True)
    dirs, comps = {}, []
    for i, (cref, path) in enumerate(product.components):
        parts = path.split("\\")
        assert "\\".join(parts[:2]).lower() == r"c:\program files (x86)", path
        folder = parts[2:-1]
        payload = workdir / f"payload{i}{pathlib.Path(parts[-1]).suffix}"
        if parts[-1].lower().endswith(".exe"):
            shutil.copyfile(stub, payload)
        else:
            payload.write_text(f"{path}\r\n")
        comps.append((f"C{i}", family.GUIDS[cref], folder, parts[-1], payload.name))
        node = dirs
        for f in folder:
            node = node.setdefault(f, {})
        node.setdefault("__comps__", []).append(f"C{i}")

    counter = [0]

    def emit(node, indent):
        out = []
        for name, child in node.items():
            if name == "__comps__":
                continue
            counter[0] += 1
            out.append(f'{indent}<Directory Id="D{counter[0]}" Name="{name}">')
            for cid in child.get("__comps__", []):
                _, guid, _, fname, payload = next(c for c in comps if c[0] == cid)
                out.append(f'{indent}  <Component Id="{cid}" Guid="{guid}">')
                out.append(f'{indent}    <File Id="F{cid}" Name="{fname}" Source="{payload}" KeyPath="yes"/>')
                out.append(f'{indent}  </Component>')
            out += emit(child, indent + "  ")
            out.append(f"{indent}</Directory>")
        return out

    features = "\n".join(
        f'    <Feature Id="{f}" Level="1">' + "".join(f'<ComponentRef Id="{c[0]}"/>' for c in comps) + "</Feature>"
        for f in product.features)
    wxs = (SOURCE_DIR / "tools" / "refmachine" / "package.wxs").read_text()
    wxs = (wxs.replace("@PRODUCT@", family.GUIDS[product.ref]).replace("@UPGRADE@", family.GUIDS[product.upgrade])
           .replace("@NAME@", product.name).replace("@PUBLISHER@", product.publisher)
           .replace("@DIRS@", "\n".join(emit(dirs, "      "))).replace("@FEATURES@", features))
    source = workdir / "package.wxs"
    source.write_text(wxs)
    return build_msi(source, workdir / f"{product.ref}.msi", workdir,
                     refuse_removal=("QvRefuseRemoval", "Removal refused") if failing else None)


def start_session(prefix, attempts=2):
    """Starts (creating once) the prefix's Wine session. On a loaded machine the creation of a
    fresh prefix now and then fails; the half-made prefix is stopped and made once more."""
    for attempt in range(attempts):
        done = subprocess.run(["bash", str(SOURCE_DIR / "tools" / "wine-prefix"), str(prefix), "start"],
                              env=winestart.wine_env(prefix), stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
        if done.returncode == 0:
            return
        snapshot.stop_server(prefix)
        if attempt + 1 == attempts:
            raise subprocess.CalledProcessError(done.returncode, done.args)


def build(build_dir, sections="all", variant="normal", force=False, log=print):
    """The template's folder, built first when missing (one builder at a time per build tree)."""
    build_dir = pathlib.Path(build_dir).resolve()
    target = template_dir(build_dir, sections, variant)
    target.parent.mkdir(parents=True, exist_ok=True)
    with open(target.parent / ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if (target / "manifest.json").exists() and not force:
            return target
        try:
            return _build(build_dir, target, sections, variant, log)
        except BaseException:
            # No Wine session of a half-built prefix outlives the attempt.
            part = target.with_name(target.name + ".part") / "prefix"
            if part.exists():
                snapshot.stop_server(part)
            raise


def _build(build_dir, target, sections, variant, log):
    started = time.monotonic()
    work = target.with_name(target.name + ".part")
    shutil.rmtree(work, ignore_errors=True)
    prefix = work / "prefix"
    items = family.select(sections, variant)
    stub = build_dir / "product_stub.exe"
    log(f"refmachine: building {target.name} ({len(items)} items)")
    start_session(prefix)
    snapshot.stop_server(prefix)
    # What the fresh prefix already holds: the audit never expects those folders and keys to go.
    fresh = sorted(set(snapshot.read_hklm(prefix)) | {k for k, v in snapshot.walk_files(prefix).items() if v[1] == "d"})
    (work / "fresh.json").write_text(json.dumps(fresh))
    start_session(prefix)
    write_files(prefix, items, stub)

    rows = registry_rows(items)
    machine = {k: v for k, v in rows.items() if not k.startswith("HKEY_USERS\\")}
    session = {k: v for k, v in rows.items() if k.startswith("HKEY_USERS\\")}
    write_reg(work / "machine.reg", machine)
    write_reg(work / "session.reg", session)
    wine(prefix, "regedit", "/s", zpath(work / "machine.reg"))

    devices = [i for i in items if i.kind == "device"]
    if devices:
        args = [a for d in devices for a in (d.name, d.path, d.data or "-")]
        wine(prefix, build_dir / "make_device.exe", *args)

    # Real packages: installed by msiexec after the planted rows, so a shared component sees its
    # other client. Whatever the Installer writes besides the listed rows is recorded per product.
    footprint = {}
    for item in items:
        if item.kind != "msi" or not family.MSI_BY_REF[item.path].real:
            continue
        product = family.MSI_BY_REF[item.path]
        msi = build_package(product, work / "packages" / product.ref, stub, variant == "failing")
        snapshot.stop_server(prefix)
        before = snapshot.walk_files(prefix)
        start_session(prefix)
        proc = wine(prefix, "msiexec", "/i", zpath(msi), "/qn", check=False)
        if proc.returncode != 0:
            raise RuntimeError(f"msiexec /i {product.ref} gave {proc.returncode}")
        snapshot.stop_server(prefix)
        after = snapshot.walk_files(prefix)
        footprint[product.ref] = sorted(after[k][0] for k in after.keys() - before.keys() if after[k][1] == "f")
        start_session(prefix)
    snapshot.stop_server(prefix)
    shutil.rmtree(work / "packages", ignore_errors=True)
    manifest = {"sections": family.parse_sections(sections), "variant": variant, "installer_files": footprint,
                "seconds": round(time.monotonic() - started, 1)}
    (work / "manifest.json").write_text(json.dumps(manifest, indent=1))
    shutil.rmtree(target, ignore_errors=True)
    work.rename(target)
    # Templates made from other inputs are no longer used.
    digest = target.name.rsplit("-", 1)[1]
    for old in target.parent.iterdir():
        if old.is_dir() and old.name.rsplit("-", 1)[-1] != digest:
            shutil.rmtree(old, ignore_errors=True)
    log(f"refmachine: built {target} in {manifest['seconds']} s")
    return target


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build_dir")
    parser.add_argument("--sections", default="all")
    parser.add_argument("--variant", default="normal", choices=family.VARIANTS)
    parser.add_argument("--force", action="store_true")
    args = parser.parse_args()
    print(build(args.build_dir, args.sections, args.variant, args.force))


if __name__ == "__main__":
    main()
