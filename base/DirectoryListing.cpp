// Folder listing over the find handle.
#include "base/DirectoryListing.h"

namespace QvPath {

namespace {
bool IsDotOrDotDot(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}
}  // namespace

DirectoryListing::DirectoryListing(const std::wstring& pattern)
    : find_(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data_, FindExSearchNameMatch, nullptr,
                               FIND_FIRST_EX_LARGE_FETCH)) {
  if (!find_) error_ = ::GetLastError();
}

bool DirectoryListing::Next() {
  if (!find_ || error_ != 0) return false;
  for (;;) {
    if (first_) {
      first_ = false;
    } else if (!::FindNextFileW(find_.get(), &data_)) {
      // The error is read at once: the caller's work between two entries changes the last error.
      const DWORD error = ::GetLastError();
      error_ = error != 0 ? error : ERROR_GEN_FAILURE;
      return false;
    }
    if (!IsDotOrDotDot(data_.cFileName)) return true;
  }
}

}  // namespace QvPath
