// Last-resort handlers: a crash ends the run with the failure code and one fatal log line.
#pragma once

// Installs the terminate handler, the unhandled-exception filter and the abort handler for the
// whole process. Call it once, right after logging starts. Cannot fail.
void InstallCrashHandlers();
