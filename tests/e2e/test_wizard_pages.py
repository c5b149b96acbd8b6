"""The wizard's pages shown by the helper wizard_pages at two DPIs: the user's DPI reaches the page's
process, and the page grows with it."""
from wizard import WizardPage


def test_the_page_at_144_dpi_is_half_as_large_again_as_at_96(tmp_path):
    sizes = {}
    for dpi in (96, 144):
        with WizardPage(tmp_path, "welcome", dpi=dpi) as shown:
            sizes[dpi] = shown.size
    # The templates are laid out in dialog units, which follow the page font's character cell in
    # whole pixels (7 x 13 at 96 DPI, 10 x 19 at 144: 700 x 374 against 1000 x 546), so the page is
    # 1.5 times as large only up to that rounding.
    for small, large in zip(sizes[96], sizes[144]):
        assert 1.42 * small <= large <= 1.58 * small, sizes
