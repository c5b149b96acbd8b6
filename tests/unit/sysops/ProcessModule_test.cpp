// The Process module through a real Lua state on real processes: the match rules, termination of
// copies of the print_chunks helper started from two folders, started programs with their waits
// and exit codes, and their output captured into the log.
#include "sysops/ProcessModule.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/Utf8.h"
#include "core/RunDeadline.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LuaChunk.h"
#include "tests/support/ScratchDir.h"

using namespace QvTest;
using Lua::Process::MatchRule;

namespace {

std::string Utf8(const std::wstring& text) { return QvText::ToUtf8(text); }

// A copy of print_chunks under `path`, so that only this test's processes carry its name.
bool CopyHelper(const std::wstring& path) {
  return ::CopyFileW((ProgramFolder() + L"print_chunks.exe").c_str(), path.c_str(), FALSE) != 0;
}

// Lines the reader logged under `logName`, in order.
std::vector<std::wstring> CapturedLines(const LogCapture& capture, const std::wstring& logName) {
  std::vector<std::wstring> lines;
  const std::wstring prefix = L"[" + logName + L"] ";
  for (const LogRecord& record : capture.Records())
    if (record.tag.empty() && record.text.starts_with(prefix))
      lines.push_back(record.text.substr(prefix.size()));
  return lines;
}

}  // namespace

TEST(ProcessModuleTest, MatchRules) {
  struct Case {
    MatchRule rule;
    const wchar_t* argument;
    const wchar_t* path;
    bool matches;
  };
  const Case cases[] = {
      {MatchRule::AllFromPath, L"C:\\Prog", L"C:\\Prog\\a.exe", true},
      {MatchRule::AllFromPath, L"C:\\Prog", L"C:\\PROG\\sub\\b.exe", true},
      {MatchRule::AllFromPath, L"C:\\Prog\\", L"C:\\prog\\a.exe", true},
      {MatchRule::AllFromPath, L"C:\\Prog", L"C:\\Program\\c.exe", false},
      {MatchRule::AllFromPath, L"C:\\Prog", L"C:\\Prog\\", false},  // the folder itself is not below it
      {MatchRule::AllFromPath, L"", L"C:\\Prog\\a.exe", false},
      {MatchRule::ByPath, L"c:\\prog\\A.EXE", L"C:\\Prog\\a.exe", true},
      {MatchRule::ByPath, L"C:\\Prog\\a.exe", L"C:\\Prog\\a.exe.bak", false},
      {MatchRule::ByPath, L"", L"C:\\Prog\\a.exe", false},
      {MatchRule::ByName, L"A.EXE", L"C:\\Prog\\a.exe", true},
      {MatchRule::ByName, L"a", L"C:\\Prog\\a.exe", false},
      {MatchRule::ByName, L"Prog", L"C:\\Prog\\a.exe", false},
      {MatchRule::ByName, L"", L"C:\\Prog\\a.exe", false},
      {MatchRule::ByNameMask, L"a*.exe", L"C:\\Prog\\abc.exe", true},
      {MatchRule::ByNameMask, L"a*.exe", L"C:\\Prog\\ABC.EXE", false},
      {MatchRule::ByNameMask, L"?.exe", L"C:\\Prog\\a.exe", true},
      {MatchRule::ByNameMask, L"?.exe", L"C:\\Prog\\ab.exe", false},
      {MatchRule::ByNameMask, L"*", L"C:\\Prog\\a.exe", true},
      {MatchRule::ByNameMask, L"", L"C:\\Prog\\a.exe", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Lua::Process::Matches(c.rule, c.path, c.argument), c.matches)
        << static_cast<int>(c.rule) << " '" << Utf8(c.argument) << "' on '" << Utf8(c.path) << "'";
}

// Copies of one program run from C:\...\Prog and C:\...\Program; each call ends only its matches
// and the others are still running afterwards.
TEST(ProcessModuleTest, TerminatesOnlyMatchingProcesses) {
  ScratchDir dir;
  const std::wstring prog = dir.Path() + L"\\Prog";
  const std::wstring program = dir.Path() + L"\\Program";
  const std::wstring stem = L"qvp" + std::to_wstring(::GetCurrentProcessId());
  const std::wstring paths[] = {prog + L"\\" + stem + L"a.exe", program + L"\\" + stem + L"b.exe"};
  ASSERT_TRUE(MakeFolder(prog) && MakeFolder(program) && CopyHelper(paths[0]) && CopyHelper(paths[1]));
  struct Case {
    std::string call;
    bool endsA;
    bool endsB;
    const char* result = "n:1 boolean:true";
    // B has not begun to run: the system knows its image, its loader list does not exist yet.
    bool freshB = false;
  };
  const std::string upperStem = Utf8(stem).substr(0, 3) == "qvp" ? "QVP" + Utf8(stem).substr(3) : "";
  const Case cases[] = {
      {"TerminateAllFromPath([[" + Utf8(prog) + "]])", true, false},
      {"TerminateAllFromPath([[" + Utf8(dir.Path()) + "\\PROGRAM\\]])", false, true},
      {"TerminateAllFromPath([[" + Utf8(program) + "]])", false, true, "n:1 boolean:true", true},
      {"TerminateByPath([[" + Utf8(program) + "\\" + upperStem + "B.EXE]])", false, true},
      {"TerminateByName('" + upperStem + "A.EXE')", true, false},
      {"TerminateByNameMask('" + Utf8(stem) + "?.exe')", true, true},
      {"TerminateByNameMask('" + upperStem + "*')", false, false},
      {"TerminateAllFromPath('')", false, false},
      // Text Windows would rewrite into the folder of A is refused, not matched.
      {"TerminateAllFromPath([[" + Utf8(program) + "\\..\\Prog]])", false, false, "n:1 boolean:false"},
      {"TerminateAllFromPath([[" + Utf8(prog) + ".]])", false, false, "n:1 boolean:false"},
      {"TerminateAllFromPath([[" + Utf8(prog) + " \\]])", false, false, "n:1 boolean:false"},
      {"TerminateAllFromPath([[" + Utf8(dir.Path()) + "/Prog]])", false, false, "n:1 boolean:false"},
  };
  LuaChunk lua;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    ChildProcess a(L"\"" + paths[0] + L"\" 0 p:60000");
    ChildOptions options;
    if (c.freshB) options.creationFlags = CREATE_SUSPENDED;
    ChildProcess b(L"\"" + paths[1] + L"\" 0 p:60000", options);
    ASSERT_TRUE(a.Started() && b.Started());
    EXPECT_EQ(lua.Run("return Process." + c.call), c.result);
    EXPECT_EQ(a.Wait(c.endsA ? 5000 : 0), c.endsA);
    EXPECT_EQ(b.Wait(c.endsB ? 5000 : 0), c.endsB);
    if (c.endsA) {
      EXPECT_EQ(a.ExitCode(), 0u);
    }
  }
}

// Started programs: exit codes, the time-out (the child keeps running), the nil that ends the
// optional arguments, and the command line of a program started without arguments.
TEST(ProcessModuleTest, StartAndWait) {
  ScratchDir dir;
  const std::wstring path = dir.Path() + L"\\waited.exe";
  ASSERT_TRUE(CopyHelper(path));
  const std::string p = "[[" + Utf8(path) + "]]";
  LuaChunk lua;
  LogCapture capture;
  ASSERT_TRUE(capture.Start());
  const std::string tag = "Lua::Process::StartProcessWithArgumentsAndWaitForCompletion";
  struct Case {
    std::string arguments;
    bool result;
    int level;
    std::wstring line;
  };
  const Case cases[] = {
      {", '1'", false, QvBrelLogging::LevelInfo, L"Process completed, exit code : 1 (as int:1)"},
      {", '0xFFFFFFFF'", false, QvBrelLogging::LevelInfo,
       L"Process completed, exit code : 4294967295 (as int:-1)"},
      {", '0 w:6869 p:20000', 300", false, QvBrelLogging::LevelError, L"Process wait timeout 300 ms elapsed"},
      // The nil ends the list: the 300 ms is not read and the default 30 s applies.
      {", '0 p:1000', nil, 300", true, QvBrelLogging::LevelInfo,
       L"Create process:'" + path +
           L"' with args:'0 p:1000', mode:0x8, wait timeout(msecs):30000, working dir:, "
           L"log name:, output code page:CP_UTF8 (65001)"},
      {", '', 60000, CreationFlags_DETACHED_PROCESS, '', 'cmd'", true, QvBrelLogging::LevelInfo,
       L"[cmd] \"" + path + L"\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    EXPECT_EQ(lua.Run("return Process.StartProcessAndWaitForCompletion(" + p + c.arguments + ")"),
              c.result ? "n:1 boolean:true" : "n:1 boolean:false");
    EXPECT_EQ(capture.Count(c.level, c.line.starts_with(L"[") ? "" : tag, c.line), 1) << capture.Text();
  }
  // The timed-out child was left running: it is there to be terminated now.
  EXPECT_EQ(lua.Run("return Process.TerminateByPath(" + p + ")"), "n:1 boolean:true");
  EXPECT_EQ(capture.CountStartingWith(QvBrelLogging::LevelInfo, "Lua::Process::TerminateProcesses",
                                      L"Terminating process ["),
            1);
  EXPECT_EQ(CapturedLines(capture, L"cmd").size(), 1u);

  EXPECT_EQ(lua.Run("return Process.StartProcess(" + p + ", '0')"), "n:1 boolean:true");
  EXPECT_EQ(lua.Run("return Process.StartProcess([[C:\\no\\such.exe]])"), "n:1 boolean:false");
  EXPECT_EQ(capture.Count(QvBrelLogging::LevelError, "Lua::Process::StartProcessWithArguments",
                          L"Failed to create process : 2") +
                capture.Count(QvBrelLogging::LevelError, "Lua::Process::StartProcessWithArguments",
                              L"Failed to create process : 3"),
            1);
  EXPECT_EQ(lua.Run("return CreationFlags_CREATE_IGNORE_SYSTEM_DEFAULT, CP_UTF8, CP_ACP, CP_OEMCP"),
            "n:4 number:-2147483648 number:65001 number:0 number:1");
}

// A run deadline that has passed ends the wait for a started program at once, with or without its
// output captured, as the wait's own time-out would (same message); the program is left running.
TEST(ProcessModuleTest, PassedDeadlineEndsWaits) {
  ScratchDir dir;
  const std::wstring path = dir.Path() + L"\\cut.exe";
  ASSERT_TRUE(CopyHelper(path));
  const std::string p = "[[" + Utf8(path) + "]]";
  LuaChunk lua;
  LogCapture capture;
  ASSERT_TRUE(capture.Start());
  {
    RunDeadline::Instance().Start(0);
    const ScopeExit clear([] { RunDeadline::Instance().Clear(); });
    for (const char* capturing : {"", ", CreationFlags_DETACHED_PROCESS, '', 'cut'"}) {
      const ULONGLONG started = ::GetTickCount64();
      EXPECT_EQ(lua.Run("return Process.StartProcessAndWaitForCompletion(" + p + ", '0 p:20000', 60000" +
                        capturing + ")"),
                "n:1 boolean:false");
      EXPECT_LT(::GetTickCount64() - started, 5000u);
    }
  }
  EXPECT_EQ(
      capture.Count(QvBrelLogging::LevelError, "Lua::Process::StartProcessWithArgumentsAndWaitForCompletion",
                    L"Process wait timeout 60000 ms elapsed"),
      2);
  EXPECT_EQ(lua.Run("return Process.TerminateByPath(" + p + ")"), "n:1 boolean:true");
  EXPECT_EQ(capture.CountStartingWith(QvBrelLogging::LevelInfo, "Lua::Process::TerminateProcesses",
                                      L"Terminating process ["),
            2);
}

// Output capture: lines split across reads, empty lines dropped, a last line without a break, the
// OEM code page, and a grandchild that keeps the pipe open without holding up the call.
TEST(ProcessModuleTest, CapturesOutputLines) {
  ScratchDir dir;
  const std::wstring path = dir.Path() + L"\\captured.exe";
  ASSERT_TRUE(CopyHelper(path));
  const std::string p = "[[" + Utf8(path) + "]]";
  LuaChunk lua;
  LogCapture capture;
  ASSERT_TRUE(capture.Start());
  struct Case {
    const char* steps;
    const char* codePage;
    std::vector<std::wstring> lines;
  };
  const Case cases[] = {
      {"w:610d p:300 w:0a62", "CP_UTF8", {L"a", L"b"}},
      {"w:780a0a0d0a0d79", "CP_UTF8", {L"x", L"y"}},
      {"w:6f6e65 p:300 w:2074776f", "CP_UTF8", {L"one two"}},
      {"w:c3bc0a", "CP_UTF8", {L"\u00fc"}},
      {"w:810a", "CP_OEMCP", {L"\u00fc"}},
      {"w:6869 p:100 w:003132330a", "CP_UTF8", {L"hi"}},  // a NUL ends the chunk
      {"g:30000 w:6f6b0a", "CP_UTF8", {L"ok"}},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.steps);
    const std::string logName = "cap" + std::to_string(++index);
    const ULONGLONG started = ::GetTickCount64();
    EXPECT_EQ(lua.Run("return Process.StartProcessAndWaitForCompletion(" + p + ", '0 " + c.steps +
                      "', 20000, CreationFlags_DETACHED_PROCESS, '', '" + logName + "', " + c.codePage + ")"),
              "n:1 boolean:true");
    EXPECT_LT(::GetTickCount64() - started, 10000u);
    EXPECT_EQ(CapturedLines(capture, QvText::FromUtf8(logName)), c.lines) << capture.Text();
  }
  EXPECT_EQ(lua.Run("return Process.TerminateByPath(" + p + ")"), "n:1 boolean:true");  // the grandchild
}
