// Working-directory primitives: temporary folder, unique folder creation, tree removal,
// and the owning holder of SDDL-built security attributes.
#pragma once

#include <windows.h>

#include <string>

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
  void Reset();

 private:
  SECURITY_ATTRIBUTES attributes_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

namespace QvPath {

// The working directory: anonymous, network logons and local service denied; guests and users read
// and execute; administrators, the local administrator and SYSTEM full access; all inherited.
inline constexpr wchar_t WorkDirSddl[] =
    L"D:(D;OICI;GA;;;AN)(D;OICI;GA;;;NU)(D;OICI;GA;;;LS)(A;OICI;0x1200a9;;;BG)(A;OICI;0x1200a9;;;BU)"
    L"(A;OICI;GA;;;BA)(A;OICI;GA;;;LA)(A;OICI;GA;;;SY)";

// The user's temporary folder (GetTempPathW); empty on failure.
std::wstring GetTempDirectory();
// A new folder "qv<tick><n>.tmp" in parent; empty on failure.
std::wstring CreateUniqueDirectory(const std::wstring& parent, SecurityAttributes& security);
// Removes the tree without following links; with delayIfLocked, schedules what is locked for
// deletion at restart (without raising the run's restart flag).
bool RemoveDirectoryTree(const std::wstring& path, bool delayIfLocked);

}  // namespace QvPath
