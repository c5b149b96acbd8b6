// Log records of the script host, read back from the log file.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/ScriptApi.h"
#include "base/Utf8.h"
#include "core/Status.h"
#include "script/LuaUninstallScript.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ScratchDir.h"

namespace {

using QvTest::LogCapture;
using QvTest::ScratchDir;

size_t CountExact(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

// Index of the first line starting with `prefix`, or lines.size().
size_t FindPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].rfind(prefix, 0) == 0) return i;
  return lines.size();
}

TEST(ScriptLogLines, LoadFailuresGiveTheStatusTheErrorAndTheStack) {
  LogCapture log;
  ASSERT_TRUE(log.Start());
  ScratchDir dir;
  ASSERT_TRUE(dir.Write(L"syntax.lua", "function broken(\n"));
  ASSERT_TRUE(dir.Write(L"table.lua", "error({})\n"));
  const std::string syntax = dir.AnsiPath() + "\\syntax.lua";
  const std::string missing = dir.AnsiPath() + "\\missing.lua";
  const std::string table = dir.AnsiPath() + "\\table.lua";
  EXPECT_FALSE(LuaScript(syntax, Lua::RegisterScriptApi).Initialize());
  EXPECT_FALSE(LuaScript(missing, Lua::RegisterScriptApi).Initialize());
  EXPECT_FALSE(LuaScript(table, Lua::RegisterScriptApi).Initialize());

  const std::vector<std::string> lines = log.Lines();
  const std::string head = "*E: LuaScript::Initialize: Load '";
  const size_t syntaxAt = FindPrefix(lines, head + syntax + "' failed with 3. Error: " + syntax + ":2:");
  ASSERT_LT(syntaxAt + 2, lines.size()) << log.Text();
  EXPECT_EQ(lines[syntaxAt + 1], "*E: *** LUA STACK: ***");
  EXPECT_EQ(lines[syntaxAt + 2].rfind("'" + syntax + ":2:", 0), 0u) << lines[syntaxAt + 2];
  EXPECT_LT(FindPrefix(lines, head + missing + "' failed with 7. Error: cannot open " + missing),
            lines.size())
      << log.Text();
  // A table as error value has no text.
  const size_t tableAt = FindPrefix(lines, head + table + "' failed with 2. Error: ");
  ASSERT_LT(tableAt + 2, lines.size()) << log.Text();
  EXPECT_EQ(lines[tableAt], head + table + "' failed with 2. Error: ");
  EXPECT_EQ(lines[tableAt + 2], "table  ");
}

TEST(ScriptLogLines, ContractCallsLogTheirFailures) {
  LogCapture log;
  ASSERT_TRUE(log.Start());
  Status::Instance().Reset();
  ScratchDir dir;
  ASSERT_TRUE(dir.Write(L"raises.lua",
                        "function GetProductId() return 'r' end\n"
                        "function DetectProduct() return true end\n"
                        "function CleanupProduct() error('x') end\n"));
  const std::string path = dir.AnsiPath() + "\\raises.lua";
  LuaUninstallScript script(path, Lua::RegisterScriptApi);
  ASSERT_TRUE(script.Initialize());
  EXPECT_FALSE(script.CleanupProduct());
  EXPECT_FALSE(script.CallLuaFunction("Missing"));
  LuaUninstallScript library("C:\\qv\\lib_common.lua", Lua::RegisterScriptApi,
                             "function GetProductId() end\nfunction DetectProduct() end\n");
  ASSERT_TRUE(library.Initialize());
  EXPECT_FALSE(library.IsValidScript());
  Status::Instance().Reset();

  const std::vector<std::string> lines = log.Lines();
  EXPECT_EQ(
      CountExact(lines, "*E: LuaUninstallScript::CallLuaFunction: Error 2 calling 'CleanupProduct'. Error: " +
                            path + ":3: x"),
      1u)
      << log.Text();
  EXPECT_EQ(CountExact(lines, "'" + path + ":3: x'  "), 1u) << log.Text();
  EXPECT_EQ(
      CountExact(lines, "*E: LuaUninstallScript::CallLuaFunction: Could not find lua function 'Missing'"), 1u)
      << log.Text();
  EXPECT_EQ(CountExact(lines,
                       " D: LuaUninstallScript::IsValidScript: 'C:\\qv\\lib_common.lua' is not a valid "
                       "uninstall script, treating it as library"),
            1u)
      << log.Text();
}

TEST(ScriptLogLines, HostModulesWriteUnderTheScriptName) {
  LogCapture log;
  ASSERT_TRUE(log.Start());
  Status::Instance().Reset();
  ScratchDir dir;
  ASSERT_TRUE(dir.Write(L"omnivo.lua",
                        "Log.Info('x') Log.Info(5) Log.Debug('d') Log.Warning('w') Log.Error('e')\n"
                        "Meta.SetFailed() Meta.SetFailed('why')\n"
                        "Meta.SetRebootNeeded('first') Meta.SetRebootNeeded()\n"));
  LuaScript script(dir.AnsiPath() + "\\omnivo.lua", Lua::RegisterScriptApi);
  ASSERT_TRUE(script.Initialize());
  Status::Instance().Reset();

  const std::vector<std::string> lines = log.Lines();
  for (const char* line :
       {" I: [omnivo.lua] x", " I: [omnivo.lua] 5", " D: [omnivo.lua] d", ".W: [omnivo.lua] w",
        "*E: [omnivo.lua] e", "*F: [omnivo.lua] ", "*F: [omnivo.lua] why",
        " I: [omnivo.lua] Reboot needed: first", " I: [omnivo.lua] Reboot needed: "})
    EXPECT_EQ(CountExact(lines, line), 1u) << line << "\n" << log.Text();
  EXPECT_EQ(CountExact(lines, " I: Status::SetRebootNeeded: Reboot is needed (LUA script request)"), 1u)
      << log.Text();
}

// Line breaks in script text are written as "\r" and "\n": each call stays one whole record.
TEST(ScriptLogLines, ScriptTextCannotStartRecords) {
  LogCapture log;
  ASSERT_TRUE(log.Start());
  ScratchDir dir;
  ASSERT_TRUE(dir.Write(L"forge.lua", R"lua(
    Log.Info('a\r\n2024-01-01 00:00:00.000 [1.1] *F: forged') Meta.SetRebootNeeded('\ne')
    load("Log.Warning('w')", '@C:\\x\\evil\r\n.lua')()
    function CleanupProduct() error('x\r\ny') end)lua"));
  const std::string path = QvText::ToUtf8(dir.Path()) + "\\forge.lua";
  LuaUninstallScript script(path, Lua::RegisterScriptApi);
  ASSERT_TRUE(script.Initialize());
  EXPECT_FALSE(script.CleanupProduct());
  Status::Instance().Reset();

  const std::vector<std::string> lines = log.Lines();
  for (const std::string& line :
       {std::string(" I: [forge.lua] a\\r\\n2024-01-01 00:00:00.000 [1.1] *F: forged"),
        std::string(" I: [forge.lua] Reboot needed: \\ne"), std::string(".W: [evil\\r\\n.lua] w"),
        "*E: LuaUninstallScript::CallLuaFunction: Error 2 calling 'CleanupProduct'. Error: " + path +
            ":4: x\\r\\ny",
        std::string("*E: *** LUA STACK: ***"), "'" + path + ":4: x\\r\\ny'  "})
    EXPECT_EQ(CountExact(lines, line), 1u) << line << "\n" << log.Text();
}

}  // namespace
