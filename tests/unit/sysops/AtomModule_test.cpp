// The Atom module on the real global atom table: reference counting and the second results.
#include "sysops/AtomModule.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/LuaChunk.h"

namespace {

TEST(AtomModule, CountsReferencesAndReportsFailures) {
  QvTest::LuaChunk lua;
  ASSERT_TRUE(lua.Valid());
  const std::wstring name = L"QvTestAtom." + std::to_wstring(::GetCurrentProcessId());
  lua.SetGlobal("N", name);
  lua.SetGlobal("LONG", std::wstring(300, L'x'));

  const struct {
    const char* chunk;
    const char* result;
    bool existsAfter;  // seen through the system, not the module
  } cases[] = {
      {"return Atom.GlobalDelete(N), Atom.GlobalExists(N)", "n:2 boolean:false boolean:false", false},
      {"return Atom.GlobalAdd(N), Atom.GlobalAdd(N), Atom.GlobalExists(N)",
       "n:3 boolean:true boolean:true boolean:true", true},
      {"return Atom.GlobalDelete(N), Atom.GlobalExists(N)", "n:2 boolean:true boolean:true", true},
      {"return Atom.GlobalDelete(N), Atom.GlobalExists(N)", "n:2 boolean:true boolean:false", false},
      {"return Atom.GlobalDelete(N)", "n:1 boolean:false", false},
      // Longer than an atom can be.
      {"local ok, e = Atom.GlobalAdd(LONG) return ok, math.type(e), e ~= 0, Atom.GlobalExists(LONG)",
       "n:4 boolean:false string:integer boolean:true boolean:false", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.chunk);
    EXPECT_EQ(lua.Run(c.chunk), c.result);
    EXPECT_EQ(::GlobalFindAtomW(name.c_str()) != 0, c.existsAfter);
  }
}

}  // namespace
