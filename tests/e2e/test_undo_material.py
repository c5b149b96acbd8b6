"""The undo material of a whole-family run on copies of the reference machine (the failing variant,
where the family's own uninstallers fail and the tool itself deletes everything): one undo folder,
whose registry file, imported on a second copy after that copy's own run, brings back every registry
item the run took, and whose file list names exactly the files that went, with their digests."""
import hashlib
import json
import shutil

from refmachine import WINE_DISPLAY_KEY, auditing, builder, family, refmachine  # noqa: F401  (fixture)

ALL = list(family.PRODUCTS)

UNDO = r"C:\ProgramData\Quorvel\Log\UninstallationTool\Undo"


def run_whole_family(machine):
    result = machine.run_tool("--silent", "--products", ",".join(ALL), "--report", r"C:\report.json", timeout=900)
    assert result.code in (0, 99), result
    return json.loads(machine.path(r"C:\report.json").read_text(encoding="utf-8"))


def gone(before, after):
    """(registry entries, files) of `before` that `after` no longer holds; a file scheduled for
    deletion at restart counts as gone."""
    flat_before, flat_after = auditing.flatten(before), auditing.flatten(after)
    registry = {p: e for kind in ("registry", "services") for p, e in flat_before[kind].items()
                if p not in flat_after[kind] and p != auditing.PENDING_VALUE and not p.startswith(WINE_DISPLAY_KEY)}
    files = {p for p, (_, kind, _) in before.files.items()
             if kind == "f" and (p not in after.files or p in flat_after["pending"])}
    return registry, files


def test_the_export_restores_every_registry_item_and_the_list_names_every_deleted_file(refmachine):
    first = refmachine(variant="failing")
    report = run_whole_family(first)
    after = first.snapshot()
    runs = list(first.path(UNDO).iterdir())
    assert len(runs) == 1, runs
    folder = UNDO + "\\" + runs[0].name
    assert report["undo"]["folder"] == folder
    assert sorted(report["undo"]["files"]) == [folder + r"\files.tsv", folder + r"\registry.reg"]
    assert f"Undo material of this run: '{folder}'" in first.log_text()
    registry_gone, files_gone = gone(first.before, after)
    assert registry_gone and files_gone

    # The list: exactly the files that went, each with the size and digest it had.
    lines = (runs[0] / "files.tsv").read_bytes().decode("utf-8").split("\r\n")
    assert lines[0] == "path\tsize\tlastWrite\tsha256\tremoval" and lines[-1] == ""
    listed = {}
    for line in lines[1:-1]:
        path, size, _, digest, removal = line.split("\t")
        assert removal in ("deleted", "restart"), line
        listed[path.lower()] = (path, int(size), digest)
    assert sorted(listed) == sorted(files_gone)
    for path, size, digest in listed.values():
        content = builder.unix_path(first.template / "prefix", path).read_bytes()
        assert (size, digest) == (len(content), hashlib.sha256(content).hexdigest()), path

    # The export: on a second copy, after its own run, one import brings every entry back as it was.
    second = refmachine(variant="failing")
    run_whole_family(second)
    emptied = second.snapshot()
    assert set(registry_gone) <= set(gone(second.before, emptied)[0]), "the second run took the same"
    shutil.copy(runs[0] / "registry.reg", second.path(r"C:\undo.reg"))
    code, out, err = second.run(r"C:\windows\system32\reg.exe", "import", r"C:\undo.reg")
    assert code == 0, (out, err)
    restored = auditing.flatten(second.snapshot())
    restored = {**restored["registry"], **restored["services"]}
    not_back = [p for p in registry_gone if p not in restored]
    assert not_back == []
    # A value the run itself changed before deleting it (a holder count it lowered) comes back as it
    # was when it was deleted.
    written = [c["target"].lower().removesuffix(" (32-bit)").removesuffix(" (64-bit)") for p in report["products"]
               for c in p["changes"] if c["op"] == "registry.setValue"]
    changed = [p for p, entry in registry_gone.items() if isinstance(entry, tuple) and restored[p][1:] != entry[1:]
               and not any(w.endswith("\\" + p.split(" :: ")[1]) for w in written)]
    assert changed == [], [(registry_gone[p], restored[p]) for p in changed]
