#!/usr/bin/env python3
"""Audits a reference machine: every item of family.py present or gone as the removed products say,
and nothing else changed between two snapshots.

    python3 -m tools.refmachine.audit <template dir> <before.json> <after.json> [--removed omnivo,logs] [--json out.json]
    python3 -m tools.refmachine.audit <template dir> --check <prefix>    (a stopped machine as built: all present)
    python3 -m tools.refmachine.audit <template dir> --snapshot <prefix> <out.json>   (of a running machine; stops it)

tests/e2e/refmachine.py (Machine.audit) does all of it for scenarios.
Exit status 0 when the machine is as expected, 1 otherwise.
"""
import argparse
import json
import pathlib
import sys
from dataclasses import dataclass, field

from . import build as builder
from . import family, snapshot

# Wine's own churn between two snapshots of one machine, whatever ran: keep short and explicit.
CHURN_PREFIXES = (
    "hklm\\system\\currentcontrolset\\control\\session manager\\environment",  # wineboot rewrites it
    "hklm\\software\\microsoft\\windows nt\\currentversion\\perflib",
    "hklm\\system\\currentcontrolset\\control\\deviceclasses",
    "hklm\\hardware",
    "hklm\\system\\currentcontrolset\\control\\class",  # display driver dates
    "hklm\\software\\wine",
    "hku\\s-1-5-21-0-0-0-1000",  # the user's own hive (the tool's Wine session writes MRU, fonts, …)
    "hku\\.default",
    "c:\\users\\root\\temp",  # the tool's working directories
    "c:\\windows\\temp",
    "c:\\windows\\installer",  # the Installer's package cache: created with the first package, kept
)
# Folders and keys the run may create and keep: the tool's own log, the Installer's logs.
ALLOWED_NEW = (family.TOOL_LOG_DIR.lower(), family.D.lower(), family.D.lower() + "\\log")
WINE_PROCESS_ROOT = "c:\\windows\\"


@dataclass
class Check:
    kind: str      # registry | files | services | processes | devices | installer
    path: str      # lower-case snapshot key: "key" or "key :: value", a file path, an image path
    label: str
    expect: str    # present | gone | appears | either
    item: object = None
    note: str = ""


def _value_path(key, name):
    return f"{key.lower()} :: {name.lower()}"


def checks_for(items, removed, manifest):
    """The checks each item asks for, given the removed product ids."""
    out = []

    def add(kind, path, label, item, expect=None, note=""):
        if expect is None:
            if item.created_by:
                expect = "appears" if item.created_by in removed else "absent"
            else:
                expect = "gone" if item.removed_by in removed else "present"
        out.append(Check(kind, path, label, expect, item, note or item.note))

    for item in items:
        if item.kind == "value":
            root, key = builder.split_item_key(item.path)
            add("registry", _value_path(builder.snapshot_key(root, key), item.name), item.label, item)
        elif item.kind == "key":
            root, key = builder.split_item_key(item.path)
            add("registry", builder.snapshot_key(root, key).lower(), item.label, item)
        elif item.kind in ("file", "dir", "link"):
            add("files", item.path.lower(), item.label, item)
        elif item.kind == "service":
            base = builder.snapshot_key("HKLM", rf"{family.SVC}\{item.path}")
            add("services", base.lower(), f"service {item.path}", item)
            if item.session == "running":
                image = item.attrs[2].strip('"')
                add("processes", image.lower(), f"service process {image}", item)
        elif item.kind == "process":
            add("processes", item.path.lower(), item.label, item)
        elif item.kind == "device":
            gone = item.removed_by in removed
            add("devices", f"{item.name}|{item.path}".lower(), item.label, item,
                expect="either" if gone else "present", note=item.note if gone else "")
        elif item.kind == "msi":
            product = family.MSI_BY_REF[item.path]
            for root, key, name, _ in family.installer_rows(product):
                add("installer", _value_path(builder.snapshot_key(root, key), name),
                    f"{item.path}: {key} : {name}", item)
            for path in manifest.get("installer_files", {}).get(product.ref, []):
                cached = path.lower().startswith("c:\\windows\\installer\\")
                failing = manifest.get("variant") == "failing"
                add("installer", path.lower(), f"{item.path}: {path}", item,
                    expect="either" if (cached and failing and item.removed_by in removed) else None,
                    note="the cached package of a product whose uninstall failed" if cached and failing else "")
    return out


def device_keys(snap):
    """{"mfg|hwid" (lower): count} of the root-enumerated devices."""
    counts = {}
    for key, (_, values) in snap.registry.items():
        if not key.startswith("hklm\\system\\currentcontrolset\\enum\\root\\"):
            continue
        hwid, mfg = values.get("hardwareid"), values.get("mfg")
        if not hwid or not mfg:
            continue
        for h in (hwid[2] if isinstance(hwid[2], list) else [hwid[2]]):
            k = f"{mfg[2]}|{h}".lower()
            counts[k] = counts.get(k, 0) + 1
    return counts


def flatten(snap):
    """{kind: {path: label}} of everything a snapshot holds, in the checks' path forms."""
    reg, services = {}, {}
    svc_root = "hklm\\system\\currentcontrolset\\services\\"
    for key, (name, values) in snap.registry.items():
        # Wine's hive files leave out keys that hold only sub-keys: name them from their children.
        parts, names = key.split("\\"), name.split("\\")
        for i in range(2, len(parts)):
            reg.setdefault("\\".join(parts[:i]), "\\".join(names[:i]))
    for key, (name, values) in snap.registry.items():
        target = services if key.startswith(svc_root) and key.count("\\") == svc_root.count("\\") else reg
        target[key] = name
        for vkey, (vname, vtype, data) in values.items():
            reg[f"{key} :: {vkey}"] = (f"{name} : {vname or '(default)'}", vtype, data)
    # A file or folder scheduled for deletion at restart counts as gone (the restart is Windows' part).
    pending = scheduled_deletions(snap)
    files = {k: v[0] for k, v in snap.files.items() if k not in pending}
    return {"registry": reg, "services": services, "files": files, "processes": dict(snap.processes),
            "devices": {k: k for k in device_keys(snap)}, "pending": pending}


PENDING_VALUE = "hklm\\system\\currentcontrolset\\control\\session manager :: pendingfilerenameoperations"


def scheduled_deletions(snap):
    """{lower path: path} of the PendingFileRenameOperations pairs whose target is empty."""
    ops = snap.pending_renames()
    out = {}
    for i in range(0, len(ops), 2):
        source, target = ops[i], ops[i + 1] if i + 1 < len(ops) else ""
        if target == "":
            path = source[4:] if source.startswith("\\??\\") else source
            out[path.lower()] = path
    return out


def _kind_of(check):
    return "registry" if check.kind == "installer" and " :: " in check.path else (
        "files" if check.kind == "installer" else check.kind)


def _under(path, prefixes):
    return any(path == p or path.startswith(p + "\\") or path.startswith(p + " :: ") for p in prefixes)


def containers_of(checks, fresh=()):
    """Folders and keys that only hold family items going away (absent from the fresh prefix, above
    no item that stays): they go with their items."""
    fresh = set(fresh)
    keep = [c.path.split(" :: ")[0] for c in checks if c.expect in ("present", "appears", "either")]
    keep.append(family.TOOL_LOG_DIR.lower())  # the tool's own log keeps its parents
    keep_set = set()
    for p in keep:
        parts = p.split("\\")
        keep_set.update("\\".join(parts[:i]) for i in range(1, len(parts) + 1))
    containers = set()
    for c in checks:
        if c.expect != "gone":
            continue
        parts = c.path.split(" :: ")[0].split("\\")
        for i in range(len(parts) - (0 if " :: " in c.path else 1), 1, -1):
            anc = "\\".join(parts[:i])
            if anc in keep_set or anc in fresh or _under(anc, CHURN_PREFIXES):
                break
            containers.add(anc)
    return containers


@dataclass
class Report:
    ok: bool
    text: str
    data: dict = field(default_factory=dict)


def audit(items, before, after, removed, manifest, fresh=(), skip=()):
    """Compares two snapshots of one machine with what the removal of `removed` should do. Items
    whose path contains one of `skip` (case-insensitive) are not checked: a scenario that damaged
    or removed them before the run says so."""
    removed = set(removed)
    skip = [s.lower() for s in skip]
    checks = [c for c in checks_for(items, removed, manifest)
              if not any(s in c.path or s in c.label.lower() for s in skip)]
    flat_before, flat_after = flatten(before), flatten(after)
    problems = []
    lookup = lambda flat, c: c.path in flat[_kind_of(c)]  # noqa: E731

    for c in checks:
        was, now = lookup(flat_before, c), lookup(flat_after, c)
        if c.kind == "processes" and not before.processes:
            continue  # a stopped machine has no processes to compare
        if c.expect == "present" and not now:
            problems.append(("missing", c.kind, c.label, c.note))
        elif c.expect == "gone" and now:
            problems.append(("left behind", c.kind, c.label, c.note))
        elif c.expect == "appears" and not now:
            problems.append(("not created", c.kind, c.label, c.note))
        elif c.expect == "absent" and now and not was:
            problems.append(("created", c.kind, c.label, c.note))

    containers = containers_of(checks, fresh)
    gone_paths = {c.path for c in checks if c.expect == "gone"}
    for kind in ("registry", "files", "services"):
        for anc in sorted(containers):
            if anc in flat_after[kind] and anc not in gone_paths:
                problems.append(("left behind", kind, flat_after[kind][anc] if isinstance(
                    flat_after[kind][anc], str) else anc, "a family folder or key: should go"))

    # Everything else must stay as it was.
    expected_new = {c.path for c in checks if c.expect in ("appears", "either")}
    for c in checks:  # and the folders a created file needs
        if c.expect == "appears":
            parts = c.path.split("\\")
            expected_new.update("\\".join(parts[:i]) for i in range(2, len(parts)))
    went_ok = gone_paths | {c.path for c in checks if c.expect == "either"}
    checked = {c.path for c in checks}
    went_all = set()
    for kind in ("registry", "services", "files"):
        went_all.update(p for p in flat_before[kind] if p not in flat_after[kind])
    summary = {}
    for kind in ("registry", "services", "files", "processes", "devices"):
        b, a = flat_before[kind], flat_after[kind]
        went = [p for p in b if p not in a]
        came = [p for p in a if p not in b]
        summary[kind] = {"went": len(went), "appeared": len(came)}
        for p in went:
            parts = p.split(" :: ")[0].split("\\")
            above = ["\\".join(parts[:i]) for i in range(2, len(parts) + (1 if " :: " in p else 0))]
            if any(a in went_all for a in above) or p in checked:
                continue  # reported with the key or folder that went, or by its item's check
            if kind == "registry" and " :: " not in p and any(k.startswith(p + "\\") for k in a):
                continue
            if p in went_ok or _under(p, containers) or _under(p, CHURN_PREFIXES):
                continue
            if kind == "processes" and (p.startswith(WINE_PROCESS_ROOT) or not before.processes):
                continue
            if kind == "processes" and not after.processes:
                continue
            problems.append(("unexpectedly gone", kind, _label(b[p]), ""))
        for p in came:
            # Wine writes a key without values only while it has no sub-keys: a key emptied by the run
            # shows up as new although it was there (and one whose values went, as gone).
            if kind == "registry" and " :: " not in p and any(k.startswith(p + "\\") for k in b):
                continue
            if p == PENDING_VALUE:
                continue  # listed below
            if p in expected_new or p in checked or _under(p, CHURN_PREFIXES) or _under(p, (family.TOOL_LOG_DIR.lower(),)):
                continue
            if p in ALLOWED_NEW or (kind == "processes" and p.startswith(WINE_PROCESS_ROOT)):
                continue
            problems.append(("unexpectedly new", kind, _label(a[p]), ""))
        if kind == "registry":
            for p in b.keys() & a.keys():
                if isinstance(b[p], tuple) and b[p][1:] != a[p][1:] and not _under(p, CHURN_PREFIXES) \
                        and p != PENDING_VALUE:
                    problems.append(("changed", kind, _label(a[p]), f"{b[p][2]!r} -> {a[p][2]!r}"))

    remainder = [c.label for c in checks if c.expect == "gone" and lookup(flat_after, c)]
    tolerated = [f"{c.label} ({c.note})" for c in checks if c.expect == "either" and lookup(flat_after, c)]
    text = _table(summary, problems, remainder, tolerated, removed)
    if flat_after["pending"]:
        text += f"\n  scheduled for deletion at restart (counted as gone): {len(flat_after['pending'])}"
    data = {"ok": not problems, "removed": sorted(removed), "summary": summary,
            "expected_gone": sum(1 for c in checks if c.expect == "gone"),
            "pending_deletions": sorted(flat_after["pending"].values()),
            "problems": [dict(zip(("what", "kind", "item", "note"), p)) for p in problems],
            "family_remainder": remainder, "tolerated": tolerated}
    return Report(not problems, text, data)


def _label(entry):
    return entry[0] if isinstance(entry, tuple) else entry


def _table(summary, problems, remainder, tolerated, removed):
    lines = [f"audit after removing: {', '.join(sorted(removed)) or '(nothing)'}",
             f"  {'kind':<10} {'went':>6} {'appeared':>9} {'problems':>9}"]
    for kind, s in summary.items():
        n = sum(1 for p in problems if p[1] == kind or (kind == "registry" and p[1] == "installer"))
        lines.append(f"  {kind:<10} {s['went']:>6} {s['appeared']:>9} {n:>9}")
    lines.append(f"  family remainder: {len(remainder)} item(s); tolerated under Wine: {len(tolerated)}")
    for what, kind, item, note in problems[:60]:
        lines.append(f"  {what:<18} {kind:<10} {item}" + (f"  [{note}]" if note else ""))
    if len(problems) > 60:
        lines.append(f"  … and {len(problems) - 60} more")
    lines.append("  result: " + ("OK" if not problems else f"FAILED ({len(problems)} problem(s))"))
    return "\n".join(lines)


def check_built(items, snap, manifest):
    """A stopped machine as built: every item that is not created by a removal is present (HKU rows
    live in a running session only, so they are not checked here)."""
    return audit(items, snap, snap, set(), manifest, skip=["hku\\"])


def load_template(template):
    template = pathlib.Path(template)
    manifest = json.loads((template / "manifest.json").read_text())
    fresh = json.loads((template / "fresh.json").read_text()) if (template / "fresh.json").exists() else []
    return manifest, fresh


def save_snapshot(snap, path):
    reg = {k: [v[0], {n: [x[0], x[1], x[2].hex() if isinstance(x[2], bytes) else x[2]] for n, x in v[1].items()}]
           for k, v in snap.registry.items()}
    pathlib.Path(path).write_text(json.dumps({"registry": reg, "files": snap.files, "processes": snap.processes}))


def load_snapshot(path):
    d = json.loads(pathlib.Path(path).read_text())
    reg = {k: (v[0], {n: (x[0], x[1], bytes.fromhex(x[2]) if x[1] == "binary" else
                          (tuple(x[2]) if isinstance(x[2], list) else x[2])) for n, x in v[1].items()})
           for k, v in d["registry"].items()}
    return snapshot.Snapshot(reg, {k: tuple(v) for k, v in d["files"].items()}, d["processes"])


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("template")
    parser.add_argument("before", nargs="?")
    parser.add_argument("after", nargs="?")
    parser.add_argument("--removed", default="")
    parser.add_argument("--check", metavar="PREFIX")
    parser.add_argument("--snapshot", nargs=2, metavar=("PREFIX", "OUT"))
    parser.add_argument("--json")
    args = parser.parse_args()
    manifest, fresh = load_template(args.template)
    items = family.select(manifest["sections"], manifest["variant"])
    if args.snapshot:
        save_snapshot(snapshot.Snapshot.take(args.snapshot[0], running=True), args.snapshot[1])
        return 0
    if args.check:
        report = check_built(items, snapshot.Snapshot.take(args.check, running=False), manifest)
    else:
        removed = [r for r in args.removed.split(",") if r]
        report = audit(items, load_snapshot(args.before), load_snapshot(args.after), removed, manifest, fresh)
    print(report.text)
    if args.json:
        pathlib.Path(args.json).write_text(json.dumps(report.data, indent=1))
    return 0 if report.ok else 1


if __name__ == "__main__":
    sys.exit(main())
