// The form of a path to hand to file system calls: short paths as they are, long ones in the
// extended-length form that every call accepts.
#pragma once

#include <string>

namespace QvPath {

// Unchanged while it is short enough for every call, otherwise the extended-length ("\\?\") form of
// its full path, so deep trees stay reachable. A path the system cannot make full stays as it is.
std::wstring ToSystemPath(const std::wstring& path);

}  // namespace QvPath
