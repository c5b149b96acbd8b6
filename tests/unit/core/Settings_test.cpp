// The settings store: lookups, language choice, overrides, and the resources the tool ships with.
#include "core/Settings.h"

#include <gtest/gtest.h>

#include "base/UniqueHandle.h"
#include "tests/support/ScratchDir.h"

namespace {

// A fresh store per test (the process-wide one is shared).
class TestSettings : public BrelResLib::Settings {
 public:
  TestSettings() = default;
};

const char kSettings[] =
    "LuaCopyright\x03Lua notice\x02\x01"
    "UrlEULT\x02"
    "de\x03https://x.example/deu.html\x02"
    "en\x03https://x.example/enu.html\x02\x01"
    "Shared\x02"
    "en\x03"
    "from settings\x02\x01";
const char kStrings[] =
    "Title\x02"
    "de\x03Titel\x02"
    "en\x03Title\x02"
    "fi\x03Otsikko\x02\x01"
    "Shared\x02"
    "en\x03"
    "from strings\x02\x01";

const char* const kLanguages[] = {"bg", "cs", "da",    "de", "el",    "en",   "es", "es-MX", "et",
                                  "fi", "fr", "fr-CA", "hr", "hu",    "it",   "ja", "ko",    "lt",
                                  "nl", "no", "pl",    "pt", "pt-BR", "ro",   "ru", "sl",    "sr",
                                  "sv", "tr", "vi",    "zh", "zh-HK", "zh-TW"};
const char* const kKeys[] = {"Cancel",
                             "Close",
                             "CopyrightQV",
                             "Detected",
                             "Disabled",
                             "ErrorGeneric",
                             "ErrorPrivileges",
                             "Finished",
                             "FinishedReboot",
                             "Name",
                             "Next",
                             "ProductId_zorv_quarantine",
                             "ProductId_logs",
                             "ProductId_omnivo",
                             "ProductId_quarantine",
                             "RadioAll",
                             "RadioSelect",
                             "Reboot",
                             "Removing",
                             "Start",
                             "Title",
                             "Welcome"};

TEST(Settings, StringsByKeyAndLanguage) {
  TestSettings settings;
  settings.Parse(kSettings, kStrings);
  settings.SetCurrentLanguage("de");
  EXPECT_EQ(L"Titel", settings.GetString("Title"));
  EXPECT_EQ(L"Titel", settings.GetString("TITLE"));  // keys ignore case
  EXPECT_EQ(L"Otsikko", settings.GetString("Title", "fi"));
  EXPECT_EQ(L"\x25BATitle", settings.GetString("Title", "FI"));  // codes do not
  EXPECT_EQ(
      L"\x25BA"
      L"Foo",
      settings.GetString("Foo"));
  EXPECT_EQ(L"from settings", settings.GetString("Shared", "en"));  // the settings table comes first
  EXPECT_EQ(L"https://x.example/deu.html", settings.GetString("UrlEULT"));
}

TEST(Settings, SettingsFollowTheLanguageAndFallBackToPlainValues) {
  TestSettings settings;
  settings.Parse(kSettings, kStrings);
  EXPECT_EQ(L"Lua notice", settings.GetSetting("LuaCopyright"));  // before any language is chosen
  EXPECT_EQ(L"", settings.GetSetting("UrlEULT"));
  settings.SetCurrentLanguage("de");
  EXPECT_EQ(L"https://x.example/deu.html", settings.GetSetting("urleult"));
  EXPECT_EQ(L"Lua notice", settings.GetSetting("LuaCopyright"));
  settings.SetCurrentLanguage("fi");
  EXPECT_EQ(L"", settings.GetSetting("UrlEULT"));  // no link for that language
  EXPECT_EQ(L"", settings.GetSetting("Title"));    // the strings table is not consulted
}

TEST(Settings, OverridesWinUntilCleared) {
  TestSettings settings;
  settings.Parse(kSettings, kStrings);
  settings.SetCurrentLanguage("en");
  settings.SetSetting("UrlEULT", L"https://first.example/");
  settings.SetSetting("URLEULT", L"https://\x00FC.example/");
  EXPECT_EQ(L"https://\x00FC.example/", settings.GetSetting("UrlEULT"));
  settings.SetSetting("Unknown", L"value");
  EXPECT_EQ(L"value", settings.GetSetting("Unknown"));

  settings.Clear();
  EXPECT_EQ("", settings.GetLanguage());
  EXPECT_EQ(L"", settings.GetSetting("UrlEULT"));
  EXPECT_EQ(L"", settings.GetSetting("LuaCopyright"));
  EXPECT_EQ(L"\x25BATitle", settings.GetString("Title", "en"));
  EXPECT_TRUE(settings.GetLanguages().empty());
}

TEST(Settings, LanguagesComeFromTheSettingsTableElseFromTheStrings) {
  TestSettings settings;
  settings.Parse(kSettings, kStrings);
  EXPECT_EQ((std::set<std::string>{"de", "en"}), settings.GetLanguages());
  settings.Parse("LuaCopyright\x03only plain\x02\x01", kStrings);
  EXPECT_EQ((std::set<std::string>{"de", "en", "fi"}), settings.GetLanguages());
  settings.Parse("",
                 "K\x02zh-TW\x03x\x02zh\x03x\x02zh-HK\x03x\x02"
                 "es-MX\x03x\x02"
                 "es\x03x\x02"
                 "et\x03x\x02\x01");
  const std::set<std::string> languages = settings.GetLanguages();
  EXPECT_EQ((std::vector<std::string>{"es", "es-MX", "et", "zh", "zh-HK", "zh-TW"}),
            std::vector<std::string>(languages.begin(), languages.end()));
}

TEST(Settings, ExplicitLanguageIsValidatedAndUnknownCodesFallBackToTheAutomaticChoice) {
  TestSettings settings;
  settings.Parse(kSettings, kStrings);
  settings.SetLanguage("DE");
  EXPECT_EQ("de", settings.GetLanguage());
  settings.SetLanguage("");
  const std::string automatic = settings.GetLanguage();
  ASSERT_FALSE(automatic.empty());
  settings.SetLanguage("fi");  // in the strings only: the settings table decides what is available
  EXPECT_EQ(automatic, settings.GetLanguage());
  settings.SetLanguage("xx");
  EXPECT_EQ(automatic, settings.GetLanguage());

  TestSettings empty;
  empty.SetLanguage("en");
  EXPECT_EQ("", empty.GetLanguage());
}

TEST(Settings, LoadResourcesReportsAMissingResource) {
  TestSettings settings;
  settings.Parse(kSettings, kStrings);
  // The test program carries no RCDATA resources at all.
  EXPECT_NE(0u, settings.LoadResources(::GetModuleHandleW(nullptr), 102, 101));
  EXPECT_EQ(L"Titel", settings.GetString("Title", "de"));  // nothing replaced
  // Id 0 means "no resource": both tables become empty.
  EXPECT_EQ(0u, settings.LoadResources(::GetModuleHandleW(nullptr), 0, 0));
  EXPECT_EQ(L"\x25BATitle", settings.GetString("Title", "de"));
}

class ShippedResources : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring exe = QvTest::ProgramFolder() + L"UninstallationTool.exe";
    module_.reset(::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module_.valid()) << "the tool must be built next to the tests";
    ASSERT_EQ(0u, settings_.LoadResources(module_.get(), 102, 101));
  }
  UniqueModule module_;
  TestSettings settings_;
};

TEST_F(ShippedResources, EveryLanguageHasEveryText) {
  const std::set<std::string> languages = settings_.GetLanguages();
  EXPECT_EQ(std::set<std::string>(std::begin(kLanguages), std::end(kLanguages)), languages);
  for (const char* language : kLanguages) {
    for (const char* key : kKeys) {
      const std::wstring text = settings_.GetString(key, language);
      EXPECT_FALSE(text.empty() || text[0] == L'\x25BA') << language << " " << key;
    }
    const std::wstring copyright = settings_.GetString("CopyrightQV", language);
    EXPECT_NE(std::wstring::npos, copyright.find(L"%YEAR%")) << language;
    const size_t open = copyright.find(L"[#]");
    EXPECT_NE(std::wstring::npos, copyright.find(L"[#]", open + 4)) << language;
  }
  EXPECT_EQ(L"Could not complete the uninstallation successfully.",
            settings_.GetString("ErrorGeneric", "en"));
  EXPECT_EQ(L"Next", settings_.GetString("Start", "en"));
  EXPECT_EQ(L"Found", settings_.GetString("Detected", "en"));
}

TEST_F(ShippedResources, NoticesAndLicenceLinks) {
  const std::wstring lua = settings_.GetSetting("LuaCopyright");
  EXPECT_EQ(0u, lua.find(L"Lua 5.3.")) << lua;
  EXPECT_NE(std::wstring::npos, lua.find(L"Lua.org, PUC-Rio"));
  const std::wstring zlib = settings_.GetSetting("ZlibCopyright");
  EXPECT_EQ(0u, zlib.find(L"zlib 1.2.")) << zlib;
  EXPECT_NE(std::wstring::npos, zlib.find(L"Jean-loup Gailly and Mark Adler"));

  std::set<std::wstring> links;
  for (const char* language : kLanguages) {
    settings_.SetLanguage(language);
    ASSERT_EQ(language, settings_.GetLanguage());
    const std::wstring url = settings_.GetSetting("UrlEULT");
    EXPECT_EQ(0u, url.find(L"https://www.quorvel.example/")) << language;
    const size_t slash = url.rfind(L'/');
    EXPECT_EQ(slash + 9, url.size()) << "a three-letter page name: " << language;
    EXPECT_EQ(L".html", url.substr(url.size() - 5));
    links.insert(url);
    EXPECT_EQ(lua, settings_.GetSetting("LuaCopyright"));
  }
  EXPECT_EQ(std::size(kLanguages), links.size()) << "one page per language";
}

}  // namespace
