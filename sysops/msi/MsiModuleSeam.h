// Test access to the Msi module's internal steps, and the one query the test machine cannot vary:
// the boot mode (Wine always boots normally). Only tests include this header.
#pragma once

#include <windows.h>

namespace MsiModuleSeam {

// GetSystemMetrics(SM_CLEANBOOT): 0 normal, 1 minimal safe mode, 2 safe mode with networking.
using BootModeQuery = int (*)();
extern BootModeQuery bootMode;

// The module's own steps, unchanged: the safe-mode registration of the Installer service, its
// start, and the external UI handler.
bool EnableMsiServiceIfNeeded();
bool StartMsiServiceIfNeeded();
INT MessageCallback(LPVOID context, UINT messageType, LPCWSTR message);

}  // namespace MsiModuleSeam
