// One run of the tool from the start-up guards to the exit code.
#pragma once

#include <windows.h>

// The single-instance mutex, machine-wide.
inline constexpr wchar_t kSingleInstanceMutexName[] = L"Global\\{91D7C0A1-4A48-4F19-8492-D22A1F91C4CE}";

unsigned Run(HINSTANCE instance);
