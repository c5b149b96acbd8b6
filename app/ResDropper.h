// Unpacks the script archive embedded as RCDATA 103 into a directory.
#pragma once

#include <string>

namespace ResDropper {

// False (logged) when the target is not a directory or any entry cannot be extracted.
bool ExtractZipFromResource(const std::wstring& target);

}  // namespace ResDropper
