// One run of the tool from the start-up guards to the exit code.
#pragma once

#include <windows.h>

// The single-instance mutex, machine-wide.
inline constexpr wchar_t kSingleInstanceMutexName[] = L"Global\\{91D7C0A1-4A48-4F19-8492-D22A1F91C4CE}";
// Its descriptor: SYSTEM and administrators only, so nobody else can hold or squat it.
inline constexpr wchar_t kSingleInstanceMutexSddl[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";

// The run's exit code; `restartTriggered` (when given) tells whether the run's restart request was
// accepted, which only the Installer form of the code needs.
unsigned Run(HINSTANCE instance, bool* restartTriggered = nullptr);
