// Owner of a SetupAPI device information set. setupapi.dll is not imported: the close is bound at run
// time through the delay-load resolver, like every SetupAPI call of the tool.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "base/UniqueHandle.h"
#include "core/DelayLoad.h"

namespace QvHandles {

struct DevInfoTraits {
  static HDEVINFO Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  // A set only exists when the resolver already loaded setupapi.dll to create it.
  static void Close(HDEVINFO set) noexcept {
    using DestroyFn = BOOL(WINAPI*)(HDEVINFO);
    if (auto destroy = reinterpret_cast<DestroyFn>(reinterpret_cast<void*>(
            BrelDelayLoad::GetFunction("setupapi.dll", "SetupDiDestroyDeviceInfoList"))))
      destroy(set);
  }
};

}  // namespace QvHandles

using UniqueDevInfo = QvHandles::UniqueValue<HDEVINFO, QvHandles::DevInfoTraits>;
