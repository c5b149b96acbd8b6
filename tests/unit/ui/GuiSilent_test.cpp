// The silent UI manager: selection rule, answers, and the error texts it prints.
#include "ui/GuiSilent.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/UniqueHandle.h"
#include "base/Utf8.h"
#include "core/QvOptionParser.h"
#include "core/Settings.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeProduct.h"

namespace {

using QvTest::FakeProduct;

ProductList Products() {
  return {std::make_shared<FakeProduct>(L"omnivo", L"", true, false),
          std::make_shared<FakeProduct>(L"logs", L"", true, true),
          std::make_shared<FakeProduct>(L"Logs", L"", true, false),
          std::make_shared<FakeProduct>(L"quarantine", L"", true, true),
          std::make_shared<FakeProduct>(L"logs2", L"", true, false)};
}

std::vector<bool> Selection(const ProductList& products) {
  std::vector<bool> selected;
  for (const auto& product : products) selected.push_back(product->IsSelected());
  return selected;
}

// The process-wide parser holding the tool's options, parsed from `tokens`.
void ParseOptions(const std::vector<std::wstring>& tokens) {
  QvOptionParser& parser = QvOptionParser::Instance();
  parser.Reset();
  parser.AddOption(OptionNoValue, L"silent", L's');
  parser.AddOption(OptionNoValue, L"restart", L'r');
  parser.AddOption(OptionValueRequired, L"products", L'p');
  ASSERT_TRUE(parser.Parse(tokens)) << parser.GetError();
}

TEST(GuiSilent, WithoutNamedProductsSelectsEverythingButLogs) {
  ParseOptions({L"--silent"});
  GuiSilent ui;
  ProductList products = Products();
  EXPECT_EQ(AnswerOk, ui.ShowSelect(products));
  EXPECT_EQ((std::vector<bool>{true, false, true, true, true}), Selection(products));
}

TEST(GuiSilent, NamedProductsKeepTheirSelection) {
  ParseOptions({L"-s", L"-p", L"logs"});
  GuiSilent ui;
  ProductList products = Products();
  const std::vector<bool> before = Selection(products);
  EXPECT_EQ(AnswerOk, ui.ShowSelect(products));
  EXPECT_EQ(before, Selection(products));
}

TEST(GuiSilent, AnswersGoOnAndOnlyAnAllowedRestartIsAccepted) {
  for (bool restart : {false, true}) {
    SCOPED_TRACE(restart);
    ParseOptions(restart ? std::vector<std::wstring>{L"-s", L"-r"} : std::vector<std::wstring>{L"-s"});
    GuiSilent ui;
    EXPECT_TRUE(ui.Initialize());
    EXPECT_EQ(AnswerOk, ui.ShowWelcome());
    ui.ShowProgress();
    EXPECT_EQ(AnswerCancel, ui.ShowMessage(MessageFinished));
    EXPECT_EQ(AnswerCancel, ui.ShowMessage(-1));
    EXPECT_EQ(AnswerCancel, ui.ShowMessage(4));
    EXPECT_EQ(restart ? AnswerOk : AnswerCancel, ui.ShowMessage(MessageFinishedReboot));
    ui.Shutdown();
  }
}

// The console check runs in a child copy of this program (its standard output redirected to a
// file): it loads the shipped texts, chooses the language named in the variable and asks for every
// message kind, then exits before any test runs.
constexpr wchar_t kChildVariable[] = L"QV_GUISILENT_CHILD_LANGUAGE";

bool RunChildIfAsked() {
  wchar_t language[32] = {};
  if (::GetEnvironmentVariableW(kChildVariable, language, 32) == 0) return false;
  const std::wstring exe = QvTest::ProgramFolder() + L"UninstallationTool.exe";
  UniqueModule module(::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  auto& settings = BrelResLib::Settings::Instance();
  if (!module || settings.LoadResources(module.get(), 102, 101) != 0) ::ExitProcess(3);
  settings.SetLanguage(QvText::ToUtf8(language));
  GuiSilent ui;
  for (int kind = -1; kind <= 4; ++kind) ui.ShowMessage(kind);
  ::ExitProcess(0);
}
const bool childRan = RunChildIfAsked();

// Runs the child with `language`; its exit code and what it printed.
std::pair<DWORD, std::string> RunChild(const wchar_t* language) {
  QvTest::ChildOptions options;
  options.errorsIntoOutput = true;
  options.extraEnvironment = std::wstring(kChildVariable) + L"=" + language;
  wchar_t self[MAX_PATH + 1] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
  const QvTest::ChildResult result = QvTest::RunChild(L"\"" + std::wstring(self) + L"\"", 60000, options);
  return {result.exitCode, result.output};
}

TEST(GuiSilentConsole, PrintsTheLocalisedErrorTextsOnly) {
  ASSERT_FALSE(childRan);
  const std::wstring exe = QvTest::ProgramFolder() + L"UninstallationTool.exe";
  UniqueModule module(::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(module.valid()) << "the tool must be built next to the tests";
  auto& settings = BrelResLib::Settings::Instance();
  ASSERT_EQ(0u, settings.LoadResources(module.get(), 102, 101));

  for (const char* language : {"en", "ru", "ja"}) {
    SCOPED_TRACE(language);
    const auto [code, printed] = RunChild(QvText::FromUtf8(language).c_str());
    ASSERT_EQ(0u, code);
    const std::string expected = QvText::ToUtf8(settings.GetString("ErrorGeneric", language)) + "\n" +
                                 QvText::ToUtf8(settings.GetString("ErrorPrivileges", language)) + "\n";
    EXPECT_EQ(expected, printed);
  }
  const auto [code, printed] = RunChild(L"en");
  EXPECT_EQ(0u, printed.find("Could not complete the uninstallation successfully.\nThis tool requires "));
}

}  // namespace
