// Planting file-system links for the link scenarios, and reading back what was made: Wine answers
// success to link calls that make nothing, so a plant counts only once the reparse tag is seen.
#pragma once

#include <windows.h>

#include <string>

#include "tests/kit/Scenario.h"

namespace QvKit {

// Each returns empty on success, otherwise the API and the error code.
std::wstring MakeJunction(const std::wstring& link, const std::wstring& target);
std::wstring MakeSymbolicLink(const std::wstring& link, const std::wstring& target, bool directory);
// Empty when `path` is a reparse point with `tag`, otherwise what it is instead.
std::wstring CheckReparseTag(const std::wstring& path, DWORD tag);

// The whole run of a folder-link scenario: a family folder holding a file and a link named "link"
// to a canary folder with files, made by `plant` and checked for `tag`; the tool run; then the
// canary intact and the family folder gone. `api` names the call `plant` makes, for a skip's reason.
using FolderLinkPlant = std::wstring (*)(const std::wstring& link, const std::wstring& target);
Result RunFolderLinkScenario(Kit& kit, const wchar_t* canaryName, FolderLinkPlant plant, const wchar_t* api,
                             DWORD tag);

}  // namespace QvKit
