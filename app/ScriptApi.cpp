// The modules of the script API, in the order every script state publishes them.
#include "app/ScriptApi.h"

#include "script/LuaApi.h"

// One entry per module, in publishing order: Reg, Msi, Log, FileSystem, Process, Service,
// Win32Driver, Atom, Path, Meta, System. A module joins by adding its name at its place here.
#define QV_SCRIPT_MODULES(X) \
  X(Reg)                     \
  X(Msi)                     \
  X(Log)                     \
  X(FileSystem)              \
  X(Process)                 \
  X(Service)                 \
  X(Win32Driver)             \
  X(Atom)                    \
  X(Path)                    \
  X(Meta)                    \
  X(System)

#define QV_DECLARE_SCRIPT_MODULE(name) \
  namespace Lua::name {                \
  void Register(lua_State* state);     \
  }
QV_SCRIPT_MODULES(QV_DECLARE_SCRIPT_MODULE)
#undef QV_DECLARE_SCRIPT_MODULE

namespace Lua {

void RegisterScriptApi(lua_State* state) {
#define QV_REGISTER_SCRIPT_MODULE(name) name::Register(state);
  QV_SCRIPT_MODULES(QV_REGISTER_SCRIPT_MODULE)
#undef QV_REGISTER_SCRIPT_MODULE
}

}  // namespace Lua
