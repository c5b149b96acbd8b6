"""The Quorvel family as it sits on the reference machine: every item, the section it belongs to,
and which product's removal takes it away (or that it must survive). The builder plants these items
and the audit checks them; nothing is listed twice.

Registry roots are logical: "HKLM/64", "HKLM/32" (redirected to Wow6432Node), "HKLM" (not
redirected: SYSTEM), "HKCR/64" (machine classes) and "HKU". Paths are Windows paths.
"""
from dataclasses import dataclass

SECTIONS = ("baseline", "suite", "agent", "tunnel", "wisplite", "sharestore2", "harbex", "passkeep",
            "passkeepdata", "quarantine", "logs")
PRODUCTS = ("omnivo", "harbex", "passkeep", "passkeepdata", "quarantine", "logs")
VARIANTS = ("normal", "failing")
# Which product's removal takes a section's items away.
OWNER = {"suite": "omnivo", "agent": "omnivo", "tunnel": "omnivo", "wisplite": "omnivo",
         "sharestore2": "omnivo", "harbex": "harbex", "passkeep": "passkeep",
         "passkeepdata": "passkeepdata", "quarantine": "quarantine", "logs": "logs"}
SURVIVES = "-"

D = r"C:\ProgramData\Quorvel"
PF86 = r"C:\Program Files (x86)"
QPF = PF86 + r"\Quorvel"
DESK = r"C:\Users\Public\Desktop"
PROGS = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs"
LS = r"C:\Windows\ServiceProfiles\LocalService\AppData\Local"
NSV = r"C:\Windows\ServiceProfiles\NetworkService\AppData\Local"
ALICE = r"C:\Users\alice"
AL = ALICE + r"\AppData\Local\Quorvel"
SYS = r"C:\Windows\System32"
SVC = r"SYSTEM\CurrentControlSet\Services"
UNINST = r"SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
QC = "Quorvel Corporation"
EV = "Example Vendor Ltd"


@dataclass(frozen=True)
class Item:
    kind: str            # value | key | file | dir | link | service | device | process | msi
    section: str
    path: str            # registry "root\key", Windows path, service name, hardware id, product ref
    name: str = None     # value name ("" = default value); device manufacturer
    data: object = None  # value data; file content; link target; device service
    type: str = None     # value type: sz expand dword binary multi
    removed_by: str = None   # product id, or SURVIVES
    created_by: str = None   # product id whose removal creates the item
    variant: str = None      # only in this variant
    session: str = None      # process: "service" or "user"; service: "running" or None
    note: str = ""
    attrs: tuple = ()        # service: (type, start, image, display, extra sub-keys...)
    also: tuple = ()         # other sections that put the item on the machine too

    @property
    def label(self):
        if self.kind == "value":
            return f"{self.path} : {self.name or '(default)'}"
        if self.kind == "device":
            return f"device {self.name} / {self.path}"
        return f"{self.kind} {self.path}"


# ---------------------------------------------------------------------------------------------
# GUIDs (registry form) and the Installer products of the family and its neighbours.
GUIDS = {
    "UC-SUITE": "{1EF1CAD1-5403-458B-B585-4D14DD8FFA33}", "PC-SUITE": "{A92B1345-55F3-4C9A-A21F-44FB6C97077B}",
    "CC-SUITE": "{5DB8CEA0-A338-4491-B49D-3FFF5DDB20B1}", "CC-SHARED": "{6319F1D8-1B1B-4481-B843-3C58E241C8EE}",
    "UC-AG04": "{26B005E5-4530-4623-A8AC-63C734CFC9A6}", "UC-AGENT": "{81F5B176-4680-4BEA-BC72-E8CDF4DE0A0E}",
    "PC-AGENT": "{8DD1384E-4316-41F1-BB37-0E814551CE7A}", "CC-AGENT": "{4E788ED6-596D-46BA-816E-F9FA18CFB59E}",
    "PC-AG04": "{4C5B80B4-05FC-476F-BE31-EBC2FAD1A89B}",
    "PC-FEAT1": "{6358576C-7E3C-4FF8-80B9-BF633890D0E0}", "PC-FEAT2": "{1DB080EF-7F6C-47AF-8ABC-D157FDE667EE}",
    "PC-NAME1": "{D80AF105-110D-49E8-B122-862576F83671}", "PC-NAME2": "{D99D7F48-CD5B-4E33-9227-FCDF887FDDED}",
    "PC-NAME3": "{E5DAE2B1-7DA7-442D-8327-067FD1EFA5D9}", "PC-NAME4": "{53627905-26A8-4393-B924-DFD0EB087BFF}",
    "PC-NAME5": "{95F5A510-6E12-4CA8-9D56-1408DEB9DE5D}", "PC-NAME6": "{B5AB5F57-58AE-45E7-8567-B3E7ED2CD101}",
    "UC-PK-APP": "{10827AE7-5C1F-4EE1-A6C8-D6B9C74309CD}", "UC-PK-HELPER": "{5B038E37-7910-4A42-820C-14AA3855E5B3}",
    "PC-PK-APP": "{D8F6FF0D-7EFC-463C-9776-807509A5B69E}", "PC-PK-HELPER": "{FA60771B-0547-47E6-AD62-2E19FE7DFE86}",
    "CC-PK": "{23975D1B-6BB0-44AA-9079-A69DF70629C1}",
    "UC-PKDATA": "{624BBFFC-F31D-417A-9C5F-AAA5A1D73DF0}", "PC-PKDATA": "{F915859F-0592-41FA-82C7-F2059F0A321A}",
    "UC-OTHER": "{C6832BCB-0D1A-4C5C-A3FD-CBA6A3F6BAF5}", "PC-OTHER": "{52133FAC-AFE2-4B21-AE73-B5D24BE1FA75}",
    "PC-OTHER2": "{FF8EDB5C-E0A7-44D8-A2D3-00FA8D0D1E85}",
    "CLSID-SHX": "{002D993E-90CC-4B5A-9DB2-D89864BC5FA3}", "CLSID-TRIAL": "{6D1D661C-2058-44AF-A2FA-986E85FB886C}",
}


def packed(guid):
    """The Installer's packed form of a registry-form GUID."""
    g = guid.strip("{}").replace("-", "")
    parts = [g[0:8], g[8:12], g[12:16]] + [g[16 + 2 * i:18 + 2 * i] for i in range(8)]
    out = "".join(p[::-1] for p in parts[:3])
    out += "".join(p[::-1] for p in parts[3:])
    return out.upper()


@dataclass(frozen=True)
class MsiProduct:
    ref: str
    upgrade: str          # upgrade-code ref, or None for an orphan
    name: str
    publisher: str
    features: tuple
    components: tuple     # (component ref, key path)
    section: str
    real: bool = False    # a real package built with wixl and installed with msiexec


SHARED_FILE = PF86 + r"\Common Files\Example Vendor\evshared.dll"
MSI_PRODUCTS = (
    MsiProduct("PC-SUITE", "UC-SUITE", "Quorvel Omnivo", QC, ("QvOmnivoCore", "QvOmnivoWebShield"),
               (("CC-SUITE", QPF + r"\Omnivo\lang\en.dat"), ("CC-SHARED", SHARED_FILE)), "suite", real=True),
    MsiProduct("PC-AGENT", "UC-AGENT", "Quorvel Service Agent", QC, ("QvServiceAgent", "QvAgentShell"),
               (("CC-AGENT", QPF + r"\ServiceAgent\x64\QvAgentShx64.dll"),), "agent", real=True),
    MsiProduct("PC-AG04", "UC-AG04", "Quorvel Agent Remote Assist Module", QC, ("RemoteAssist",), (), "agent"),
    MsiProduct("PC-FEAT1", None, "Quorvel Legacy Agent", QC, ("QvLegacyAgentCore",), (), "agent"),
    MsiProduct("PC-FEAT2", None, "Quorvel Assist Core", QC, ("QvRemoteAssistCore",), (), "agent"),
    MsiProduct("PC-NAME1", None, "Quorvel Managed Agent 5.2.1", QC, ("Main",), (), "agent"),
    MsiProduct("PC-NAME2", None, "Quorvel Remote Assist 4.0.12", QC, ("Main",), (), "agent"),
    MsiProduct("PC-NAME3", None, "Quorvel Patch Manager 3.1", QC, ("Main",), (), "agent"),
    MsiProduct("PC-NAME4", None, "Quorvel Device Inventory 2.8.0", QC, ("Main",), (), "agent"),
    MsiProduct("PC-NAME5", None, "Quorvel Agent Updater 1.9.4", QC, ("Main",), (), "agent"),
    MsiProduct("PC-NAME6", None, "Quorvel Operator Console 6.0", QC, ("Main",), (), "agent"),
    MsiProduct("PC-PK-APP", "UC-PK-APP", "Quorvel Passkeep", QC, ("PasskeepApp",),
               (("CC-PK", QPF + r"\Passkeep\QvPasskeep.exe"),), "passkeep", real=True),
    MsiProduct("PC-PK-HELPER", "UC-PK-HELPER", "Quorvel Passkeep Browser Helper", QC, ("PasskeepHelper",), (),
               "passkeep"),
    MsiProduct("PC-PKDATA", "UC-PKDATA", "Quorvel Passkeep User Data", QC, ("PasskeepUserData",), (),
               "passkeepdata"),
    MsiProduct("PC-OTHER", "UC-OTHER", "Example Remote Assist 2.0", EV, ("Core",), (("CC-SHARED", SHARED_FILE),),
               "baseline"),
    MsiProduct("PC-OTHER2", None, "Quorvel Remote Assist Viewer 1.0", EV, ("Core",), (), "baseline"),
)
MSI_BY_REF = {p.ref: p for p in MSI_PRODUCTS}


def installer_rows(product):
    """(root, key, value name, data) of an Installer registration (the per-machine rule)."""
    p = packed(GUIDS[product.ref])
    code = GUIDS[product.ref]
    uninstall = f"MsiExec.exe /X{code}"
    rows = []
    if product.upgrade:
        u = packed(GUIDS[product.upgrade])
        rows += [("HKLM/64", rf"SOFTWARE\Classes\Installer\UpgradeCodes\{u}", p, ""),
                 ("HKLM/64", rf"SOFTWARE\Microsoft\Windows\CurrentVersion\Installer\UpgradeCodes\{u}", p, "")]
    rows.append(("HKLM/64", rf"SOFTWARE\Classes\Installer\Products\{p}", "ProductName", product.name))
    rows += [("HKLM/64", rf"SOFTWARE\Classes\Installer\Features\{p}", f, "") for f in product.features]
    base = rf"SOFTWARE\Microsoft\Windows\CurrentVersion\Installer\UserData\S-1-5-18"
    rows += [("HKLM/64", rf"{base}\Products\{p}\InstallProperties", n, v)
             for n, v in (("DisplayName", product.name), ("Publisher", product.publisher),
                          ("UninstallString", uninstall))]
    rows += [("HKLM/64", rf"{base}\Products\{p}\Features", f, "") for f in product.features]
    rows += [("HKLM/64", rf"{base}\Components\{packed(GUIDS[c])}", p, path) for c, path in product.components]
    rows += [("HKLM/32", rf"{UNINST}\{code}", n, v)
             for n, v in (("DisplayName", product.name), ("Publisher", product.publisher),
                          ("UninstallString", uninstall))]
    return rows


# ---------------------------------------------------------------------------------------------
# The table. Helpers keep each row on one line; `_section` sets the section and default owner.
_items = []
_ctx = {}


def _section(name):
    _ctx.clear()
    _ctx.update(section=name, removed_by=OWNER.get(name, SURVIVES))


def _add(kind, path, **kw):
    kw.setdefault("removed_by", _ctx["removed_by"])
    _items.append(Item(kind, _ctx["section"], path, **kw))


def val(root, key, name, data, type="sz", **kw):
    _add("value", f"{root}\\{key}", name=name, data=data, type=type, **kw)


def key(root, path, **kw):
    _add("key", f"{root}\\{path}", **kw)


def files(*paths, content=None, **kw):
    for p in paths:
        _add("file", p, data=content, **kw)


def folder(path, **kw):
    _add("dir", path, **kw)


def service(name, type, start, image, display=None, running=False, subkeys=(), extra=(), **kw):
    _add("service", name, session="running" if running else None,
         attrs=(type, start, image, display, tuple(subkeys), tuple(extra)), **kw)


def device(mfg, hwid, service_name=None, **kw):
    _add("device", hwid, name=mfg, data=service_name,
         note=kw.pop("note", "SetupAPI's DIF_REMOVE path fails under Wine: the device stays"), **kw)


def process(path, **kw):
    _add("process", path, session="user", **kw)


def msi(ref, **kw):
    _add("msi", ref, **kw)


# --- baseline: the machine before any product, and the other vendor's things (all survive) ---
_section("baseline")
for sid, folder_name in (("S-1-5-19", "LocalService"), ("S-1-5-20", "NetworkService")):
    val("HKU", rf"{sid}\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders", "Local AppData",
        r"%USERPROFILE%\AppData\Local", "expand")
    val("HKLM/64", rf"SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\{sid}", "ProfileImagePath",
        rf"%systemroot%\ServiceProfiles\{folder_name}", "expand")
# Wine's fresh prefix lacks these; a real machine always has them.
key("HKU", r"S-1-5-18\SOFTWARE")
val("HKLM/64", r"SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-18", "ProfileImagePath",
    r"%systemroot%\system32\config\systemprofile", "expand")
val("HKLM/64", r"SOFTWARE\Microsoft\Windows\CurrentVersion", "ProgramFilesDir", r"C:\Program Files")
val("HKLM/64", r"SOFTWARE\Microsoft\Windows\CurrentVersion", "ProgramFilesDir (x86)", PF86)
for n, v in (("Common AppData", "%ProgramData%"), ("Common Desktop", r"%PUBLIC%\Desktop"),
             ("Common Programs", r"%ProgramData%\Microsoft\Windows\Start Menu\Programs")):
    val("HKLM/64", r"SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders", n, v, "expand")
for p in (r"C:\Users\bob\Documents", r"C:\Users\Default\AppData\Local", ALICE + r"\AppData\Local",
          ALICE + r"\AppData\LocalLow", LS, NSV, SYS + r"\drivers", r"C:\Windows\Installer"):
    folder(p)
_add("link", r"C:\Users\All Users", data=r"C:\ProgramData", note="a unix folder link (Wine has no junctions)")
_add("link", r"C:\Users\Default User", data=r"C:\Users\Default", note="a unix folder link (Wine has no junctions)")
files(DESK + r"\desktop.ini", content="[.ShellClassInfo]\r\n")
files(DESK + r"\Other App.lnk", PROGS + r"\Other App\Other App.lnk")
files(PF86 + r"\Example Vendor\app.exe")
files(SHARED_FILE, r"C:\Windows\OtherVendorSetup.log", SYS + r"\drivers\othervendor.sys",
      D + r"\UnknownComponent\keep.dat", ALICE + r"\Documents\vault-export.csv")
service("ExampleVendorSvc", 0x10, 2, f'"{PF86}\\Example Vendor\\app.exe"', "Example Vendor Service", running=True)
val("HKLM/32", rf"{UNINST}\ExampleVendorApp", "DisplayName", "Example Vendor App")
val("HKLM/32", rf"{UNINST}\ExampleVendorApp", "Publisher", EV)
val("HKLM/32", rf"{UNINST}\quorvelharbexold", "DisplayName", "Quorvel Harbex (old entry)",
    note="lower case: the harbex prefix is case-sensitive")
val("HKLM/64", r"SOFTWARE\Quorvel\BREL\Logging", "LogLevel", 5, "dword")
msi("PC-OTHER")
msi("PC-OTHER2")
device(EV, "evdevice", note="")
device("quorvel corporation", "qvtunsdknic", note="manufacturer in other case: no script names it")

# --- suite (omnivo) ---
_section("suite")
NSO = r"SOFTWARE\Quorvel\NS\default\Omnivo"
for n, v in (("ProductName", "Quorvel Omnivo"), ("InstallPath", QPF + r"\Omnivo"), ("Version", "12.4.1180"),
             ("DesktopShortcutName", "Quorvel Omnivo.lnk"),
             ("StartMenuShortcutName", r"Quorvel Omnivo\Quorvel Omnivo.lnk"),
             ("SupportToolShortcutName", r"Quorvel Omnivo\Quorvel Support Tool.lnk")):
    val("HKLM/64", NSO, n, v)
val("HKLM/32", NSO, "Version", "12.4.1180")
val("HKLM/32", r"SOFTWARE\Quorvel\NS\default\OmnivoHost", "Version", "4.2.77")
val("HKLM/64", r"SOFTWARE\Quorvel\NS\omnivoweb\WebShield", "Enabled", 1, "dword")
val("HKLM/32", r"SOFTWARE\Quorvel\NS\omnivoweb\WebShield", "Enabled", 1, "dword")
val("HKLM/32", r"SOFTWARE\Quorvel\BREL", "InstallFolder", QPF + r"\Omnivo")
val("HKLM/32", r"SOFTWARE\Quorvel\OmnivoSetup", "LastAction", "install")
TRIAL = rf"SOFTWARE\Classes\CLSID\{GUIDS['CLSID-TRIAL']}"
val("HKLM/32", TRIAL, "", "QvTrialInfo", also=("agent",))
val("HKLM/32", TRIAL + r"\TrialData", "Stamp", bytes([0x5A, 0x17, 0x00, 0x9C]), "binary", also=("agent",))
service("QvOmnivoHost", 0x10, 2, f'"{QPF}\\Omnivo\\QvOmnivoHost.exe"', "Quorvel Omnivo Host", running=True)
service("QvOmnivoWebHost", 0x10, 2, f'"{QPF}\\Omnivo\\QvOmnivoWebHost.exe"', "Quorvel Omnivo Web Host",
        running=True)
files(*(QPF + rf"\Omnivo\{f}" for f in ("QvOmnivoHost.exe", "QvOmnivoWebHost.exe", "QvOmnivoUI.exe", "brel.dll")))
files(*(D + rf"\{f}\data.bin" for f in ("Omnivo", "OmnivoCache", "OmnivoUpdates", "OmnivoDumps", "Signatures",
                                          "ScanReports", "Scheduler", "Licensing", "WebShield", "FirewallRules",
                                          "SetupCache")))
files(D + r"\Signatures\2024\sig.db", D + r"\NS\default\Config\settings.dat",
      AL + r"\CrashDumps\ui.dmp", AL + r"\Temp\t1.tmp", AL + r"\NS\default\Cache\c.bin")
files(DESK + r"\Quorvel Omnivo.lnk", PROGS + r"\Quorvel Omnivo\Quorvel Omnivo.lnk",
      PROGS + r"\Quorvel Omnivo\Quorvel Support Tool.lnk")
process(QPF + r"\Omnivo\QvOmnivoUI.exe")
msi("PC-SUITE")

# --- service agent ---
_section("agent")
SA = r"SOFTWARE\Quorvel\ServiceAgent"
for n, v in (("ProductName", "Quorvel Service Agent"), ("InstallPath", QPF + r"\ServiceAgent"), ("PartnerID", "QV7310"),
             ("QV7310_ShortcutName", "Quorvel Service Agent.lnk"), ("QV7310_StartMenuFolder", "Quorvel Service Agent"),
             ("QV7310_QvDiagShortcutName", "Quorvel Diagnostics.lnk")):
    val("HKLM/32", SA, n, v)
val("HKLM/32", r"SOFTWARE\Quorvel\AgentUpdater", "Channel", "stable")
val("HKLM/32", r"SOFTWARE\Quorvel\RemoteAssist", "Enabled", 1, "dword")
val("HKLM/32", r"SOFTWARE\Quorvel\PatchManager", "LastScan", "2024-05-02")
val("HKLM/32", r"SOFTWARE\Quorvel\DeviceInventory", "Interval", 3600, "dword")
val("HKLM/32", r"SOFTWARE\Quorvel\OperatorConsole", "Url", "https://console.quorvel.invalid/")
val("HKLM/32", r"SOFTWARE\Quorvel\QvDiag", "Level", 2, "dword")
val("HKLM/64", SA, "ShellExtVersion", "7.4.2")
val("HKLM/64", r"SOFTWARE\Quorvel\AgentShellExt", "Enabled", 1, "dword")
SHX = rf"CLSID\{GUIDS['CLSID-SHX']}"
val("HKCR/64", SHX, "", "Quorvel Service Agent Shell Extension")
val("HKCR/64", SHX + r"\InprocServer32", "", QPF + r"\ServiceAgent\x64\QvAgentShx64.dll")
val("HKCR/64", SHX + r"\InprocServer32", "ThreadingModel", "Apartment")
val("HKLM/32", rf"{UNINST}\QvServiceAgent", "DisplayName", "Quorvel Service Agent")
val("HKLM/32", rf"{UNINST}\QvServiceAgent", "Publisher", QC)
val("HKLM/32", rf"{UNINST}\QvServiceAgent", "UninstallString", f'"{QPF}\\ServiceAgent\\QvAgentSetup.exe" /uninstall')
val("HKLM/32", rf"{UNINST}\QvServiceAgentRemoteAssist", "DisplayName", "Quorvel Remote Assist")
service("QvServiceAgent", 0x10, 2, f'"{QPF}\\ServiceAgent\\QvServiceAgent.exe"', running=True)
files(*(QPF + rf"\ServiceAgent\{f}" for f in ("QvServiceAgent.exe", "QvAgentTray.exe", "QvDiag.exe", "QvAgentSetup.exe")))
files(*(D + rf"\{f}\data.bin" for f in ("ServiceAgent", "AgentUpdates", "RemoteAssist", "AgentInventory")))
files(DESK + r"\Quorvel Service Agent.lnk", PROGS + r"\Quorvel Service Agent\Quorvel Service Agent.lnk",
      PROGS + r"\Quorvel Service Agent\Quorvel Diagnostics.lnk")
process(QPF + r"\ServiceAgent\QvAgentTray.exe")
for ref in ("PC-AGENT", "PC-AG04", "PC-FEAT1", "PC-FEAT2", "PC-NAME1", "PC-NAME2", "PC-NAME3", "PC-NAME4",
            "PC-NAME5", "PC-NAME6"):
    msi(ref)

# --- tunnel SDK ---
_section("tunnel")
for root in ("HKLM/64", "HKLM/32"):
    for n, v in (("InstallationRootDirectory", QPF + r"\TunnelSDK"), ("ProductName", "Quorvel Tunnel SDK"),
                 ("Version", "3.1.0")):
        val(root, r"SOFTWARE\Quorvel\TunnelSDK", n, v)
service("QvTunnelSdkSvc", 0x10, 2, f'"{QPF}\\TunnelSDK\\QvTunnelSdkSvc.exe"', running=True)
service("QvTunSdkNic", 1, 3, rf"\??\{QPF}\TunnelSDK\drivers\qvtunsdknic.sys")
service("QvTunSdkFlt", 1, 1, rf"\??\{QPF}\TunnelSDK\drivers\qvtunsdkflt.sys")
device(QC, "qvtunsdknic", "QvTunSdkNic")
files(*(QPF + rf"\TunnelSDK\{f}" for f in ("QvTunnelSdkSetup.exe", "QvTunnelSdkSvc.exe", r"drivers\qvtunsdknic.sys",
                                             r"drivers\qvtunsdkflt.sys")))
files(D + r"\TunnelSDK\state.dat")

# --- scanning SDK (default namespace, its uninstaller missing) ---
_section("wisplite")
WL, WLP = r"SOFTWARE\Quorvel\Wisplite", QPF + r"\Wisplite"
val("HKLM/64", WL, "InstallationRootDirectory", WLP)
val("HKLM/64", WL, "Version", "9.0.3")
val("HKLM/64", WL + r"\modules\wlcore_x64", "path", WLP + r"\core\x64")
val("HKLM/64", WL + r"\modules\wlcore_x86", "path", WLP + r"\core\x86")
val("HKU", r"S-1-5-18\SOFTWARE\Quorvel\Wisplite", "CacheId", 7, "dword")
val("HKU", r"S-1-5-20\SOFTWARE\Quorvel\Wisplite", "CacheId", 7, "dword")
for b in ("WispliteUpdate", "WispliteCloud", "WispliteFilter", "WispliteTelemetry", r"NS\wl_default"):
    val("HKLM/64", rf"SOFTWARE\Quorvel\{b}", "Marker", 1, "dword")
val("HKLM/64", rf"{UNINST}\QvWisplite", "DisplayName", "Quorvel Wisplite SDK")
val("HKLM/64", rf"{UNINST}\QvWisplite", "SystemComponent", 1, "dword")
for b in (r"Application\QvWisplite", r"System\QvWlFs"):
    val("HKLM", rf"{SVC}\EventLog\{b}", "EventMessageFile", WLP + r"\QvWlMsg.dll")
for b in (r"DelayLoad\1400", r"DelayLoad\1450", r"DllHoster\1400", r"DllHoster\1450"):
    val("HKLM/64", rf"SOFTWARE\Quorvel\BREL\{b}", "wlcore.dll", WLP + r"\core\x86\wlcore.dll")
for name, start in (("QvWlBroker", 2), ("QvWlEngine", 2), ("QvWlUpdate", 3)):
    service(name, 0x10, start, f'"{WLP}\\{name}.exe"', running=True)
service("QvWlProtHost", 0x10, 2, f'"{WLP}\\QvWlProtHost.exe"', running=True, extra=(("LaunchProtected", 1),),
        note="Wine has no protected processes: it runs, and can be terminated, like any service")
service("QvWlFs", 2, 0, r"\SystemRoot\System32\drivers\qvwlfs.sys", subkeys=(r"Instances\QvWlFs Instance",),
        note="Wine loads no file-system filters and has no fltmc: registry entry only")
service("QvWlNet", 1, 1, r"\SystemRoot\System32\drivers\qvwlnet.sys")
for name, start in (("QvWlProc", 1), ("QvWlReg", 1), ("QvWlBoot", 0), ("QvWlMem", 3)):
    service(name, 1, start, rf"\??\{WLP}\drivers\{name.lower()}.sys")
for name in ("QvScanFs", "QvScanNet", "QvScanProc", "QvScanReg", "QvScanBoot", "QvScanMem"):
    service(name, 2, 4, rf"\SystemRoot\System32\drivers\{name.lower()}.sys")
files(*(WLP + rf"\{f}" for f in ("QvWlBroker.exe", "QvWlEngine.exe", "QvWlUpdate.exe", "QvWlProtHost.exe", "QvWlMsg.dll",
                                   r"core\x86\wlcore.dll")))
files(*(WLP + rf"\drivers\{n}.sys" for n in ("qvwlproc", "qvwlreg", "qvwlboot", "qvwlmem")))
files(D + r"\Wisplite\db\wl.db", SYS + r"\drivers\qvwlfs.sys", SYS + r"\drivers\qvwlnet.sys")
folder(WLP + r"\core\x64")
for acct in (LS, NSV):
    files(acct + r"\Quorvel\Wisplite\a.bin", acct + r"\Quorvel\WispliteCache\c.bin")

# --- shared data store: only when the family's uninstallers fail (two holders) ---
_section("sharestore2")
val("HKLM/32", r"SOFTWARE\Quorvel", D + r"\SHARESTORE2", 2, "dword", variant="failing")
files(D + r"\SHARESTORE2\shared.db", D + r"\SHARESTORE2\cert\root.pem", variant="failing")

# --- harbex ---
_section("harbex")
HB = QPF + r"\Harbex"
for n, v in (("ProductName", "Quorvel Harbex"), ("InstallPath", HB), ("Version", "5.6.0")):
    val("HKLM/32", r"SOFTWARE\Quorvel\Harbex", n, v)
val("HKLM/64", r"SOFTWARE\Quorvel\Harbex", "DriverVersion", "5.6.0.12")
val("HKLM/32", rf"{UNINST}\QuorvelHarbex", "DisplayName", "Quorvel Harbex")
val("HKLM/32", rf"{UNINST}\QuorvelHarbex", "Publisher", QC)
val("HKLM/32", rf"{UNINST}\QuorvelHarbex", "UninstallString", f'"{HB}\\HarbexUninstall.exe" /quiet')
val("HKLM/32", rf"{UNINST}\QuorvelHarbexUpdater", "DisplayName", "Quorvel Harbex Updater")
service("QvHarbexSvc", 0x10, 2, f'"{HB}\\QvHarbexSvc.exe"', running=True)
service("QvHbxTun", 1, 3, rf"\??\{HB}\drivers\qvhbxtun.sys")
service("QvHbxTap", 1, 3, rf"\??\{HB}\drivers\qvhbxtap.sys")
service("QvHbxSplit", 1, 1, rf"\??\{HB}\drivers\qvhbxsplit.sys")
device(QC, "qvhbxtun")
device(QC, "qvhbxtap")
files(*(HB + rf"\{f}" for f in ("HarbexUninstall.exe", "QvHarbexSvc.exe", "QvHarbexUI.exe", r"drivers\qvhbxtun.sys",
                                  r"drivers\qvhbxtap.sys", r"drivers\qvhbxsplit.sys")))
files(D + r"\Harbex\profiles.dat", DESK + r"\Quorvel Harbex.lnk", PROGS + r"\Quorvel Harbex\Quorvel Harbex.lnk",
      PROGS + r"\Quorvel Harbex\Uninstall Quorvel Harbex.lnk")
process(HB + r"\QvHarbexUI.exe")

# --- passkeep ---
_section("passkeep")
PK = QPF + r"\Passkeep"
for n, v in (("ProductName", "Quorvel Passkeep"), ("InstallPath", PK), ("Version", "2.3.5")):
    val("HKLM/32", r"SOFTWARE\Quorvel\NS\passkeep\Passkeep", n, v)
val("HKLM/32", r"SOFTWARE\Quorvel\Passkeep", "MigratedFrom", "1.9")
val("HKLM/32", r"SOFTWARE\Quorvel\PasskeepBrowserHelper", "Port", 47021, "dword")
service("QvPasskeepHost_passkeep", 0x10, 2, f'"{PK}\\QvPasskeepHost.exe"', running=True)
service("QvPasskeepSync_passkeep", 0x10, 2, f'"{PK}\\QvPasskeepSync.exe"', running=True)
files(PK + r"\QvPasskeepHost.exe", PK + r"\QvPasskeepSync.exe", D + r"\NS\passkeep\Config\settings.json",
      DESK + r"\Quorvel Passkeep.lnk", PROGS + r"\Quorvel Passkeep\Quorvel Passkeep.lnk", AL + r"\Passkeep\cache\icons.db")
process(PK + r"\QvPasskeep.exe")
files(AL + r"\Backup\passkeep_vault_backup.pkv", removed_by=SURVIVES, created_by="passkeep",
      note="the copy of vault.pkv the removal makes")
msi("PC-PK-APP")
msi("PC-PK-HELPER")

# --- passkeep user data ---
_section("passkeepdata")
files(AL + r"\PasskeepLocalStorage\vault.pkv", content="vault v1", removed_by="passkeepdata")
files(AL + r"\NS\passkeep\Vault\vault2.pkv")
msi("PC-PKDATA")

# --- quarantine ---
_section("quarantine")
files(*(D + rf"\Quarantine\{f}" for f in ("0001.qvq", "0002.qvq", "index.dat", r"old\0000.qvq")))

# --- logs ---
_section("logs")
files(D + r"\Log\Omnivo\omnivo.log", D + r"\Log\ServiceAgent\agent.log", D + r"\Log\stray.txt", D + r"\Logs\setup.log",
      D + r"\Msi\QvOmnivo_install.log", D + r"\NS\default\Log\host.log", D + r"\NS\passkeep\Log\passkeep.log",
      NSV + r"\Quorvel\Log\Wisplite\wl.log", LS + r"\Quorvel\NS\wl_default\Log\wl.log",
      AL + r"\Log\OmnivoUI\ui.log", AL + r"\NS\default\Log\ui.log",
      ALICE + r"\AppData\LocalLow\Quorvel\Log\WebShield\web.log")
LEGACY_LOGS = ("QvOmnivoSetup", "QvOmnivoUninstall", "QvOmnivoUpdate", "QvOmnivoRepair", "QvHarbexSetup",
               "QvHarbexUninstall", "QvPasskeepSetup", "QvPasskeepUninstall", "QvAgentSetup", "QvAgentUninstall",
               "QvAgentUpdate", "QvTunnelSdkSetup", "QvTunnelSdkUninstall", "QvWispliteSetup", "QvWispliteUninstall",
               "QvDriverSetup", "QvFilterSetup", "QvBootstrap", "QvMsiCustomActions")
files(*(rf"C:\Windows\{n}.log" for n in LEGACY_LOGS))
# Not a log: it survives the logs alone; the suite's namespace clean-up keeps only the Log folder.
files(D + r"\NS\default\Cache\keep.bin", removed_by="omnivo")

ITEMS = tuple(_items)
TOOL_LOG_DIR = D + r"\Log\UninstallationTool"
# Processes a started copy runs in the user's session (services start by themselves).
USER_PROCESSES = tuple(i for i in ITEMS if i.kind == "process")


def select(sections="all", variant="normal"):
    """The items of the chosen sections (baseline always) for a variant."""
    chosen = parse_sections(sections)
    return [i for i in ITEMS if (i.section in chosen or set(i.also) & set(chosen)) and i.variant in (None, variant)]


def parse_sections(sections):
    if sections in (None, "all") or sections == list(SECTIONS):
        return list(SECTIONS)
    names = sections.split(",") if isinstance(sections, str) else list(sections)
    unknown = [n for n in names if n not in SECTIONS]
    if unknown:
        raise ValueError(f"unknown sections {unknown}; known: {', '.join(SECTIONS)}")
    return [s for s in SECTIONS if s == "baseline" or s in names]


def stub_exe(item):
    """Whether a file item is one of the product programs (a copy of the stand-in program)."""
    return item.kind == "file" and item.path.lower().endswith(".exe") and item.data is None

