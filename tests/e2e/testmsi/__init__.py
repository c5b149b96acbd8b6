"""The test products, built from product.wxs with wixl at test time.

Two products share the upgrade code PAIR (the second asks for a restart when removed); MIX holds a
product whose removal fails (an error custom action first in the sequence, added with msibuild,
so the uninstall gives 1603 and the product stays) followed by a plain one; OTHER is unrelated.
"""
import subprocess
from dataclasses import dataclass
from pathlib import Path

TEMPLATE = Path(__file__).with_name("product.wxs")

PAIR = "{7D0C1A52-3B41-4C7E-9A55-0F1E2D3C4B01}"
MIX = "{7D0C1A52-3B41-4C7E-9A55-0F1E2D3C4B02}"
OTHER = "{7D0C1A52-3B41-4C7E-9A55-0F1E2D3C4B03}"


@dataclass(frozen=True)
class Package:
    key: str
    product_code: str
    upgrade_code: str
    component_code: str
    reboot: bool = False
    fails: bool = False

    @property
    def name(self):
        return f"QvTest {self.key.capitalize()}"

    @property
    def folder(self):
        return f"QvTest{self.key.capitalize()}"


PACKAGES = [
    Package("alpha", "{3F6A8E10-5B2C-4D7A-8E91-1A2B3C4D5E01}", PAIR, "{A1C3E5F7-0B2D-4F6A-8C0E-1A2B3C4D5E01}"),
    Package("beta", "{3F6A8E10-5B2C-4D7A-8E91-1A2B3C4D5E02}", PAIR, "{A1C3E5F7-0B2D-4F6A-8C0E-1A2B3C4D5E02}",
            reboot=True),
    Package("gamma", "{3F6A8E10-5B2C-4D7A-8E91-1A2B3C4D5E03}", MIX, "{A1C3E5F7-0B2D-4F6A-8C0E-1A2B3C4D5E03}",
            fails=True),
    Package("delta", "{3F6A8E10-5B2C-4D7A-8E91-1A2B3C4D5E04}", MIX, "{A1C3E5F7-0B2D-4F6A-8C0E-1A2B3C4D5E04}"),
    Package("other", "{3F6A8E10-5B2C-4D7A-8E91-1A2B3C4D5E05}", OTHER, "{A1C3E5F7-0B2D-4F6A-8C0E-1A2B3C4D5E05}"),
]

PUBLISHER = "QvTest Makers"


def build(package, directory):
    """Builds the package's .msi in `directory` and returns its path."""
    directory = Path(directory)
    directory.mkdir(parents=True, exist_ok=True)
    payload = directory / f"{package.key}.txt"
    payload.write_text(f"payload of {package.name}\n")
    msi = directory / f"{package.key}.msi"
    defines = {"ProductCode": package.product_code, "UpgradeCode": package.upgrade_code,
               "ComponentCode": package.component_code, "Name": package.name, "Publisher": PUBLISHER,
               "Folder": package.folder, "Feature": package.folder, "Payload": payload.name,
               "Reboot": "yes" if package.reboot else "no"}
    command = ["wixl", "-a", "x64", "-o", str(msi)]
    for name, value in defines.items():
        command += ["-D", f"{name}={value}"]
    # wixl looks for the file sources from its working directory.
    subprocess.run(command + [str(TEMPLATE)], check=True, capture_output=True, cwd=directory)
    if package.fails:
        for query in ("INSERT INTO CustomAction (Action, Type, Source, Target) "
                      "VALUES ('QvRefuse', 19, '', 'Removal refused by the test package')",
                      "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) "
                      "VALUES ('QvRefuse', 'REMOVE=\"ALL\"', 1)"):
            subprocess.run(["msibuild", str(msi), "-q", query], check=True, capture_output=True)
    return msi
