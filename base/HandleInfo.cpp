// Handle queries shared by the log file's folder pins and the path guard of the file operations.
#include "base/HandleInfo.h"

namespace QvHandleInfo {

std::wstring FinalPath(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return {};
    const bool fits = length < path.size();
    path.resize(length);
    if (fits) return path;
  }
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return !a.empty() && ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

DWORD AttributesOf(HANDLE handle) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof(info)))
    return INVALID_FILE_ATTRIBUTES;
  return info.FileAttributes;
}

}  // namespace QvHandleInfo
