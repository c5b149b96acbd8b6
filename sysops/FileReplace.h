// Writes a whole file so that readers see the old content or the new one, never a part, and so that
// no link planted on the way or at the path makes the write land elsewhere: the path goes through
// the path guard (folders above held, the file itself no link), the content into a new file beside
// it, which then takes the path's place.
#pragma once

#include <string>
#include <string_view>

namespace FileReplace {

// True when path holds exactly `content` now; otherwise false with the reason in `error` (and the
// old file, if any, unchanged).
bool Write(const std::wstring& path, std::string_view content, std::wstring& error);

}  // namespace FileReplace
