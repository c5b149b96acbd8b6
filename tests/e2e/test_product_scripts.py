"""The shipped product scripts on a copy of the test machine: each product is planted (registry,
services, files), removed by a silent run of the built tool naming it, and every planted item of
the other products and of other vendors is checked to be untouched."""
import re
import shutil

import pytest

from conftest import DRIVE_C, TOOL, ScratchMachine, helper, run
from scripthost import SCRIPTS, lua, lua_list, lua_string

D = "C:\\ProgramData\\Quorvel"
PF = "C:\\Program Files (x86)\\Quorvel"
DESK = "C:\\users\\Public\\Desktop"
PROGS = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"
USERS = "C:\\users"
ALICE = USERS + "\\alice\\AppData\\Local\\Quorvel"
WIN = "C:\\windows"
NSV = WIN + "\\ServiceProfiles\\NetworkService\\AppData\\Local\\Quorvel"
LS = WIN + "\\ServiceProfiles\\LocalService\\AppData\\Local\\Quorvel"
UNINSTALL32 = "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
TOOL_LOG = "file:" + D + "\\Log\\UninstallationTool\\UninstallationTool.log"
HARBEX_UNINSTALLER = PF + "\\Harbex\\HarbexUninstall.exe"
LEGACY_LOGS = ["QvOmnivoSetup.log", "QvOmnivoUninstall.log", "QvOmnivoUpdate.log", "QvOmnivoRepair.log",
               "QvHarbexSetup.log", "QvHarbexUninstall.log", "QvPasskeepSetup.log", "QvPasskeepUninstall.log",
               "QvAgentSetup.log", "QvAgentUninstall.log", "QvAgentUpdate.log", "QvTunnelSdkSetup.log",
               "QvTunnelSdkUninstall.log", "QvWispliteSetup.log", "QvWispliteUninstall.log", "QvDriverSetup.log",
               "QvFilterSetup.log", "QvBootstrap.log", "QvMsiCustomActions.log"]

# Registry items are physical HKLM paths (the 32-bit view lies under WOW6432Node).
HARBEX_REG = f"""
[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Quorvel\\Harbex]
"ProductName"="Quorvel Harbex"
"InstallPath"="C:\\\\Program Files (x86)\\\\Quorvel\\\\Harbex"
"Version"="5.6.0"
[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Harbex]
"DriverVersion"="5.6.0.12"
[HKEY_LOCAL_MACHINE\\{UNINSTALL32}\\QuorvelHarbex]
"DisplayName"="Quorvel Harbex"
"Publisher"="Quorvel Corporation"
"UninstallString"="\\"C:\\\\Program Files (x86)\\\\Quorvel\\\\Harbex\\\\HarbexUninstall.exe\\" /quiet"
[HKEY_LOCAL_MACHINE\\{UNINSTALL32}\\QuorvelHarbexUpdater]
"DisplayName"="Quorvel Harbex Updater"
"""
PASSKEEP_REG = """
[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Quorvel\\NS\\passkeep\\Passkeep]
"ProductName"="Quorvel Passkeep"
"InstallPath"="C:\\\\Program Files (x86)\\\\Quorvel\\\\Passkeep"
"Version"="2.3.5"
[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Quorvel\\Passkeep]
"MigratedFrom"="1.9"
[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Quorvel\\PasskeepBrowserHelper]
"Port"=dword:0000b7ed
"""
OTHERS_REG = f"""
[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\BREL\\Logging]
"LogLevel"=dword:00000005
[HKEY_LOCAL_MACHINE\\{UNINSTALL32}\\quorvelharbexold]
"DisplayName"="quorvelharbexold"
[HKEY_LOCAL_MACHINE\\{UNINSTALL32}\\ExampleVendorApp]
"DisplayName"="Example Vendor App"
"""

# Per product: planted files, registry text, services (name, kernel driver), items that go, items
# created, and planted items that stay. Items: "file:" / "dir:" paths, "key32:" / "key64:" branches
# (logical, below HKLM), "svc:" service names.
PRODUCTS = {
    "harbex": dict(
        files=[HARBEX_UNINSTALLER, PF + "\\Harbex\\QvHarbexSvc.exe", PF + "\\Harbex\\QvHarbexUI.exe",
               PF + "\\Harbex\\drivers\\qvhbxtun.sys", PF + "\\Harbex\\drivers\\qvhbxtap.sys",
               PF + "\\Harbex\\drivers\\qvhbxsplit.sys", D + "\\Harbex\\profiles.dat",
               DESK + "\\Quorvel Harbex.lnk", PROGS + "\\Quorvel Harbex\\Quorvel Harbex.lnk",
               PROGS + "\\Quorvel Harbex\\Uninstall Quorvel Harbex.lnk"],
        reg=HARBEX_REG,
        services=[("QvHarbexSvc", False), ("QvHbxTun", True), ("QvHbxTap", True), ("QvHbxSplit", True)],
        gone=["dir:" + PF + "\\Harbex", "dir:" + D + "\\Harbex", "dir:" + PROGS + "\\Quorvel Harbex",
              "file:" + DESK + "\\Quorvel Harbex.lnk", "key32:SOFTWARE\\Quorvel\\Harbex",
              "key64:SOFTWARE\\Quorvel\\Harbex",
              "key32:Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuorvelHarbex",
              "key32:Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuorvelHarbexUpdater",
              "svc:QvHarbexSvc", "svc:QvHbxTun", "svc:QvHbxTap", "svc:QvHbxSplit"],
        created=[],
        kept=["dir:" + PF, "key64:SOFTWARE\\Quorvel", "dir:" + DESK]),
    "passkeep": dict(
        files=[PF + "\\Passkeep\\QvPasskeep.exe", PF + "\\Passkeep\\QvPasskeepHost.exe",
               PF + "\\Passkeep\\QvPasskeepSync.exe", D + "\\NS\\passkeep\\Config\\settings.json",
               D + "\\NS\\passkeep\\Log\\passkeep.log", DESK + "\\Quorvel Passkeep.lnk",
               PROGS + "\\Quorvel Passkeep\\Quorvel Passkeep.lnk", ALICE + "\\Passkeep\\cache\\icons.db",
               ALICE + "\\PasskeepLocalStorage\\vault.pkv", ALICE + "\\NS\\passkeep\\Vault\\vault2.pkv"],
        reg=PASSKEEP_REG,
        services=[("QvPasskeepHost_passkeep", False), ("QvPasskeepSync_passkeep", False)],
        gone=["dir:" + PF, "dir:" + D + "\\NS\\passkeep\\Config", "dir:" + PROGS + "\\Quorvel Passkeep",
              "file:" + DESK + "\\Quorvel Passkeep.lnk", "dir:" + ALICE + "\\Passkeep",
              "key32:SOFTWARE\\Quorvel", "svc:QvPasskeepHost_passkeep", "svc:QvPasskeepSync_passkeep"],
        created=["file:" + ALICE + "\\Backup\\passkeep_vault_backup.pkv"],
        kept=["file:" + ALICE + "\\PasskeepLocalStorage\\vault.pkv",
              "file:" + ALICE + "\\NS\\passkeep\\Vault\\vault2.pkv",
              "file:" + D + "\\NS\\passkeep\\Log\\passkeep.log", "key64:SOFTWARE\\Quorvel"]),
    "passkeepdata": dict(
        files=[], reg="", services=[],
        gone=["dir:" + ALICE + "\\PasskeepLocalStorage", "dir:" + ALICE + "\\NS",
              "file:" + ALICE + "\\PasskeepLocalStorage\\vault.pkv",
              "file:" + ALICE + "\\NS\\passkeep\\Vault\\vault2.pkv"],
        created=[],
        kept=["file:" + ALICE + "\\Backup\\passkeep_vault_backup.pkv"]),
    "quarantine": dict(
        files=[D + "\\Quarantine\\0001.qvq", D + "\\Quarantine\\0002.qvq", D + "\\Quarantine\\index.dat",
               D + "\\Quarantine\\old\\0000.qvq"],
        reg="", services=[],
        gone=["dir:" + D + "\\Quarantine"],
        created=[],
        kept=["dir:" + D]),
    "logs": dict(
        files=[D + "\\Log\\Omnivo\\omnivo.log", D + "\\Log\\ServiceAgent\\agent.log", D + "\\Log\\stray.txt",
               D + "\\Log\\UninstallationTool\\UninstallationTool.1.log", D + "\\Logs\\setup.log",
               D + "\\Msi\\QvOmnivo_install.log", D + "\\NS\\default\\Log\\host.log",
               D + "\\NS\\default\\Cache\\keep.bin", NSV + "\\Log\\Wisplite\\wl.log",
               LS + "\\NS\\wl_default\\Log\\wl.log", ALICE + "\\Log\\OmnivoUI\\ui.log",
               USERS + "\\alice\\AppData\\LocalLow\\Quorvel\\Log\\WebShield\\web.log"]
              + [WIN + "\\" + name for name in LEGACY_LOGS],
        reg="", services=[],
        gone=["dir:" + D + "\\Log\\Omnivo", "dir:" + D + "\\Log\\ServiceAgent", "file:" + D + "\\Log\\stray.txt",
              "dir:" + D + "\\Logs", "dir:" + D + "\\Msi", "dir:" + D + "\\NS\\default\\Log",
              "dir:" + D + "\\NS\\passkeep", "file:" + D + "\\NS\\passkeep\\Log\\passkeep.log", "dir:" + NSV, "dir:" + LS, "dir:" + ALICE + "\\Log",
              "dir:" + USERS + "\\alice\\AppData\\LocalLow\\Quorvel"]
             + ["file:" + WIN + "\\" + name for name in LEGACY_LOGS],
        created=[],
        kept=[TOOL_LOG,
              "file:" + D + "\\Log\\UninstallationTool\\UninstallationTool.1.log",
              "file:" + D + "\\NS\\default\\Cache\\keep.bin"]),
}
ORDER = ["harbex", "passkeep", "passkeepdata", "quarantine", "logs"]

# Other vendors' items, the baseline's folders and the user data no script owns: never touched.
OTHERS_FILES = ["C:\\Program Files (x86)\\Example Vendor\\app.exe", WIN + "\\OtherVendorSetup.log",
                DESK + "\\Other App.lnk", PROGS + "\\Other App\\Other App.lnk",
                USERS + "\\alice\\Documents\\vault-export.csv", D + "\\UnknownComponent\\keep.dat"]
SURVIVORS = (["file:" + f for f in OTHERS_FILES]
             + ["dir:" + DESK, "dir:" + PROGS, "key64:SOFTWARE\\Quorvel\\BREL\\Logging", "svc:ExampleVendorSvc",
                "key32:Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\quorvelharbexold",
                "key32:Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ExampleVendorApp"])
# Profiles without a vault: the backup must not create anything there.
NEVER_CREATED = ["dir:" + USERS + f"\\{user}\\AppData\\Local\\Quorvel" for user in ("bob", "Public", "Default")]


def host_path(machine, path):
    """The Linux path of a C: path of the machine, matching existing components without regard to
    case (Wine's own lookup)."""
    current = machine.prefix / "drive_c"
    for part in path[3:].split("\\"):
        match = next((p for p in current.iterdir() if p.name.lower() == part.lower()), None) \
            if current.is_dir() else None
        current = match if match is not None else current / part
    return current


def plant_file(machine, path, content=None):
    target = host_path(machine, path)
    target.parent.mkdir(parents=True, exist_ok=True)
    target.write_bytes(content if content is not None else path.encode("utf-8"))


def import_reg(machine, text, tmp_path):
    if not text:
        return
    reg_file = tmp_path / "seed.reg"
    reg_file.write_text("Windows Registry Editor Version 5.00\n" + text, encoding="utf-16")
    assert run("reg", "import", "Z:" + str(reg_file).replace("/", "\\"), "/reg:64", env=machine.env).code == 0


def create_service(machine, name, kernel):
    kind = ["type=", "kernel"] if kernel else []
    binary = f"C:\\Program Files (x86)\\Quorvel\\x\\{name}.sys" if kernel else f"C:\\Program Files (x86)\\x\\{name}.exe"
    run("sc", "create", name, "binPath=", binary, *kind, env=machine.env)


def plant(machine, product, tmp_path):
    spec = PRODUCTS[product]
    for path in spec["files"]:
        plant_file(machine, path)
    import_reg(machine, spec["reg"], tmp_path)
    for name, kernel in spec["services"]:
        create_service(machine, name, kernel)


def state(machine, items):
    """{item: exists} for the items, registry and services read through the script API."""
    result = {}
    queries = []
    for item in items:
        kind, _, what = item.partition(":")
        if kind == "file":
            result[item] = host_path(machine, what).is_file()
        elif kind == "dir":
            result[item] = host_path(machine, what).is_dir()
        else:
            queries.append(item)
    if queries:
        checks = []
        for item in queries:
            kind, _, what = item.partition(":")
            if kind == "svc":
                checks.append(f"tostring(Service.State({lua_string(what)}) ~= SERVICE_INVALID_VALUE)")
            else:
                view = "KEY_WOW64_32KEY" if kind == "key32" else "KEY_WOW64_64KEY"
                checks.append(f"tostring(Reg.BranchExists(HKLM, {lua_string(what)}, {view}))")
        answers = lua("lib_common.lua", "return {" + ",".join(checks) + "}", env=machine.env)
        result.update({item: answer == "true" for item, answer in zip(queries, answers)})
    return result


def planted_items(product):
    spec = PRODUCTS[product]
    return ["file:" + f for f in spec["files"]] + ["svc:" + n for n, _ in spec["services"]]


@pytest.fixture(scope="module")
def machine(tmp_path_factory):
    machine = ScratchMachine(tmp_path_factory.mktemp("products"))
    root = tmp_path_factory.mktemp("seed")
    for user in ("alice", "bob", "Default"):
        host_path(machine, f"{USERS}\\{user}\\AppData\\Local").mkdir(parents=True, exist_ok=True)
    for path in OTHERS_FILES:
        plant_file(machine, path)
    import_reg(machine, OTHERS_REG, root)
    create_service(machine, "ExampleVendorSvc", False)
    yield machine
    machine.stop()


def remove(machine, product):
    """Runs the tool for `product`; its result and the log records this run wrote."""
    before = len(machine.log_text())
    result = run(TOOL, "--silent", "--products", product, env=machine.env, timeout=300)
    return result, machine.log_text()[before:]


def test_each_product_goes_alone_and_the_rest_stays(machine, tmp_path):
    for product in ORDER:
        plant(machine, product, tmp_path)
    watched = sorted(set(SURVIVORS + NEVER_CREATED + [i for p in ORDER for i in planted_items(p)
                                                      + PRODUCTS[p]["gone"] + PRODUCTS[p]["created"]
                                                      + PRODUCTS[p]["kept"]]))
    expected = state(machine, watched)
    assert all(expected[i] for p in ORDER for i in planted_items(p)), expected
    assert all(expected[i] for i in SURVIVORS) and not any(expected[i] for i in NEVER_CREATED), expected

    for product in ORDER:
        result, log = remove(machine, product)
        assert result.code == 0, (product, result, log)
        spec = PRODUCTS[product]
        expected[TOOL_LOG] = True
        expected.update({i: False for i in spec["gone"]})
        expected.update({i: False for i in planted_items(product) if i not in spec["kept"]})
        expected.update({i: True for i in spec["created"] + spec["kept"]})
        got = state(machine, watched)
        assert {i: v for i, v in got.items() if v != expected[i]} == {}, (product, log)

    # The backup is the vault's copy; the running tool's log holds this run's records.
    backup = host_path(machine, ALICE + "\\Backup\\passkeep_vault_backup.pkv").read_bytes()
    assert backup == (ALICE + "\\PasskeepLocalStorage\\vault.pkv").encode("utf-8")
    assert "Vault backed up to" in machine.log_text()
    tool_log = host_path(machine, D + "\\Log\\UninstallationTool\\UninstallationTool.1.log")
    assert tool_log.read_bytes() == (D + "\\Log\\UninstallationTool\\UninstallationTool.1.log").encode("utf-8")


HARBEX_ITEMS = planted_items("harbex") + PRODUCTS["harbex"]["gone"]


@pytest.mark.parametrize("variant, uninstaller, command, forced", [
    ("uninstaller absent", None, None, True),
    ("uninstaller exits 0", "print_chunks", None, False),
    ("uninstaller exits 3", "print_chunks", '"\\"C:\\\\Program Files (x86)\\\\Quorvel\\\\Harbex\\\\HarbexUninstall.exe\\" 3"', True),
    ("unquoted command", "print_chunks", '"C:\\\\Program Files (x86)\\\\Quorvel\\\\Harbex\\\\HarbexUninstall.exe /quiet"', False),
    ("ProductName absent", None, None, True),
])
def test_harbex_forced_clean_up_runs_only_when_its_uninstaller_does_not_succeed(
        machine, tmp_path, variant, uninstaller, command, forced):
    plant(machine, "harbex", tmp_path)
    if uninstaller is None:
        host_path(machine, HARBEX_UNINSTALLER).unlink()
    else:
        shutil.copyfile(helper(uninstaller), host_path(machine, HARBEX_UNINSTALLER))
    if command is not None:
        import_reg(machine, f'[HKEY_LOCAL_MACHINE\\{UNINSTALL32}\\QuorvelHarbex]\n"UninstallString"={command}\n',
                   tmp_path)
    if variant == "ProductName absent":
        import_reg(machine, '[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Quorvel\\Harbex]\n"ProductName"=-\n',
                   tmp_path)
    before = state(machine, HARBEX_ITEMS + SURVIVORS)

    result, log = remove(machine, "harbex")

    assert result.code == 0, (result, log)
    after = state(machine, HARBEX_ITEMS + SURVIVORS)
    if forced:
        # The fallback name gives the same shortcut names, so they go too.
        assert not any(after[i] for i in HARBEX_ITEMS), log
    else:
        assert after == before, log
    assert all(after[i] for i in SURVIVORS), log
    assert ("Uninstaller finished successfully" in log) == (not forced), log


# (script, items planted on a machine without any product data, detected, display name)
DETECTION = [
    ("harbex", ["key32:SOFTWARE\\Quorvel\\Harbex"], True, "Quorvel Harbex"),
    ("harbex", ["key64:SOFTWARE\\Quorvel\\Harbex"], False, "Quorvel Harbex"),
    ("passkeep", ["key32:SOFTWARE\\Quorvel\\NS\\passkeep\\Passkeep"], False, "Quorvel Passkeep"),
    ("passkeep", ["key32:SOFTWARE\\Quorvel\\NS\\passkeep\\Passkeep\\Sub"], True, "Quorvel Passkeep"),
    ("passkeepdata", ["file:" + USERS + "\\bob\\AppData\\Local\\Quorvel\\NS\\passkeep\\Vault\\sub\\x.pkv"], False,
     "Quorvel Passkeep User Data"),
    ("passkeepdata", ["file:" + USERS + "\\bob\\AppData\\Local\\Quorvel\\NS\\passkeep\\Vault\\x.pkv"], True,
     "Quorvel Passkeep User Data"),
    ("passkeepdata", ["file:" + USERS + "\\bob\\AppData\\Local\\Quorvel\\PasskeepLocalStorage\\vault.pkv"], True,
     "Quorvel Passkeep User Data"),
    ("quarantine", ["file:" + D + "\\Quarantine\\old\\0000.qvq"], False, ""),
    ("quarantine", ["file:" + D + "\\Quarantine\\index.dat"], True, ""),
    ("logs", ["file:" + D + "\\UnknownComponent\\keep.dat"], False, ""),
    ("logs", ["file:" + D + "\\Log\\UninstallationTool\\UninstallationTool.log"], True, ""),
    ("logs", ["file:" + D + "\\NS\\x\\Log\\a.log"], True, ""),
    ("logs", ["dir:" + D + "\\Logs"], True, ""),
]


def clear_family(machine):
    """Takes every trace of the family off the machine (the tool's log included)."""
    for path in (D, PF, USERS + "\\bob\\AppData\\Local\\Quorvel", ALICE):
        shutil.rmtree(host_path(machine, path), ignore_errors=True)
    for key in ("SOFTWARE\\Quorvel", "SOFTWARE\\WOW6432Node\\Quorvel"):
        run("reg", "delete", f"HKLM\\{key}", "/f", "/reg:64", env=machine.env)


def test_detection_and_display_names(machine, tmp_path):
    got = []
    for script, items, _, _ in DETECTION:
        clear_family(machine)
        for item in items:
            kind, _, what = item.partition(":")
            if kind == "file":
                plant_file(machine, what)
            elif kind == "dir":
                host_path(machine, what).mkdir(parents=True)
            else:
                physical = what.replace("SOFTWARE\\", "SOFTWARE\\WOW6432Node\\", 1) if kind == "key32" else what
                import_reg(machine, f"[HKEY_LOCAL_MACHINE\\{physical}]\n", tmp_path)
        got.append(tuple(lua(script + ".lua", "return tostring(DetectProduct()), GetProductDisplayName()",
                             env=machine.env)))
    assert got == [(str(detected).lower(), name) for _, _, detected, name in DETECTION]


def test_help_lists_the_products_in_priority_order(tool):
    ids = [i for i in ("omnivo", "harbex", "passkeep", "passkeepdata", "quarantine", "logs")
           if (SCRIPTS / f"{i}.lua").is_file()]
    result = run(tool, "--help")
    assert re.search(r"\b" + re.escape("|".join(ids)) + r"\b", result.stdout), result.stdout
