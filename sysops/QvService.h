// One service opened through the service control manager: its state, start and stop with their
// waits (dependents are stopped first), and its deletion.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/UniqueHandle.h"

class QvService {
 public:
  // Opens `name` for GENERIC_READ (readOnly) or GENERIC_ALL; on failure the handle stays empty
  // and LastError holds the error.
  QvService(const std::wstring& name, bool readOnly);
  virtual ~QvService() = default;
  QvService(const QvService&) = delete;
  QvService& operator=(const QvService&) = delete;

  bool IsValid() const { return handle_.valid(); }
  DWORD LastError() const { return lastError_; }
  // SERVICE_STOPPED (1) .. SERVICE_PAUSED (7), or -1 with the error stored.
  int GetState();
  // Starts the service and polls (at once, then at growing intervals up to 200 ms) until it runs,
  // has stopped again or `timeoutMs` has passed, which the run deadline caps; true when it runs
  // (also when it was running already).
  bool Start(const std::vector<std::wstring>& arguments, DWORD timeoutMs);
  // Stops the active dependents, then the service, and polls (at once, then at growing intervals up
  // to 500 ms) until it is stopped or `timeoutMs` has passed, which the run deadline caps. A service
  // already stop-pending is only waited for; one still start-pending that refuses the stop is waited
  // for until it has started, within the same time, and then stopped.
  bool Stop(DWORD timeoutMs);
  // Stops every active dependent in the order the system lists them; the first that does not stop
  // ends the walk and its error becomes this service's.
  bool StopDependents();
  // Marks the service for deletion; the system removes it when its last handle closes.
  bool Delete();

  // Hands the open handle (GENERIC_ALL only) to the next QvService of the same name: a removal
  // stops a service and deletes it a moment later, and every open is a round trip to the service
  // control manager (about 2.5 ms under Wine).
  void KeepForNext();
  // Closes every kept handle. Called before anything else may delete a service (a program, the
  // Installer, a device removal) and at each product: a handle left open would hold a service
  // deleted meanwhile as marked for deletion.
  static void ReleaseKept();

 private:
  // Sends the stop control; true when it was accepted, with the state it answered in `state`.
  bool SendStop(int* state);
  std::wstring name_;
  bool fullAccess_ = false;
  UniqueServiceHandle handle_;
  DWORD lastError_ = ERROR_SUCCESS;
};
