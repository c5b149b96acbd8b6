// The DPI each top-level window is drawn at. A per-monitor aware process learns a window's DPI from
// WM_DPICHANGED; the screen DC keeps answering with the DPI the session started with.
#pragma once

#include <windows.h>

namespace QvUI {

// LOGPIXELSY of the screen: the DPI the process started with (96 when it cannot be read).
int SystemDpi();
// The DPI of the window's top-level window: the one its last WM_DPICHANGED gave, else
// GetDpiForWindow where the system has it, else the system DPI.
int WindowDpi(HWND window);
// Records the DPI a top-level window is now drawn at; 0 forgets it (the window is going).
void SetWindowDpi(HWND topLevel, int dpi);
// A system metric at dpi: GetSystemMetricsForDpi where the system has it, else the metric at the
// system DPI scaled to dpi.
int SystemMetricForDpi(int index, int dpi);

}  // namespace QvUI
