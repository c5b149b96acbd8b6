// Process exit codes of a run, and their Windows Installer form (--msi-exit-codes).
#pragma once

enum ExitCode : int {
  ExitSuccess = 0,
  ExitFailure = 1,
  ExitUserCancelled = 2,
  ExitNoAdminRights = 3,
  ExitAlreadyRunning = 4,
  ExitRestartNeeded = 99,
};

// The Installer's codes deployment systems already know how to read.
enum InstallerExitCode : int {
  InstallerSuccess = 0,              // ERROR_SUCCESS
  InstallerAccessDenied = 5,         // ERROR_ACCESS_DENIED
  InstallerUserExit = 1602,          // ERROR_INSTALL_USEREXIT
  InstallerFailure = 1603,           // ERROR_INSTALL_FAILURE
  InstallerAlreadyRunning = 1618,    // ERROR_INSTALL_ALREADY_RUNNING
  InstallerRestartInitiated = 1641,  // ERROR_SUCCESS_REBOOT_INITIATED
  InstallerRestartRequired = 3010,   // ERROR_SUCCESS_REBOOT_REQUIRED
};

// The Installer's code for a run's exit code. A code of no known outcome counts as a failure.
constexpr int ToInstallerExitCode(int code, bool restartTriggered) {
  switch (code) {
    case ExitSuccess:
      return InstallerSuccess;
    case ExitRestartNeeded:
      return restartTriggered ? InstallerRestartInitiated : InstallerRestartRequired;
    case ExitUserCancelled:
      return InstallerUserExit;
    case ExitAlreadyRunning:
      return InstallerAlreadyRunning;
    case ExitNoAdminRights:
      return InstallerAccessDenied;
    default:
      return InstallerFailure;
  }
}
