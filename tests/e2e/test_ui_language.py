"""The language of a run: chosen on the command line, or automatically from the Windows UI language
(set for Wine through LC_ALL); silent errors are printed in it."""
import re
from pathlib import Path

import pytest

from harness import run

STRINGS = Path(__file__).resolve().parents[2] / "resources" / "strings"


def error_generic(language):
    text = (STRINGS / f"{language}.txt").read_text(encoding="utf-8")
    return re.search(r"^ErrorGeneric = (.*)$", text, re.M).group(1)


def used_language(log):
    return re.findall(r" I: UiTool::Prepare: Using language: (\S*)\r\n", log)


@pytest.mark.parametrize("locale,expected", [
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
])
def test_automatic_language_follows_the_ui_language(scriptless_tool, log_since, locale, expected):
    # Without product scripts a silent run ends with the generic error.
    result = run(scriptless_tool, "--silent", env={"LC_ALL": locale})
    assert used_language(log_since()) == [expected]
    assert result.lines[0] == error_generic(expected)


@pytest.mark.parametrize("args,expected", [
    (["--language", "FI"], "fi"),
    (["-l", "zh-tw"], "zh-TW"),
    (["/language=xx"], "pt-BR"),  # unknown: automatic choice, no error
])
def test_language_option(scriptless_tool, log_since, args, expected):
    result = run(scriptless_tool, "--silent", *args, env={"LC_ALL": "pt_BR.UTF-8"})
    assert used_language(log_since()) == [expected]
    assert result.lines[0] == error_generic(expected)
    assert "Error in parameters" not in result.stdout
