// The SHA-256 digest of a file's content, for the list of what a run deleted.
#pragma once

#include <windows.h>

#include <string>

namespace FileDigest {

// Reads `file` (opened for reading) from its current position to the end; 64 lower-case hex
// digits, or empty when it cannot be read or the system cannot hash.
std::wstring Sha256(HANDLE file);

}  // namespace FileDigest
