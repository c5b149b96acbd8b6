"""Which part of the main suite a machine holds, as the real suite scripts see it: each case seeds
registry rows on one copy of the test machine and asks the suite script through a probe product
that borrows its detection functions."""
import re
import subprocess

import pytest

from conftest import SOURCE_DIR, ScratchMachine, run, wine_env
from scriptset import tool_with_scripts

PROBE = """
require "omnivo"
local detect, subProduct, displayName = DetectProduct, GetSubProductIdDetected, GetProductDisplayName
function GetProductId() return "probe" end
function GetPriority() return 1 end
function DetectProduct() return false end
function CleanupProduct()
  local name = displayName()
  Log.Info("probe: " .. tostring(detect()) .. " sub=[" .. subProduct() .. "] name=[" .. name .. "]")
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
    seed = tmp_path / "seed.reg"
    seed.write_text(reg_file(rows), encoding="utf-16")
    subprocess.run(["wine", "regedit", "/s", "Z:" + str(seed).replace("/", "\\")], env=wine_env(machine.env),
                   check=True, capture_output=True, timeout=60)
    before = machine.log_text()
    result = run(probe_tool, "--silent", "--products", "probe", env=machine.env)
    log = machine.log_text()[len(before):]
    assert result.code == 0, (result, log)
    found = re.findall(r"probe: (\w+) sub=\[(.*?)\] name=\[(.*?)\]", log)
    assert found == [(str(detected).lower(), sub_product, name)], log
    # Only asking: every seeded row is still there.
    for key in rows:
        view = "/reg:32" if "WOW6432Node" in key else "/reg:64"
        path = key.replace("HKEY_LOCAL_MACHINE", "HKLM").replace(r"\WOW6432Node", "")
        assert run("reg", "query", path, view, env=machine.env).code == 0, key
