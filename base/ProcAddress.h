// Binding system libraries at run time: the one way to load one, and GetProcAddress with the function
// type the export really has.
#pragma once

#include <windows.h>

#include "base/UniqueHandle.h"

namespace QvProc {

// A library from the system directory only, its dependencies searched there too: never a copy
// planted beside the executable or in the working directory. Empty, with the last error, when it
// cannot be loaded. A plain name (not a full path) keeps the activation context's redirection, so
// comctl32 comes as version 6 where the manifest asks for it. Libraries kept for the process's life
// are released from the owner.
inline UniqueModule LoadSystemLibrary(const wchar_t* name) {
  return UniqueModule(::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

// Null when the module is null or lacks the export (by name, or by ordinal through MAKEINTRESOURCEA).
template <typename Fn>
Fn Get(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

}  // namespace QvProc
