// The registry class of the pending-operation checks: a plain Win32Registry (HKEY_LOCAL_MACHINE unless told
// otherwise).
#pragma once

#include "base/Win32Registry.h"

namespace QvPath {

class Win32RegistryForPath : public Win32Registry {
 public:
  using Win32Registry::Win32Registry;
};

}  // namespace QvPath
