// One service opened through the service control manager: its state and its start with a wait.
// (Stopping, dependents and deletion join with the Service script module.)
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
  // Starts the service and polls every 200 ms until it runs or `timeoutMs` has passed; true when it
  // runs (also when it was running already).
  bool Start(const std::vector<std::wstring>& arguments, DWORD timeoutMs);

 private:
  UniqueServiceHandle handle_;
  DWORD lastError_ = ERROR_SUCCESS;
};
