// SDDL conversion into an owned self-relative descriptor.
#include "base/SecurityAttributes.h"

#include <sddl.h>

#include <utility>

SecurityAttributes SecurityAttributes::FromSddl(const wchar_t* sddl, bool protectDacl) {
  SecurityAttributes result;
  if (sddl == nullptr) return result;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr))
    return result;
  result.descriptor_.reset(descriptor);
  // Protected: the folder or key takes nothing from its parent's inheritable entries.
  if (protectDacl && !::SetSecurityDescriptorControl(descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    result.Reset();
    return result;
  }
  result.attributes_.lpSecurityDescriptor = descriptor;
  return result;
}

SecurityAttributes::SecurityAttributes(SecurityAttributes&& other) noexcept
    : descriptor_(std::move(other.descriptor_)), attributes_(other.attributes_) {
  other.attributes_.lpSecurityDescriptor = nullptr;
}

SecurityAttributes& SecurityAttributes::operator=(SecurityAttributes&& other) noexcept {
  if (this != &other) {
    descriptor_ = std::move(other.descriptor_);
    attributes_ = other.attributes_;
    other.attributes_.lpSecurityDescriptor = nullptr;
  }
  return *this;
}

SecurityAttributes::~SecurityAttributes() = default;

void SecurityAttributes::Reset() {
  attributes_ = {sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
  descriptor_.reset();
}
