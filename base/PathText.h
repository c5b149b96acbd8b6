// Path text rules shared by the file primitives and the FileSystem module: join, split, the
// working-directory name and the extended-length form. Pure string work, no windows.h.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace QvPath {

// base + one backslash + name. An empty base gives the name; an empty name gives the base
// without one trailing backslash. The name is taken as it is (a leading backslash stays).
std::wstring Join(std::wstring_view base, std::wstring_view name);

// Splits at the last backslash after removing one trailing backslash. False (both outputs
// emptied) when the path does not split: empty, the only backslash leads, or it ended with two.
// A path without a backslash splits into an empty folder and the whole path as the name.
bool Split(std::wstring_view path, std::wstring& folder, std::wstring& name);

// Length of the root of an absolute path, its closing backslash included: "C:\" (drive letter,
// colon, backslash), "\\server\share\", and the same behind "\\?\" or "\\.\" ("\\?\C:\",
// "\\?\UNC\server\share\", "\\?\Volume{...}\"). A root that ends the path may lack its last
// backslash ("\\server\share"). 0 for anything else: relative, drive-relative ("C:a"), rooted
// without a drive ("\a"), empty.
std::size_t RootLength(std::wstring_view path);
inline bool IsAbsolute(std::wstring_view path) { return RootLength(path) != 0; }
// A root and nothing more, with or without its closing backslash ("C:\", "C:", "\\srv\share").
bool IsVolumeRoot(std::wstring_view path);

// Why a path may not be handed to a call that deletes, copies over, terminates by path or schedules
// at restart. Windows rewrites some components before it acts on them ("C:\Quorvel\.." names
// "C:\", "C:\Quorvel " and "C:\Quorvel." name "C:\Quorvel"), so a check of the text alone would
// let such a path act on what its text does not show.
enum class PathProblem {
  None,
  NotAbsolute,       // no drive root, UNC share or "\\?\" root (RootLength is 0)
  ForwardSlash,      // "/" anywhere: Windows takes it for a separator
  EmptyComponent,    // "\\" inside the path (one trailing backslash is accepted: same folder)
  DotComponent,      // a component that is "." or ".."
  TrailingDotSpace,  // a component that ends in a dot or a space
};
// The first problem of path, and in `component` (when given) the component it was found in.
PathProblem CheckCanonical(std::wstring_view path, std::wstring* component = nullptr);
// The text warnings name a problem with: "not an absolute path", "'..' is not a plain component", ...
std::wstring DescribeProblem(PathProblem problem, std::wstring_view component);

// "qv" + tick + attempt + ".tmp", the decimal concatenation the working directory is named by.
std::wstring UniqueDirectoryName(unsigned long tick, std::size_t attempt);

// Extended-length form of a full, normalised path: "C:\a" -> "\\?\C:\a", "\\srv\share\a" ->
// "\\?\UNC\srv\share\a". Paths already in a "\\?\" or "\\.\" form, and paths that are neither
// drive-absolute nor UNC, come back unchanged.
std::wstring ToExtendedForm(std::wstring_view fullPath);

}  // namespace QvPath
