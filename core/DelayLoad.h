// Resolution of the libraries bound at first use: every system library that is not a KnownDLL (msi.dll,
// setupapi.dll, userenv.dll, wtsapi32.dll, ...) is reached here, never imported (tools/check-imports).
// Fixed places only, never the current directory or PATH.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace BrelDelayLoad {

// Bit 0 of the flags: also look in the executable's own directory.
constexpr uint32_t SearchOwnDirectory = 0x1;

// Handed to a loaded library's own "BrelDelayLoadDependencies" export so it resolves the same way.
struct Configuration {
  uint32_t size;  // 24
  uint32_t flags;
  const wchar_t* component;  // null when not configured
  const wchar_t* directory;  // null when not configured
};
static_assert(sizeof(Configuration) == 24);

void SetFlags(uint32_t flags);
void ClearFlags(uint32_t flags);
uint32_t GetFlags();
void SetComponent(const std::wstring& component);  // empty: none
void SetDirectory(const std::wstring& directory);  // empty: none

// Loads the library (ANSI name) from the configured places, then the system directory; null on
// failure with the first failure's error kept when the system directory lacks it too.
HMODULE BrelDelayLoadDependencies(const char* libraryName);

// The library's function by name or by ordinal (MAKEINTRESOURCEA); null with the last error set
// when the library or the function is missing. Libraries are loaded once and stay loaded.
FARPROC GetFunction(const char* libraryName, const char* function);

}  // namespace BrelDelayLoad
