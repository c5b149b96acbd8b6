// The Atom module over the global atom table.
#include "sysops/AtomModule.h"

#include <windows.h>

#include <string>

#include "base/ChangeJournal.h"
#include "script/LuaApi.h"

namespace {

int PushFailure(lua_State* state, DWORD error) {
  lua_pushboolean(state, 0);
  lua_pushinteger(state, static_cast<lua_Integer>(error));
  return 2;
}

}  // namespace

namespace Lua::Atom {

int GlobalAdd(lua_State* state) {
  ArgCursor args(state);
  const std::wstring name = ToWide(args.String());
  ChangeJournal& journal = ChangeJournal::Instance();
  if (journal.Planning()) {
    journal.Record(L"atom.add", name, ChangeResult::Planned);
    lua_pushboolean(state, 1);
    return 1;
  }
  const bool added = ::GlobalAddAtomW(name.c_str()) != 0;
  const DWORD error = ::GetLastError();
  journal.RecordOutcome(L"atom.add", name, added, error);
  if (!added) return PushFailure(state, error);
  lua_pushboolean(state, 1);
  return 1;
}

int GlobalExists(lua_State* state) {
  ArgCursor args(state);
  const std::wstring name = ToWide(args.String());
  lua_pushboolean(state, ::GlobalFindAtomW(name.c_str()) != 0 ? 1 : 0);
  return 1;
}

int GlobalDelete(lua_State* state) {
  ArgCursor args(state);
  const std::wstring name = ToWide(args.String());
  const ATOM atom = ::GlobalFindAtomW(name.c_str());
  if (atom == 0) {
    lua_pushboolean(state, 0);
    return 1;
  }
  ChangeJournal& journal = ChangeJournal::Instance();
  if (journal.Planning()) {
    journal.Record(L"atom.delete", name, ChangeResult::Planned);
    lua_pushboolean(state, 1);
    return 1;
  }
  // GlobalDeleteAtom answers 0 both on success and for some failures: the last error tells them apart.
  ::SetLastError(ERROR_SUCCESS);
  ::GlobalDeleteAtom(atom);
  const DWORD error = ::GetLastError();
  journal.RecordOutcome(L"atom.delete", name, error == ERROR_SUCCESS, error);
  if (error != ERROR_SUCCESS) return PushFailure(state, error);
  lua_pushboolean(state, 1);
  return 1;
}

void Register(lua_State* state) {
  static constexpr luaL_Reg functions[] = {{"GlobalDelete", GlobalDelete},
                                           {"GlobalExists", GlobalExists},
                                           {"GlobalAdd", GlobalAdd},
                                           {nullptr, nullptr}};
  RegisterModule(state, "Atom", functions);
}

}  // namespace Lua::Atom
