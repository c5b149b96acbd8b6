"""The run's report and plan on copies of the reference machine: a plan changes nothing and names
everything a real run removes; the real run's report gives each product's outcome and changes."""
import json

import pytest

from harness import run
from refmachine import WINE_DISPLAY_KEY, auditing, refmachine  # noqa: F401  (fixture)
from scriptset import tool_with_scripts, windows_path
from wizard import Wizard

ALL = ["omnivo", "harbex", "passkeep", "passkeepdata", "quarantine", "logs"]
TOOL_LOG = "c:\\programdata\\quorvel\\log\\uninstallationtool"


def snapshot_key(target):
    """A journal registry target ("HKLM\\SOFTWARE\\X (32-bit)") in the snapshot's key form."""
    text = target.lower()
    wow = text.endswith(" (32-bit)")
    if wow or text.endswith(" (64-bit)"):
        text = text[:-len(" (32-bit)")]
    root, _, rest = text.partition("\\")
    root = {"hkcr": "hklm\\software\\classes"}.get(root, root)
    if root == "hklm\\software\\classes":
        root, rest = "hklm", "software\\classes\\" + rest
    # The 32-bit view: classes below Classes\Wow6432Node, the rest below SOFTWARE\Wow6432Node.
    if wow and root == "hklm" and rest.startswith("software\\classes\\"):
        rest = "software\\classes\\wow6432node\\" + rest[len("software\\classes\\"):]
    elif wow and root == "hklm" and rest.startswith("software\\") and not rest.startswith("software\\wow6432node"):
        rest = "software\\wow6432node\\" + rest[len("software\\"):]
    return root + "\\" + rest


def coverage(changes):
    """(registry keys and values, file paths, service names, packed codes of the products the
    Installer removed) that the changes take."""
    keys, values, paths, services, codes = [], set(), [], set(), set()
    for change in changes:
        op, target = change["op"], change["target"]
        if op in ("registry.deleteBranch", "registry.deleteKey"):
            keys.append(snapshot_key(target))
        elif op == "registry.deleteValue":
            key = snapshot_key(target)
            branch, _, name = key.rpartition("\\")
            values.add(f"{branch} :: {name}")
        elif op.startswith(("file.delete", "folder.delete")):
            paths.append(target.lower())
        elif op == "service.delete":
            services.add(target.lower())
            keys.append("hklm\\system\\currentcontrolset\\services\\" + target.lower())
        elif op == "msi.uninstall":
            paths.append("c:\\windows\\installer")  # the Installer's own package cache
            if change["result"] != "planned":  # what the Installer itself removed for the product
                code = target.lower()
                codes.add(packed(code))
                keys.append(f"hklm\\software\\wow6432node\\microsoft\\windows\\currentversion\\uninstall\\{code}")
    return keys, values, paths, services, codes


def packed(code):
    """The Installer's packed form of a product code: each group reversed, the last two by byte."""
    hexes = code.strip("{}").split("-")
    pairs = "".join(hexes[3:])
    return "".join(h[::-1] for h in hexes[:3]) + "".join(pairs[i + 1] + pairs[i] for i in range(0, len(pairs), 2))


def user_neutral(path):
    """HKU\\<sid>\\... as the HKCU form the scripts may use."""
    parts = path.split("\\")
    return "\\".join(["hkcu"] + parts[2:]) if parts[0] == "hku" and len(parts) > 2 else path


def uncovered(before, after, changes):
    keys, values, paths, services, codes = coverage(changes)
    flat_before, flat_after = auditing.flatten(before), auditing.flatten(after)
    under = lambda path, prefixes: any(path == p or path.startswith(p + "\\") or path.startswith(p + " ::")  # noqa: E731
                                       for p in prefixes)
    missing = []
    for path in flat_before["registry"]:
        if path in flat_after["registry"] or path == auditing.PENDING_VALUE or path.startswith(WINE_DISPLAY_KEY):
            continue
        if not (path in values or user_neutral(path) in values or under(path, keys) or under(user_neutral(path), keys)
                or installer_row(path, codes, flat_before["registry"])):
            missing.append(path)
    for path in flat_before["services"]:
        if path not in flat_after["services"] and path.rsplit("\\", 1)[1] not in services and not under(path, keys):
            missing.append(path)
    for path in flat_before["files"]:
        if path not in flat_after["files"] and not under(path, paths):
            missing.append(path)
    return missing


def still_there(snap, changes):
    """The done deletions whose target (or something below it) the snapshot still holds."""
    flat = auditing.flatten(snap)
    keys = {k.split(" :: ")[0] for k in flat["registry"]} | set(flat["services"])
    registry = keys | {user_neutral(k) for k in keys}
    files = set(flat["files"])
    below = lambda place, held: any(h == place or h.startswith(place + "\\") for h in held)  # noqa: E731
    left = []
    for change in changes:
        op, target = change["op"], change["target"]
        if op.startswith(("file.delete", "folder.delete")) and below(target.lower(), files):
            left.append(change)
        elif op in ("registry.deleteBranch", "registry.deleteKey") and below(snapshot_key(target), registry):
            left.append(change)
    return left


def installer_row(path, codes, registry):
    """Whether the Installer's own uninstall of one of `codes` (packed) took this row: a key or value
    named by the code, a component's or upgrade code's value for it, or such a key all of whose
    values were the uninstalled products'."""
    if any(code in path.split(" :: ")[0].split("\\") or path.endswith(" :: " + code) for code in codes):
        return True
    if "\\installer\\" in path and " :: " not in path:
        held = [k.split(" :: ")[1] for k in registry if k.startswith(path + " :: ")]
        return bool(held) and all(name in codes for name in held)
    return False


def products_of(report):
    return {p["id"]: p for p in report["products"]}


def test_a_plan_changes_nothing_and_names_what_the_real_run_removes(refmachine):
    planned = refmachine()
    result = planned.run_tool("--silent", "--plan", "--products", ",".join(ALL), "--report", r"C:\plan.json",
                              timeout=900)
    assert result.code == 0, result
    after = planned.snapshot()
    changed = [k for k in set(planned.before.registry) | set(after.registry)
               if planned.before.registry.get(k) != after.registry.get(k) and not k.startswith(WINE_DISPLAY_KEY)]
    changed += [k for k in set(planned.before.files) | set(after.files) if planned.before.files.get(k) !=
                after.files.get(k) and k != "c:\\plan.json" and not k.startswith(TOOL_LOG)]
    assert changed == [], changed
    plan = json.loads(planned.path(r"C:\plan.json").read_text(encoding="utf-8"))
    assert (plan["schema"], plan["mode"], plan["exitCode"], plan["describedExitCode"]) == (1, "plan", 0, 0)
    assert {p["id"]: p["outcome"] for p in plan["products"]} == {p: "planned" for p in ALL}
    changes = [c for p in plan["products"] for c in p["changes"]]
    assert changes and all(c["result"] == "planned" for c in changes)
    assert "planned changes; nothing was changed" in result.stdout

    real = refmachine()
    result = real.run_tool("--silent", "--products", ",".join(ALL), "--report", r"C:\real.json", timeout=900)
    assert result.code == 99, result
    report = json.loads(real.path(r"C:\real.json").read_text(encoding="utf-8"))
    real.path(r"C:\real.json").unlink()  # the audit counts every new file
    audit = real.audit(removed=ALL)
    assert audit.ok, audit.text
    real.start()
    after = real.snapshot()
    missing = uncovered(real.before, after, changes)
    assert missing == [], "\n".join(missing)
    assert (report["mode"], report["exitCode"], report["restartNeeded"]) == ("silent", 99, True)
    outcomes = {p["id"]: p["outcome"] for p in report["products"]}
    assert outcomes == {p: "removed" for p in ALL}, outcomes
    done = [c for p in report["products"] for c in p["changes"] if c["result"] in ("done", "scheduled")]
    # The report and the audit agree: every item that went is named by a change the report says was
    # done, and every deletion it says was done left nothing behind.
    unreported = uncovered(real.before, after, done)
    assert unreported == [], "\n".join(unreported)
    assert still_there(after, [c for c in done if c["result"] == "done"]) == []
    # Every planned branch and folder the real run found went, and nothing it did was left out of the plan.
    assert {(c["op"], c["target"]) for c in done if c["op"] == "registry.deleteBranch"} <= \
        {(c["op"], c["target"]) for c in changes}


def product(pid, priority, cleanup="return true"):
    return "\n".join([f'function GetProductId() return "{pid}" end',
                      "function DetectProduct() return true end",
                      f"function CleanupProduct() {cleanup} end",
                      f"function GetPriority() return {priority} end"]) + "\n"


def read_report(path):
    return json.loads(path.read_text(encoding="utf-8"))


@pytest.mark.parametrize("extra, exit_code", [([], 1), (["--msi-exit-codes"], 1603)])
def test_the_report_of_a_run_where_a_product_fails(tmp_path, extra, exit_code):
    doomed = tmp_path / "doomed.txt"
    doomed.write_text("x")
    exe = tool_with_scripts(tmp_path / "tool", {
        "a.lua": product("a", 1, 'error("boom")'),
        "b.lua": product("b", 2, f'FileSystem.DeleteFile("{windows_path(doomed).replace(chr(92), chr(92) * 2)}") '
                                 'return true'),
        "c.lua": product("c", 3)})
    report = tmp_path / "report.json"
    result = run(exe, "--silent", "--products", "a,b", "--report", windows_path(report), *extra)
    assert result.code == exit_code & 0xFF, result
    document = read_report(report)
    assert (document["mode"], document["exitCode"], document["describedExitCode"]) == ("silent", exit_code, 1)
    found = products_of(document)
    assert {p: found[p]["outcome"] for p in found} == {"a": "failed", "b": "removed", "c": "not-selected"}
    assert [(c["op"], c["result"]) for c in found["b"]["changes"]] == [("file.delete", "done")]
    assert found["b"]["changes"][0]["target"].lower() == windows_path(doomed).lower()
    assert not doomed.exists()


def test_the_report_of_a_wizard_left_on_its_first_page(tmp_path):
    exe = tool_with_scripts(tmp_path / "tool", {"a.lua": product("a", 1)})
    report = tmp_path / "report.json"
    wizard = Wizard(exe, "--report", windows_path(report))
    try:
        wizard.key("Escape")
        assert wizard.wait() == 2
    finally:
        wizard.kill()
    document = read_report(report)
    assert (document["mode"], document["exitCode"]) == ("wizard", 2)
    assert [(p["id"], p["outcome"], p["changes"]) for p in document["products"]] == [("a", "not-selected", [])]


def test_a_link_planted_at_the_report_path_is_not_written_through(tmp_path, log_since):
    exe = tool_with_scripts(tmp_path / "tool", {"a.lua": product("a", 1)})
    victim = tmp_path / "victim.txt"
    victim.write_text("other software's file")
    (tmp_path / "reports").mkdir()
    (tmp_path / "reports" / "report.json").symlink_to(victim)
    (tmp_path / "linked").symlink_to(tmp_path / "elsewhere", target_is_directory=True)
    (tmp_path / "elsewhere").mkdir()
    for path in (tmp_path / "reports" / "report.json", tmp_path / "linked" / "report.json"):
        # The path as written: windows_path would resolve the link the test planted.
        result = run(exe, "--silent", "--report", "Z:" + str(path).replace("/", "\\"))
        assert result.code == 0, result
    # Each refusal is an error line; the run's outcome stays what it was.
    assert log_since().count("Failed to write the report") == 2
    assert victim.read_text() == "other software's file"
    assert list((tmp_path / "elsewhere").iterdir()) == []
