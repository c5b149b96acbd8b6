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

namespace {

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// Length of "server\share\" (or "server\share" at the end) at the start of rest; 0 when a part is empty.
std::size_t ShareLength(std::wstring_view rest) {
  const std::size_t server = rest.find(L'\\');
  if (server == 0 || server == std::wstring_view::npos) return 0;
  const std::size_t share = rest.find(L'\\', server + 1);
  if (share == server + 1 || server + 1 == rest.size()) return 0;
  return share == std::wstring_view::npos ? rest.size() : share + 1;
}

}  // namespace

std::size_t RootLength(std::wstring_view path) {
  if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && path[2] == L'\\') return 3;
  if (!path.starts_with(L"\\\\")) return 0;
  if (path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\")) {
    const std::wstring_view rest = path.substr(4);
    if (rest.starts_with(L"UNC\\")) {
      const std::size_t share = ShareLength(rest.substr(4));
      return share == 0 ? 0 : 8 + share;
    }
    const std::size_t end = rest.find(L'\\');
    return end == 0 || end == std::wstring_view::npos ? 0 : 4 + end + 1;
  }
  const std::size_t share = ShareLength(path.substr(2));
  return share == 0 ? 0 : 2 + share;
}

bool IsVolumeRoot(std::wstring_view path) {
  std::wstring closed(path);
  if (closed.empty() || closed.back() != L'\\') closed.push_back(L'\\');
  return RootLength(closed) == closed.size();
}

PathProblem CheckCanonical(std::wstring_view path, std::wstring* component) {
  if (component) component->clear();
  const std::size_t root = RootLength(path);
  if (root == 0) return PathProblem::NotAbsolute;
  if (path.find(L'/') != std::wstring_view::npos) return PathProblem::ForwardSlash;
  // A root that ends the path may lack its closing backslash ("\\server\share").
  for (std::size_t at = root; at < path.size();) {
    std::size_t end = path.find(L'\\', at);
    if (end == std::wstring_view::npos) end = path.size();
    const std::wstring_view name = path.substr(at, end - at);
    if (component) component->assign(name);
    if (name.empty()) return PathProblem::EmptyComponent;
    if (name == L"." || name == L"..") return PathProblem::DotComponent;
    if (name.back() == L'.' || name.back() == L' ') return PathProblem::TrailingDotSpace;
    // One trailing backslash names the same folder.
    if (end + 1 >= path.size()) break;
    at = end + 1;
  }
  if (component) component->clear();
  return PathProblem::None;
}

std::wstring DescribeProblem(PathProblem problem, std::wstring_view component) {
  const std::wstring quoted = L"'" + std::wstring(component) + L"'";
  switch (problem) {
    case PathProblem::None:
      return L"a canonical path";
    case PathProblem::NotAbsolute:
      return L"not an absolute path";
    case PathProblem::ForwardSlash:
      return L"a '/' in the path";
    case PathProblem::EmptyComponent:
      return L"an empty component";
    case PathProblem::DotComponent:
      return quoted + L" is not a plain component";
    case PathProblem::TrailingDotSpace:
      return L"the component " + quoted + L" ends in a dot or a space";
  }
  return {};
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
