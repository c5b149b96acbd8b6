// Per-window DPI, kept as a property of the top-level window.
#include "ui/toolkit/Dpi.h"

#include "base/ProcAddress.h"

namespace QvUI {

namespace {

constexpr wchar_t kDpiProperty[] = L"QvUI.Dpi";

HMODULE User32() {
  static const HMODULE module = ::GetModuleHandleW(L"user32.dll");
  return module;
}

}  // namespace

int SystemDpi() {
  int dpi = 0;
  if (HDC screen = ::GetDC(nullptr)) {
    dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? dpi : 96;
}

int WindowDpi(HWND window) {
  const HWND root = window ? ::GetAncestor(window, GA_ROOT) : nullptr;
  if (root == nullptr) return SystemDpi();
  const auto recorded = reinterpret_cast<INT_PTR>(::GetPropW(root, kDpiProperty));
  if (recorded > 0) return static_cast<int>(recorded);
  // Windows 10 1607 and later; Windows 7 and 8 draw every window at the system DPI.
  using Function = UINT(WINAPI*)(HWND);
  static const auto dpiForWindow = QvProc::Get<Function>(User32(), "GetDpiForWindow");
  const UINT dpi = dpiForWindow ? dpiForWindow(root) : 0;
  return dpi > 0 ? static_cast<int>(dpi) : SystemDpi();
}

void SetWindowDpi(HWND topLevel, int dpi) {
  if (dpi > 0)
    ::SetPropW(topLevel, kDpiProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(dpi)));
  else
    ::RemovePropW(topLevel, kDpiProperty);
}

int SystemMetricForDpi(int index, int dpi) {
  using Function = int(WINAPI*)(int, UINT);
  static const auto metricForDpi = QvProc::Get<Function>(User32(), "GetSystemMetricsForDpi");
  if (metricForDpi != nullptr) return metricForDpi(index, static_cast<UINT>(dpi));
  return ::MulDiv(::GetSystemMetrics(index), dpi, SystemDpi());
}

}  // namespace QvUI
