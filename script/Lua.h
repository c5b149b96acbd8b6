// The Lua 5.3 API for our code. Lua is compiled as C++ (cmake/ThirdParty.cmake), so its errors unwind
// through natives as C++ exceptions; include this header, never lua.hpp.
#pragma once

#include "lauxlib.h"
#include "lua.h"
#include "lualib.h"
