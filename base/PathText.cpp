// Path text rules: join, split, working-directory names, extended-length form.
#include "base/PathText.h"

namespace QvPath {

std::wstring Join(std::wstring_view base, std::wstring_view name) {
  if (base.empty()) return std::wstring(name);
  std::wstring result(base);
  if (name.empty()) {
    if (result.back() == L'\\') result.pop_back();
    return result;
  }
  if (result.back() != L'\\') result.push_back(L'\\');
  result.append(name);
  return result;
}

bool Split(std::wstring_view path, std::wstring& folder, std::wstring& name) {
  folder.clear();
  name.clear();
  if (!path.empty() && path.back() == L'\\') path.remove_suffix(1);
  if (path.empty()) return false;
  const std::size_t last = path.rfind(L'\\');
  if (last == std::wstring_view::npos) {
    name.assign(path);
    return true;
  }
  if (last == 0 || last + 1 == path.size()) return false;
  folder.assign(path.substr(0, last));
  name.assign(path.substr(last + 1));
  return true;
}

std::wstring UniqueDirectoryName(unsigned long tick, std::size_t attempt) {
  return L"qv" + std::to_wstring(tick) + std::to_wstring(attempt) + L".tmp";
}

std::wstring ToExtendedForm(std::wstring_view fullPath) {
  if (fullPath.starts_with(L"\\\\?\\") || fullPath.starts_with(L"\\\\.\\")) return std::wstring(fullPath);
  if (fullPath.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + std::wstring(fullPath.substr(2));
  const bool driveAbsolute =
      fullPath.size() >= 3 && fullPath[1] == L':' && fullPath[2] == L'\\' &&
      ((fullPath[0] >= L'A' && fullPath[0] <= L'Z') || (fullPath[0] >= L'a' && fullPath[0] <= L'z'));
  if (driveAbsolute) return L"\\\\?\\" + std::wstring(fullPath);
  return std::wstring(fullPath);
}

}  // namespace QvPath
