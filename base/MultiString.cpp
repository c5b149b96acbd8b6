// Multi-string split and join.
#include "base/MultiString.h"

#include <algorithm>
#include <cwctype>

namespace QvText {

std::vector<std::wstring> SplitMultiString(std::wstring_view data) {
  std::vector<std::wstring> entries;
  std::size_t at = 0;
  for (;;) {
    const std::size_t end = data.find(L'\0', at);
    if (end == std::wstring_view::npos || end == at) break;
    entries.emplace_back(data.substr(at, end - at));
    at = end + 1;
  }
  return entries;
}

std::wstring JoinMultiString(const std::vector<std::wstring>& entries) {
  std::wstring data;
  if (entries.empty()) data.push_back(L'\0');
  for (const std::wstring& entry : entries) {
    data.append(entry);
    data.push_back(L'\0');
  }
  data.push_back(L'\0');
  return data;
}

}  // namespace QvText
