"""The automatic language choice follows the Windows UI language (set for Wine through LC_ALL)."""
import pytest

from scriptset import BUILD_DIR, run_wine

CASES = [
    ("pt_BR.UTF-8", "pt-BR"),
    ("pt_PT.UTF-8", "pt"),       # pt-PT is not shipped: the language alone
    ("es_MX.UTF-8", "es-MX"),
    ("zh_CN.UTF-8", "zh"),
    ("zh_TW.UTF-8", "zh-TW"),
    ("fi_FI.UTF-8", "fi"),
    ("nb_NO.UTF-8", "no"),       # Norwegian Bokmal by its country
    ("ca_ES.UTF-8", "es"),       # Catalan (Spain) by its country
    ("ca_AD.UTF-8", "en"),       # nothing matches: English
    ("en_US.UTF-8", "en"),
]


@pytest.mark.parametrize("locale,expected", CASES)
def test_automatic_language(locale, expected):
    result = run_wine(BUILD_DIR / "app_tests.exe",
                      ["--gtest_filter=ShippedResources.AutomaticChoiceFollowsTheUiLanguage"],
                      env={"LC_ALL": locale, "QV_EXPECTED_LANGUAGE": expected})
    assert result.returncode == 0, result.stdout
    assert "[       OK ] ShippedResources.AutomaticChoiceFollowsTheUiLanguage" in result.stdout, result.stdout
