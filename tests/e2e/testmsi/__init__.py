"""The test products, built from product.wxs with wixl at test time.

Two products share the upgrade code PAIR (the second asks for a restart when removed); MIX holds a
product whose removal fails (an error custom action first in the sequence, added with msibuild,
so the uninstall gives 1603 and the product stays) followed by a plain one; OTHER is unrelated.
"""
from dataclasses import dataclass
from pathlib import Path

from tools.refmachine.msipackage import build_msi

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
    return build_msi(TEMPLATE, msi, directory, defines, arch="x64",
                     refuse_removal=("QvRefuse", "Removal refused by the test package") if package.fails else None)
