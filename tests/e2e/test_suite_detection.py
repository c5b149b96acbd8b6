"""What the real suite scripts read from a machine: which part of the suite it holds, the display
name, and the installation folders and shortcuts each part would remove. Each case seeds registry rows
on one copy of the test machine and asks through a probe product that borrows the suite script's
functions and only reads."""
import re

import pytest

from harness import PREFIX, SOURCE_DIR, ScratchMachine, run
from scriptset import tool_with_scripts
from tools.refmachine.snapshot import import_reg

PROBE = """
require "omnivo"
local detect, subProduct, displayName = DetectProduct, GetSubProductIdDetected, GetProductDisplayName
function GetProductId() return "probe" end
function GetPriority() return 1 end
function DetectProduct() return false end
function CleanupProduct()
  local name = displayName()
  Log.Info("probe: " .. tostring(detect()) .. " sub=[" .. subProduct() .. "] name=[" .. name .. "]")
  for _, sub in ipairs({lib_omnivo, lib_service_agent, lib_tunnel_sdk}) do
    sub.Prepare()
    Log.Info("prepared " .. sub.GetSubProductId() .. " path=[" .. sub.install_path .. "] shortcuts=[" ..
             table.concat(sub.shortcuts or {}, "|") .. "]")
  end
  return true
end
"""

# Physical keys (a 64-bit regedit writes what it is given): the 32-bit view is WOW6432Node.
Q64 = r"HKEY_LOCAL_MACHINE\SOFTWARE\Quorvel"
Q32 = r"HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Quorvel"
NS_PRODUCT = r"\NS\default\Omnivo"

SUITE = {Q64 + NS_PRODUCT: {"ProductName": "Quorvel Omnivo"}, Q32 + NS_PRODUCT: {"Version": "12.4.1180"}}
AGENT = {Q32 + r"\ServiceAgent": {"ProductName": "Quorvel Service Agent", "PartnerID": "QV7310"}}
TUNNEL = {Q64 + r"\TunnelSDK": {"Version": "3.1.0"}, Q32 + r"\TunnelSDK": {}}

CASES = [
    # (rows, detected, sub-product, display name)
    ({Q64 + NS_PRODUCT: {}}, True, "omnivo", ""),
    ({Q32 + NS_PRODUCT: {}}, False, "", ""),
    ({Q32 + r"\NS\default\OmnivoHost": {}}, True, "omnivo", ""),
    ({Q32 + r"\Omnivo": {}}, False, "", ""),
    ({Q32 + r"\Omnivo": {"ProductName": "Quorvel Omnivo Legacy"}}, True, "omnivo", "Quorvel Omnivo Legacy"),
    (AGENT, True, "service_agent", "Quorvel Service Agent"),
    ({Q32 + r"\ServiceAgent": {"PartnerID": ""}}, True, "service_agent", ""),
    (TUNNEL, True, "tunnel_sdk", "Quorvel Tunnel SDK"),
    ({**SUITE, **AGENT, **TUNNEL}, True, "omnivo", "Quorvel Omnivo"),
    # The agent's name is found when the suite has none; the tunnel SDK's fallback comes last.
    ({Q64 + NS_PRODUCT: {}, **AGENT, **TUNNEL}, True, "omnivo", "Quorvel Service Agent"),
    ({}, False, "", ""),
]


def reg_file(rows):
    """A .reg text that first removes the brand branch of both views, then writes `rows`."""
    lines = ["Windows Registry Editor Version 5.00", "", f"[-{Q64}]", f"[-{Q32}]", ""]
    for key, values in rows.items():
        lines.append(f"[{key}]")
        lines.extend(f'"{name}"="{data}"' for name, data in values.items())
        lines.append("")
    return "\r\n".join(lines) + "\r\n"


def seed(machine, rows, directory):
    path = directory / "seed.reg"
    path.write_text(reg_file(rows), encoding="utf-16")
    assert import_reg(PREFIX, path, machine.env), f"regedit could not import {path}"


def probe(machine, tool):
    """Runs the probe; returns the log records it added."""
    before = machine.log_text()
    result = run(tool, "--silent", "--products", "probe", env=machine.env)
    log = machine.log_text()[len(before):]
    assert result.code == 0, (result, log)
    return log


@pytest.fixture(scope="module")
def machine(tmp_path_factory):
    machine = ScratchMachine(tmp_path_factory.mktemp("detection"))
    yield machine
    machine.stop()


@pytest.fixture(scope="module")
def probe_tool(tmp_path_factory):
    scripts = {path.name: path.read_text() for path in (SOURCE_DIR / "scripts").glob("*.lua")}
    scripts["probe.lua"] = PROBE
    return tool_with_scripts(tmp_path_factory.mktemp("probe"), scripts)


@pytest.mark.parametrize("rows, detected, sub_product, name", CASES)
def test_detected_sub_product_and_name(machine, probe_tool, tmp_path, rows, detected, sub_product, name):
    seed(machine, rows, tmp_path)
    log = probe(machine, probe_tool)
    found = re.findall(r"probe: (\w+) sub=\[(.*?)\] name=\[(.*?)\]", log)
    assert found == [(str(detected).lower(), sub_product, name)], log
    # Only asking: every seeded row is still there.
    for key in rows:
        view = "/reg:32" if "WOW6432Node" in key else "/reg:64"
        path = key.replace("HKEY_LOCAL_MACHINE", "HKLM").replace(r"\WOW6432Node", "")
        assert run("reg", "query", path, view, env=machine.env).code == 0, key


PF = r"C:\\Program Files (x86)\\Quorvel"
DESK = r"C:\users\Public\Desktop"
PROGS = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs"
SUITE_PATH = {"InstallPath": PF + r"\\Omnivo"}
AGENT_SHORTCUTS = {"QV7310_ShortcutName": "Quorvel Service Agent.lnk",
                   "QV7310_StartMenuFolder": "Quorvel Service Agent",
                   "QV7310_QvDiagShortcutName": "Quorvel Diagnostics.lnk"}

PREPARED = [
    # (rows, {sub-product: (installation folder, shortcuts)} for the parts that have something)
    ({Q64 + NS_PRODUCT: {**SUITE_PATH, "DesktopShortcutName": "Quorvel Omnivo.lnk",
                         "StartMenuShortcutName": r"Quorvel Omnivo\\Quorvel Omnivo.lnk", "SupportToolShortcutName": ""},
      Q32 + r"\Omnivo": {"SupportToolLink": r"Quorvel Omnivo\\Quorvel Support Tool.lnk"}},
     {"omnivo": (r"C:\Program Files (x86)\Quorvel\Omnivo",
                 [DESK + r"\Quorvel Omnivo.lnk", PROGS + r"\Quorvel Omnivo\Quorvel Omnivo.lnk",
                  PROGS + r"\Quorvel Omnivo\Quorvel Support Tool.lnk"])}),
    # The framework's folder value stands in when no product branch names one.
    ({Q32 + r"\BREL": {"InstallFolder": PF + r"\\Omnivo"}}, {"omnivo": (r"C:\Program Files (x86)\Quorvel\Omnivo", [])}),
    # Damaged folder values are refused: a drive, the program files or Windows folder, a relative path.
    ({Q64 + NS_PRODUCT: {"InstallPath": "C:\\\\"}}, {}),
    ({Q64 + NS_PRODUCT: {"InstallPath": r"C:\\Program Files (x86)"}}, {}),
    ({Q32 + r"\ServiceAgent": {"InstallPath": r"C:\\Windows"}}, {}),
    ({Q64 + r"\TunnelSDK": {"InstallationRootDirectory": r"Quorvel\\TunnelSDK"}}, {}),
    ({Q64 + r"\TunnelSDK": {"InstallationRootDirectory": r"C:\\Quorvel"}}, {}),
    ({Q32 + r"\TunnelSDK": {"InstallationRootDirectory": PF + r"\\TunnelSDK"}},
     {"tunnel_sdk": (r"C:\Program Files (x86)\Quorvel\TunnelSDK", [])}),
    ({Q32 + r"\ServiceAgent": {"InstallPath": PF + r"\\ServiceAgent", "PartnerID": "QV7310", **AGENT_SHORTCUTS}},
     {"service_agent": (r"C:\Program Files (x86)\Quorvel\ServiceAgent",
                        [DESK + r"\Quorvel Service Agent.lnk", PROGS + r"\Quorvel Service Agent\Quorvel Service Agent.lnk",
                         PROGS + r"\Quorvel Service Agent\Quorvel Diagnostics.lnk"])}),
    # Without a start-menu folder only the desktop shortcut; without an operator id none at all.
    ({Q32 + r"\ServiceAgent": {"PartnerID": "QV7310", "QV7310_ShortcutName": "Quorvel Service Agent.lnk"}},
     {"service_agent": ("", [DESK + r"\Quorvel Service Agent.lnk"])}),
    ({Q32 + r"\ServiceAgent": {"PartnerID": "", "_ShortcutName": "Quorvel Service Agent.lnk",
                               "_StartMenuFolder": "Quorvel Service Agent"}}, {}),
]


@pytest.mark.parametrize("rows, expected", PREPARED)
def test_installation_folders_and_shortcuts(machine, probe_tool, tmp_path, rows, expected):
    seed(machine, rows, tmp_path)
    log = probe(machine, probe_tool)
    prepared = {sub: (path, shortcuts.split("|") if shortcuts else [])
                for sub, path, shortcuts in re.findall(r"prepared (\w+) path=\[(.*?)\] shortcuts=\[(.*?)\]", log)}
    assert set(prepared) == {"omnivo", "service_agent", "tunnel_sdk"}, log
    assert {sub: found for sub, found in prepared.items() if found != ("", [])} == expected, log
    refused = [value for values in rows.values() for name, value in values.items()
               if name in ("InstallPath", "InstallationRootDirectory", "InstallFolder") and not expected]
    for value in refused:
        assert "Ignoring " in log and value.replace("\\\\", "\\") in log, log
