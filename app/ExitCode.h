// Process exit codes of a run.
#pragma once

enum ExitCode : int {
  ExitSuccess = 0,
  ExitFailure = 1,
  ExitUserCancelled = 2,
  ExitNoAdminRights = 3,
  ExitAlreadyRunning = 4,
  ExitRestartNeeded = 99,
};
