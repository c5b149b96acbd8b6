// The script host: state set-up, module paths, loading, chunks, the top string and the stack dump.
#include "script/LuaScript.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "base/UniqueHandle.h"
#include "base/Utf8.h"
#include "core/RunDeadline.h"
#include "script/LuaApi.h"
#include "tests/support/ScratchDir.h"
#include "tests/unit/script/ScriptProbe.h"

namespace {

using QvTest::ScratchDir;
using QvTest::ScriptProbe;

TEST(LuaScript, ScriptFolderIsTheDirectoryAndTheOnlyModulePath) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Created());
  ASSERT_TRUE(dir.Write(L"lib_common.lua",
                        "local M = {}\nM.answer = 42\nM.source = debug.getinfo(1, 'S').source\n"
                        "return M\n"));
  ASSERT_TRUE(dir.Write(L"main.lua",
                        "local lib = require('lib_common')\nanswer = lib.answer\n"
                        "libSource = lib.source\n"));
  ScriptProbe script(dir.AnsiPath() + "\\main.lua");
  ASSERT_TRUE(script.Initialize());

  EXPECT_EQ(script.Global("CurrentScriptDir"), dir.AnsiPath());
  EXPECT_TRUE(script.RunChunk("packagePath, packageCpath = package.path, package.cpath", "=test"));
  EXPECT_EQ(script.Global("packagePath"), dir.AnsiPath() + "\\?.lua");
  EXPECT_EQ(script.Global("packageCpath"), dir.AnsiPath() + "\\?.dll");
  EXPECT_EQ(script.Global("answer"), "42");
  EXPECT_EQ(script.Global("libSource"), "@" + dir.AnsiPath() + "\\lib_common.lua");
}

int WhoCalls(lua_State* state) {
  Lua::PushString(state, Lua::CallingScriptName(state));
  return 1;
}

// Names outside the ANSI code page (1252 here) reach the files; the script sees them in UTF-8.
TEST(LuaScript, ScriptsAndModulesLoadThroughWideNames) {
  for (const wchar_t* folder : {L"qv\u00e4", L"qv\u043a\u0438\u0440"}) {
    ScratchDir dir(folder);
    ASSERT_TRUE(dir.Write(L"lib_\u00fc.lua", "return {who = function() return WhoCalls() end}\n"));
    ASSERT_TRUE(dir.Write(L"\u0441\u043a.lua", "fromLib = require('lib_\xC3\xBC').who()\n"));
    const std::string utf8 = QvText::ToUtf8(dir.Path());
    ScriptProbe script(utf8 + "\\\xD1\x81\xD0\xBA.lua");
    ASSERT_TRUE(script.InitializeLuaState());
    script.SetNative("WhoCalls", WhoCalls);
    ASSERT_EQ(script.LoadAndRun(), LUA_OK) << script.GetTopString();
    EXPECT_EQ(script.Global("fromLib"), "lib_\xC3\xBC.lua");
    EXPECT_EQ(script.Global("CurrentScriptDir"), utf8);
    EXPECT_FALSE(script.RunChunk("require('absent')", "=absent"));
    EXPECT_NE(script.GetTopString().find("no file '" + utf8 + "\\absent.lua'"), std::string::npos);
  }
}

// A file loads as Lua's own loader reads files (byte-order mark, '#' first line), within a limit.
TEST(LuaScript, FileTextLoadsAsLuasOwnLoaderReadsIt) {
  ScratchDir dir;
  const std::string path = QvText::ToUtf8(dir.Path());
  UniqueFileHandle huge(
      ::CreateFileW(dir.Child(L"huge.lua").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  ASSERT_TRUE(huge && ::SetFilePointerEx(huge.get(), {.QuadPart = (16 << 20) + 1}, nullptr, FILE_BEGIN) &&
              ::SetEndOfFile(huge.get()));
  huge.reset();
  ASSERT_TRUE(dir.Write(L"bom.lua",
                        "\xEF\xBB\xBF"
                        "error('one')") &&
              dir.Write(L"hash.lua", "#!lua\nerror('two')"));
  for (const auto& [file, status, top] :
       {std::tuple{"bom.lua", LUA_ERRRUN, path + "\\bom.lua:1: one"},
        {"hash.lua", LUA_ERRRUN, path + "\\hash.lua:2: two"},
        {"huge.lua", LUA_ERRFILE, "cannot read " + path + "\\huge.lua: larger than 16777216 bytes"}}) {
    ScriptProbe script(path + "\\" + file);
    ASSERT_TRUE(script.InitializeLuaState());
    EXPECT_EQ(script.LoadAndRun(), status) << file;
    EXPECT_EQ(script.GetTopString(), top);
  }
}

TEST(LuaScript, OpensTheStandardLibrariesAndTheHostModules) {
  ScriptProbe script("C:\\qv\\libs.lua", "x = 1");
  ASSERT_TRUE(script.Initialize());
  EXPECT_TRUE(script.RunChunk(R"(
    for _, name in ipairs({'_G', 'package', 'coroutine', 'table', 'io', 'os', 'string', 'math', 'utf8',
                           'debug'}) do
      assert(type(_G[name]) == 'table', name)
      assert(package.loaded[name] == _G[name], name)
    end
    -- Only the ten: the 5.2 bit library is left out.
    assert(bit32 == nil and package.loaded.bit32 == nil)
    for module, functions in pairs({Log = {'Debug', 'Info', 'Warning', 'Error'},
                                    Meta = {'SetFailed', 'SetRebootNeeded'}, System = {'IsWindowsServer'}}) do
      for _, name in ipairs(functions) do
        assert(debug.getinfo(_G[module][name], 'S').what == 'C', module .. '.' .. name)
      end
    end
  )",
                              "=libraries"))
      << script.GetTopString();
}

TEST(LuaScript, LoadFailuresReportTheLuaStatus) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Created());
  ASSERT_TRUE(dir.Write(L"syntax.lua", "function broken(\n"));
  ASSERT_TRUE(dir.Write(L"raises.lua", "before = 1\nerror('late')\nafter = 1\n"));
  ASSERT_TRUE(dir.Write(L"table.lua", "error({})\n"));
  struct Case {
    std::string file;
    int status;
  };
  for (const Case& c : {Case{"syntax.lua", LUA_ERRSYNTAX}, Case{"missing.lua", LUA_ERRFILE},
                        Case{"raises.lua", LUA_ERRRUN}, Case{"table.lua", LUA_ERRRUN}}) {
    SCOPED_TRACE(c.file);
    const std::string path = dir.AnsiPath() + "\\" + c.file;
    ScriptProbe probe(path);
    ASSERT_TRUE(probe.InitializeLuaState());
    EXPECT_EQ(probe.LoadAndRun(), c.status);
    ScriptProbe script(path);
    EXPECT_FALSE(script.Initialize());
    EXPECT_TRUE(script.IsValid());
  }
  ScriptProbe raises(dir.AnsiPath() + "\\raises.lua");
  EXPECT_FALSE(raises.Initialize());
  // What ran before the error stays; the rest never ran.
  EXPECT_EQ(raises.Global("before"), "1");
  EXPECT_EQ(raises.Global("after"), "nil");

  ScriptProbe table(dir.AnsiPath() + "\\table.lua");
  EXPECT_FALSE(table.Initialize());
  EXPECT_EQ(table.GetTopString(), "");
}

TEST(LuaScript, MemorySourceUsesThePathAsChunkNameAndFolder) {
  ScriptProbe good("C:\\nowhere\\mem.lua", "value = 'from memory'");
  ASSERT_TRUE(good.Initialize());
  EXPECT_EQ(good.Global("value"), "from memory");
  EXPECT_EQ(good.Global("CurrentScriptDir"), "C:\\nowhere");

  ScriptProbe bad("C:\\nowhere\\mem.lua", "error('boom')");
  EXPECT_FALSE(bad.Initialize());
  EXPECT_EQ(bad.GetTopString(), "[string \"C:\\nowhere\\mem.lua\"]:1: boom");

  // A path without a folder is its own directory.
  ScriptProbe bare("bare.lua", "x = 1");
  ASSERT_TRUE(bare.Initialize());
  EXPECT_EQ(bare.Global("CurrentScriptDir"), "bare.lua");
}

TEST(LuaScript, ScriptsRunInSeparateStates) {
  ScriptProbe first("C:\\qv\\first.lua", "shared = 'first'\nLog.Info = nil\n");
  ScriptProbe second("C:\\qv\\second.lua", "seen = tostring(shared)\n");
  ASSERT_TRUE(first.Initialize());
  ASSERT_TRUE(second.Initialize());
  EXPECT_EQ(second.Global("seen"), "nil");
  EXPECT_TRUE(second.RunChunk("assert(type(Log.Info) == 'function')", "=check")) << second.GetTopString();
  EXPECT_EQ(first.Global("shared"), "first");
}

TEST(LuaScript, RunChunkLeavesTheErrorOnTop) {
  ScriptProbe script("C:\\qv\\chunks.lua", "x = 1");
  ASSERT_TRUE(script.Initialize());
  EXPECT_TRUE(script.RunChunk("y = 2", "=ok"));
  EXPECT_EQ(script.StackSize(), 0);

  EXPECT_FALSE(script.RunChunk("y = ", "=syntax"));
  EXPECT_NE(script.GetTopString().find("syntax:1:"), std::string::npos) << script.GetTopString();
  EXPECT_FALSE(script.RunChunk("error('stop', 0)", "=runtime"));
  EXPECT_EQ(script.GetTopString(), "stop");
  EXPECT_FALSE(script.RunChunk("error(12)", "=integer"));
  EXPECT_EQ(script.GetTopString(), "12");
  EXPECT_FALSE(script.RunChunk("error(1.5)", "=float"));
  EXPECT_EQ(script.GetTopString(), "1.5");
  EXPECT_FALSE(script.RunChunk("error(true)", "=boolean"));
  EXPECT_EQ(script.GetTopString(), "");
}

TEST(LuaScript, PassedDeadlineEndsEveryWayOfRunningOn) {
  // A deadline of 0 minutes has passed as soon as it starts; the hook is set when the state is made.
  RunDeadline::Instance().Start(0);
  const std::tuple<const char*, const char*> cases[] = {
      {"plain loop", "while true do end"},
      {"caught by pcall", "while true do pcall(function() while true do end end) end"},
      {"in a coroutine", "coroutine.wrap(function() while true do end end)()"},
      {"caught by resume",
       "while true do coroutine.resume(coroutine.create(function() while true do end end)) end"},
  };
  for (const auto& [name, chunk] : cases) {
    ScriptProbe script("C:\\qv\\late.lua", "x = 1");
    ASSERT_TRUE(script.Initialize()) << name;
    EXPECT_FALSE(script.RunChunk(chunk, "=late")) << name;
    // The message names the line that was running.
    EXPECT_NE(script.GetTopString().find("late:1: Run deadline of 0 minutes reached"), std::string::npos)
        << name << ": " << script.GetTopString();
  }

  // Before the deadline the hook only looks; the chunk runs to its end.
  RunDeadline::Instance().Start(60);
  ScriptProbe early("C:\\qv\\early.lua", "x = 1");
  ASSERT_TRUE(early.Initialize());
  EXPECT_TRUE(early.RunChunk("n = 0 for i = 1, 300000 do n = n + 1 end", "=early")) << early.GetTopString();
  EXPECT_EQ(early.Global("n"), "300000");
  RunDeadline::Instance().Clear();
}

}  // namespace
