// What an open file or folder handle really is: where the system resolves it and its attributes.
#pragma once

#include <windows.h>

#include <string>

namespace QvHandleInfo {

// Where the system resolves an open handle ("\\?\C:\..."); empty when it cannot tell.
std::wstring FinalPath(HANDLE handle);
// Equal ignoring case (ordinal), and not empty.
bool SamePath(const std::wstring& a, const std::wstring& b);
// The attributes of the object behind the handle (a link is a reparse point);
// INVALID_FILE_ATTRIBUTES when they cannot be read.
DWORD AttributesOf(HANDLE handle);

}  // namespace QvHandleInfo
