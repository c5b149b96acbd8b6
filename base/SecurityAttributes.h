// The owning holder of SDDL-built security attributes, for folders, files, keys and mutexes.
#pragma once

#include <windows.h>

#include "base/UniqueHandle.h"

class SecurityAttributes {
 public:
  SecurityAttributes() = default;
  // Descriptor from SDDL, its DACL protected from inheritance unless `protectDacl` is false; an
  // empty holder when the text is null or cannot be converted.
  static SecurityAttributes FromSddl(const wchar_t* sddl, bool protectDacl = true);
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
