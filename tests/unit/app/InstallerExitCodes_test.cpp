// The Installer form of the exit codes (--msi-exit-codes) and how the command line asks for it.
#include <gtest/gtest.h>

#include <tuple>

#include "app/ExitCode.h"
#include "app/UiTool.h"

namespace {

TEST(InstallerExitCodes, EachOutcomeHasTheInstallersCode) {
  // clang-format off
  const std::tuple<int, bool, int> cases[] = {
      {ExitSuccess, false, 0}, {ExitRestartNeeded, false, 3010}, {ExitRestartNeeded, true, 1641},
      {ExitUserCancelled, false, 1602}, {ExitAlreadyRunning, false, 1618}, {ExitFailure, false, 1603},
      {ExitNoAdminRights, false, 5}, {ExitSuccess, true, 0}, {42, false, 1603}};
  // clang-format on
  for (const auto& [code, triggered, expected] : cases)
    EXPECT_EQ(ToInstallerExitCode(code, triggered), expected) << code << " " << triggered;
}

TEST(InstallerExitCodes, AskedForByTheParsersLongForms) {
  const std::tuple<const wchar_t*, bool> cases[] = {
      {L"t.exe -s --MSI-Exit-Codes", true},  {L"t.exe /msi-exit-codes= -s", true},
      {L"t.exe \"--msi-exit-codes\"", true}, {L"--msi-exit-codes", false},  // the program path only
      {L"t.exe msi-exit-codes", false},      {L"t.exe -msi-exit-codes", false},
      {L"t.exe --msi-exit-codes2", false},
  };
  for (const auto& [line, expected] : cases)
    EXPECT_EQ(UiTool::AsksForInstallerExitCodes(line), expected) << line;
}

}  // namespace
