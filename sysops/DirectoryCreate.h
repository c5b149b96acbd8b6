// Recursive folder creation with default security (parents inherit from the nearest existing one).
#pragma once

#include <string>

namespace FileOps {

// True when the folder exists afterwards (an empty path counts as done); false when a part of the
// path cannot be split off or created (GetLastError() tells why).
bool CreateDirectoryRecursive(const std::wstring& path);

}  // namespace FileOps
