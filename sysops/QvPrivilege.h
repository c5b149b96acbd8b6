// Scoped guard enabling one named privilege on the calling thread's token.
#pragma once

#include <memory>

class QvPrivilege {
 public:
  // Never logs; IsEnabled tells whether the privilege is in force (false when the account
  // lacks it, the name is no privilege or the thread token cannot be opened).
  explicit QvPrivilege(const wchar_t* name);
  QvPrivilege(const QvPrivilege&) = delete;
  QvPrivilege& operator=(const QvPrivilege&) = delete;
  // Restores exactly what the constructor changed and ends a self-impersonation it started.
  virtual ~QvPrivilege();

  bool IsEnabled() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};
