// The Log, Meta and System modules: argument checks, run flags and the server-edition answer.
#include "script/HostModules.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/UniqueHandle.h"
#include "base/Utf8.h"
#include "core/Status.h"
#include "script/LuaApi.h"
#include "tests/support/ChildProcess.h"
#include "tests/unit/script/ScriptProbe.h"

namespace {

using QvTest::ScriptProbe;

class HostModules : public ::testing::Test {
 protected:
  void SetUp() override {
    Status::Instance().Reset();
    ASSERT_TRUE(script_.Initialize());
  }
  void TearDown() override { Status::Instance().Reset(); }

  // The error a chunk raised, or "<no error>".
  std::string ErrorOf(const std::string& chunk) {
    return script_.RunChunk(chunk, "=chunk") ? "<no error>" : script_.GetTopString();
  }

  ScriptProbe script_{"C:\\qv\\omnivo.lua", "x = 1"};
};

TEST_F(HostModules, LogFunctionsRequireAStringMessage) {
  EXPECT_EQ(ErrorOf("Log.Info()"), "chunk:1: bad argument #1 to 'Info' (string expected, got no value)");
  EXPECT_EQ(ErrorOf("Log.Debug({})"), "chunk:1: bad argument #1 to 'Debug' (string expected, got table)");
  EXPECT_EQ(ErrorOf("Log.Warning(nil)"), "chunk:1: bad argument #1 to 'Warning' (string expected, got nil)");
  EXPECT_EQ(ErrorOf("Log.Error(true)"), "chunk:1: bad argument #1 to 'Error' (string expected, got boolean)");
  // Numbers are messages too.
  EXPECT_EQ(ErrorOf("Log.Info(5) Log.Error(1.5) Log.Debug('') Log.Warning('w', 'extra')"), "<no error>");
  EXPECT_FALSE(Status::Instance().IsFailed());
}

TEST_F(HostModules, MetaSetsTheRunFlagsWithOptionalMessages) {
  EXPECT_EQ(ErrorOf("Meta.SetFailed({})"),
            "chunk:1: bad argument #1 to 'SetFailed' (string expected, got table)");
  EXPECT_EQ(ErrorOf("Meta.SetRebootNeeded(print)"),
            "chunk:1: bad argument #1 to 'SetRebootNeeded' (string expected, got function)");
  // A bad argument raises before anything is marked.
  EXPECT_FALSE(Status::Instance().IsFailed());
  EXPECT_FALSE(Status::Instance().IsRebootNeeded());

  EXPECT_EQ(ErrorOf("Meta.SetRebootNeeded() Meta.SetRebootNeeded(nil)"), "<no error>");
  EXPECT_TRUE(Status::Instance().IsRebootNeeded());
  EXPECT_FALSE(Status::Instance().IsFailed());
  EXPECT_EQ(ErrorOf("Meta.SetFailed() Meta.SetFailed(nil) Meta.SetFailed(3) Meta.SetFailed('why')"),
            "<no error>");
  EXPECT_TRUE(Status::Instance().IsFailed());
}

// In the child run of ServerAnswerFollowsTheWindowsEdition the expected answer comes from the
// environment; run on its own it must agree with the product type the process started with.
TEST(SystemModule, AnswersServerExactlyForServerEditions) {
  bool expected = false;
  if (const char* child = std::getenv("QV_EXPECT_SERVER")) {
    expected = std::string(child) == "1";
  } else {
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)));
#pragma GCC diagnostic pop
    expected = version.wProductType != VER_NT_WORKSTATION;
  }
  ScriptProbe script("C:\\qv\\server.lua", "server = System.IsWindowsServer()");
  ASSERT_TRUE(script.Initialize());
  EXPECT_EQ(script.Global("server"), expected ? "true" : "false");
}

// Runs `commandLine` with extra environment entries; its exit code and what it printed.
QvTest::ChildResult RunChild(std::wstring commandLine, const wchar_t* extraEnvironment = nullptr) {
  QvTest::ChildOptions options;
  options.errorsIntoOutput = true;
  if (extraEnvironment != nullptr) options.extraEnvironment = extraEnvironment;
  return QvTest::RunChild(std::move(commandLine), QvTest::ChildProcess::kDefaultTimeoutMs, options);
}

std::wstring WinecfgPath() {
  wchar_t system[MAX_PATH]{};
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring path = std::wstring(system, length) + L"\\winecfg.exe";
  return ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : path;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

// Wine's edition is switched with `winecfg -v`, which a process reads when it starts; the answer is
// checked in a child run of this suite under each edition, and the prefix's version put back.
TEST(SystemModule, ServerAnswerFollowsTheWindowsEdition) {
  const std::wstring winecfg = WinecfgPath();
  if (winecfg.empty()) GTEST_SKIP() << "needs Wine's winecfg to switch the Windows edition";
  const std::string original = Trimmed(RunChild(L"\"" + winecfg + L"\" -v").output);
  ASSERT_FALSE(original.empty());
  ASSERT_EQ(original.find(' '), std::string::npos) << original;
  wchar_t self[MAX_PATH]{};
  ASSERT_NE(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  const std::wstring child =
      L"\"" + std::wstring(self) + L"\" --gtest_filter=SystemModule.AnswersServerExactlyForServerEditions";

  // Whatever happens below, the prefix gets its version back.
  ScopeExit restore([&] { RunChild(L"\"" + winecfg + L"\" -v " + QvText::FromAnsi(original)); });
  ASSERT_EQ(RunChild(L"\"" + winecfg + L"\" -v win2008r2").exitCode, 0u);
  const QvTest::ChildResult server = RunChild(child, L"QV_EXPECT_SERVER=1");
  ASSERT_EQ(RunChild(L"\"" + winecfg + L"\" -v win7").exitCode, 0u);
  const QvTest::ChildResult workstation = RunChild(child, L"QV_EXPECT_SERVER=0");
  restore.Dismiss();
  const QvTest::ChildResult restored = RunChild(L"\"" + winecfg + L"\" -v " + QvText::FromAnsi(original));

  EXPECT_EQ(server.exitCode, 0u) << server.output;
  EXPECT_NE(server.output.find("[  PASSED  ] 1 test"), std::string::npos) << server.output;
  EXPECT_EQ(workstation.exitCode, 0u) << workstation.output;
  EXPECT_NE(workstation.output.find("[  PASSED  ] 1 test"), std::string::npos) << workstation.output;
  EXPECT_EQ(restored.exitCode, 0u);
  EXPECT_EQ(Trimmed(RunChild(L"\"" + winecfg + L"\" -v").output), original);
}

}  // namespace
