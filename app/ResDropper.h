// Unpacks the script archive embedded as RCDATA 103 into a directory.
#pragma once

#include <windows.h>

#include <string>

namespace ResDropper {

// Resource id of the script archive in the executable.
constexpr unsigned ScriptArchiveId = 103;

// False (logged) when the target is not a directory or any entry cannot be extracted.
bool ExtractZipFromResource(const std::wstring& target);
// The same for the archive resource of another loaded module (a data-file load works).
bool ExtractZipFromResource(const std::wstring& target, HMODULE module);

}  // namespace ResDropper
