// GetProcAddress with the function type the export really has.
#pragma once

#include <windows.h>

namespace QvProc {

// Null when the module is null or lacks the export (by name, or by ordinal through MAKEINTRESOURCEA).
template <typename Fn>
Fn Get(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

}  // namespace QvProc
