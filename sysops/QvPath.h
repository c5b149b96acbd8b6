// Working-directory primitives: temporary folder, unique folder creation, tree removal,
// and the owning holder of SDDL-built security attributes.
#pragma once

#include <windows.h>

#include <string>

#include "sysops/PathText.h"
#include "sysops/UniqueHandle.h"

class SecurityAttributes {
 public:
  SecurityAttributes() = default;
  // Descriptor from SDDL with a protected DACL; empty holder when the text cannot be converted.
  static SecurityAttributes FromSddl(const wchar_t* sddl);
  SecurityAttributes(SecurityAttributes&& other) noexcept;
  SecurityAttributes& operator=(SecurityAttributes&& other) noexcept;
  SecurityAttributes(const SecurityAttributes&) = delete;
  SecurityAttributes& operator=(const SecurityAttributes&) = delete;
  ~SecurityAttributes();

  bool IsEmpty() const { return attributes_.lpSecurityDescriptor == nullptr; }
  // Null for an empty holder (default security).
  SECURITY_ATTRIBUTES* Get() { return IsEmpty() ? nullptr : &attributes_; }
  // The self-relative descriptor, null for an empty holder.
  PSECURITY_DESCRIPTOR Descriptor() const { return attributes_.lpSecurityDescriptor; }
  void Reset();

 private:
  UniqueLocalMem descriptor_;
  SECURITY_ATTRIBUTES attributes_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

namespace QvPath {

// The working directory of a run: anonymous, network logons and the local service account denied;
// guests and users read and execute; administrators, the local administrator and SYSTEM full
// access; every entry inherited by files and sub-folders.
inline constexpr wchar_t WorkDirSddl[] =
    L"D:(D;OICI;GA;;;AN)(D;OICI;GA;;;NU)(D;OICI;GA;;;LS)(A;OICI;0x1200a9;;;BG)(A;OICI;0x1200a9;;;BU)"
    L"(A;OICI;GA;;;BA)(A;OICI;GA;;;LA)(A;OICI;GA;;;SY)";
// Full access for everyone, set on an object whose deletion was refused before retrying it.
inline constexpr wchar_t EveryoneFullAccessSddl[] = L"D:(A;OICI;GA;;;WD)";

// The user's temporary folder (GetTempPathW), with its trailing backslash; empty on failure.
std::wstring GetTempDirectory();
// A new folder "qv<tick><n>.tmp" in parent; empty on failure.
std::wstring CreateUniqueDirectory(const std::wstring& parent, SecurityAttributes& security);
// Removes the tree without following links; with delayIfLocked, schedules what is locked for
// deletion at restart (without raising the run's restart flag). False for an empty or missing
// path, a path that is not a folder, or anything left behind unscheduled. Logs nothing.
bool RemoveDirectoryTree(const std::wstring& path, bool delayIfLocked);

// The form of path to hand to file system calls: unchanged while it is short enough for every
// call, otherwise the extended-length ("\\?\") form of its full path, so deep trees stay reachable.
std::wstring ToSystemPath(const std::wstring& path);

}  // namespace QvPath
