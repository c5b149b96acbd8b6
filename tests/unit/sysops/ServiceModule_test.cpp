// The Service module on real services (the test_service helper registered for each test), through a
// real Lua state. Only the enumeration of dependents comes through the seam: Wine lists none.
#include "sysops/ServiceModule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/RunDeadline.h"
#include "sysops/QvServiceSeam.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LuaChunk.h"
#include "tests/support/ScratchService.h"
#include "tests/support/SeamOverride.h"

using namespace QvTest;

namespace {

const std::wstring kServicesKey = L"SYSTEM\\CurrentControlSet\\Services\\";

// Short waits for the length of a test.
QvServiceSeam::Waits Short() {
  QvServiceSeam::Waits waits = QvServiceSeam::waits;
  waits.startTimeoutMs = 5000;
  waits.stopTimeoutMs = 1500;
  waits.startPollMs = 50;
  waits.stopPollMs = 100;
  return waits;
}
struct ShortWaits : QvTest::SeamOverride<QvServiceSeam::Waits> {
  ShortWaits() : SeamOverride(QvServiceSeam::waits, Short()) {}
};

// The dependents the system would list for the first service asked (the one the script stops); the
// dependents themselves have none. `failure` makes the enumeration fail with that error instead.
struct FakeDependents {
  static inline std::vector<std::wstring> names;
  static inline DWORD failure = 0;
  static inline SC_HANDLE parent = nullptr;
  static inline int calls = 0;

  static BOOL WINAPI Enumerate(SC_HANDLE service, DWORD, LPENUM_SERVICE_STATUSW buffer, DWORD size,
                               LPDWORD needed, LPDWORD count) {
    ++calls;
    if (parent == nullptr) parent = service;
    *count = 0;
    if (service != parent || names.empty()) return TRUE;
    if (failure != 0) {
      ::SetLastError(failure);
      return FALSE;
    }
    DWORD bytes = static_cast<DWORD>(names.size() * sizeof(ENUM_SERVICE_STATUSW));
    for (const std::wstring& name : names) bytes += static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t));
    *needed = bytes;
    if (buffer == nullptr || size < bytes) {
      ::SetLastError(ERROR_MORE_DATA);
      return FALSE;
    }
    auto* text = reinterpret_cast<wchar_t*>(buffer + names.size());
    for (size_t i = 0; i < names.size(); ++i) {
      buffer[i].lpServiceName = buffer[i].lpDisplayName = text;
      buffer[i].ServiceStatus.dwCurrentState = SERVICE_RUNNING;
      text = std::copy(names[i].begin(), names[i].end(), text);
      *text++ = L'\0';
    }
    *count = static_cast<DWORD>(names.size());
    return TRUE;
  }

  FakeDependents(std::vector<std::wstring> list, DWORD error) {
    names = std::move(list);
    failure = error;
    parent = nullptr;
    calls = 0;
  }

 private:
  QvTest::SeamOverride<QvServiceSeam::EnumDependentsCall> seam_{QvServiceSeam::enumDependents, Enumerate};
};

bool KeyExists(const std::wstring& path) {
  UniqueHKey key;
  return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::string Call(LuaChunk& lua, const char* function, const std::string& name) {
  return lua.Run(std::string("return Service.") + function + "('" + name + "')");
}

}  // namespace

TEST(ServiceModuleTest, ConstantsAndAMissingService) {
  LuaChunk lua;
  EXPECT_EQ(lua.Run("return SERVICE_INVALID_VALUE, SERVICE_STOPPED, SERVICE_START_PENDING, "
                    "SERVICE_STOP_PENDING, SERVICE_RUNNING, SERVICE_CONTINUE_PENDING, SERVICE_PAUSE_PENDING, "
                    "SERVICE_PAUSED"),
            "n:8 number:-1 number:1 number:2 number:3 number:4 number:5 number:6 number:7");
  LogCapture capture;
  ASSERT_TRUE(capture.Start());
  EXPECT_EQ(lua.Run("return Service.State('QvNoSuchService') == SERVICE_INVALID_VALUE"), "n:1 boolean:true");
  EXPECT_EQ(Call(lua, "Stop", "QvNoSuchService"), "n:1 boolean:true");
  EXPECT_EQ(Call(lua, "Cleanup", "QvNoSuchService"), "n:1 boolean:true");
  EXPECT_EQ(capture.CountAtOrAbove(QvBrelLogging::LevelVerbose), 0) << capture.Text();  // the banner only
  EXPECT_EQ(Call(lua, "Start", "QvNoSuchService"), "n:1 boolean:false");
  EXPECT_EQ(capture.Count(QvBrelLogging::LevelError, "Lua::Service::Start",
                          L"Service 'QvNoSuchService' is not valid"),
            1);
  EXPECT_EQ(lua.Run("return Service.State()"),
            "error: chunk:1: bad argument #1 to 'State' (string expected, got no value)");
}

// Start and stop of services that behave, refuse or linger, with the state each leaves behind.
TEST(ServiceModuleTest, StartAndStopOnRealServices) {
  ShortWaits waits;
  FakeDependents none({}, 0);
  LuaChunk lua;
  LogCapture capture;
  ASSERT_TRUE(capture.Start());

  ScratchService plain(L"stops");
  ASSERT_TRUE(plain.Created());
  const std::string name = plain.Utf8Name();
  // Stopped: no control is sent (the control would fail on a stopped service).
  EXPECT_EQ(Call(lua, "Stop", name), "n:1 boolean:true");
  EXPECT_EQ(Call(lua, "State", name), "n:1 number:1");
  EXPECT_EQ(Call(lua, "Start", name), "n:1 boolean:true");
  EXPECT_EQ(plain.State(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(Call(lua, "Start", name), "n:1 boolean:true");  // already running
  EXPECT_EQ(Call(lua, "State", name), "n:1 number:4");
  EXPECT_EQ(Call(lua, "Stop", name), "n:1 boolean:true");
  EXPECT_EQ(plain.State(), static_cast<DWORD>(SERVICE_STOPPED));

  ScratchService failing(L"fail-start");
  EXPECT_EQ(Call(lua, "Start", failing.Utf8Name()), "n:1 boolean:false");
  EXPECT_EQ(capture.CountStartingWith(QvBrelLogging::LevelError, "Lua::Service::Start",
                                      L"Service '" + failing.Name() + L"' start failed: "),
            1);

  // Stop-pending already: only waited for, dependents are not asked.
  ScratchService slow(L"slow-stop 1");
  ASSERT_TRUE(slow.StartRunning());
  ASSERT_TRUE(slow.SendStop());
  EXPECT_EQ(slow.State(), static_cast<DWORD>(SERVICE_STOP_PENDING));
  const int callsBefore = FakeDependents::calls;
  EXPECT_EQ(Call(lua, "Stop", slow.Utf8Name()), "n:1 boolean:true");
  EXPECT_EQ(FakeDependents::calls, callsBefore);
  EXPECT_EQ(slow.State(), static_cast<DWORD>(SERVICE_STOPPED));

  // Still starting and refusing the stop: waited for until it runs, then stopped.
  ScratchService starting(L"slow-start 1");
  ASSERT_TRUE(starting.SendStart());
  EXPECT_EQ(starting.State(), static_cast<DWORD>(SERVICE_START_PENDING));
  EXPECT_EQ(Call(lua, "Stop", starting.Utf8Name()), "n:1 boolean:true");
  EXPECT_EQ(starting.State(), static_cast<DWORD>(SERVICE_STOPPED));
  // One that never finishes starting fails the stop when the time is up.
  ScratchService hung(L"start-pending");
  ASSERT_TRUE(hung.SendStart());
  EXPECT_EQ(Call(lua, "Stop", hung.Utf8Name()), "n:1 boolean:false");
  EXPECT_EQ(hung.State(), static_cast<DWORD>(SERVICE_START_PENDING));
  EXPECT_EQ(capture.CountStartingWith(QvBrelLogging::LevelError, "Lua::Service::Stop",
                                      L"Service '" + hung.Name() + L"' stop failed: "),
            1);

  ScratchService stuck(L"never-stop");
  ASSERT_TRUE(stuck.StartRunning());
  const ULONGLONG started = ::GetTickCount64();
  EXPECT_EQ(Call(lua, "Stop", stuck.Utf8Name()), "n:1 boolean:false");
  EXPECT_GE(::GetTickCount64() - started, 1500u);
  EXPECT_EQ(stuck.State(), static_cast<DWORD>(SERVICE_STOP_PENDING));
  EXPECT_EQ(capture.CountStartingWith(QvBrelLogging::LevelError, "Lua::Service::Stop",
                                      L"Service '" + stuck.Name() + L"' stop failed: "),
            1);
}

// A wait ends as soon as it can: a service that gets to the state at once is answered at once, not
// after one poll interval (made far longer here than any answer takes), a start the service gives up
// (stopped again) does not wait out its 10 s, and a run deadline that has passed ends a stop or start
// that would go on at once, failing it with its time-out's message. The service stays where it got.
TEST(ServiceModuleTest, WaitsEndAsSoonAsTheyCan) {
  FakeDependents none({}, 0);
  const QvServiceSeam::Waits saved = QvServiceSeam::waits;
  const ScopeExit restore([&] {
    QvServiceSeam::waits = saved;
    RunDeadline::Instance().Clear();
  });
  QvServiceSeam::waits.startPollMs = QvServiceSeam::waits.stopPollMs = 5000;
  LuaChunk lua;
  LogCapture capture;
  ASSERT_TRUE(capture.Start());
  struct Case {
    const wchar_t* mode;
    bool running;
    bool deadlinePassed;
    const char* call;
    DWORD state;
    const wchar_t* failure;  // null: the call succeeds
  };
  const Case cases[] = {
      {L"stops", false, false, "Start", SERVICE_RUNNING, nullptr},
      {L"stops", true, false, "Stop", SERVICE_STOPPED, nullptr},
      {L"fail-start", false, false, "Start", SERVICE_STOPPED, L"' start failed: "},
      {L"never-stop", true, true, "Stop", SERVICE_STOP_PENDING, L"' stop failed: "},
      {L"start-pending", false, true, "Start", SERVICE_START_PENDING, L"' start failed: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.call) + (c.deadlinePassed ? " past the deadline " : " ") +
                 (c.running ? "running" : ""));
    ScratchService service(c.mode);
    ASSERT_TRUE(service.Created());
    if (c.running) {
      ASSERT_TRUE(service.StartRunning());
    }
    if (c.deadlinePassed) RunDeadline::Instance().Start(0);
    const ULONGLONG started = ::GetTickCount64();
    EXPECT_EQ(Call(lua, c.call, service.Utf8Name()), c.failure ? "n:1 boolean:false" : "n:1 boolean:true");
    EXPECT_LT(::GetTickCount64() - started, 2000u);
    RunDeadline::Instance().Clear();
    EXPECT_EQ(service.State(), c.state);
    EXPECT_EQ(capture.CountStartingWith(QvBrelLogging::LevelError, std::string("Lua::Service::") + c.call,
                                        L"Service '" + service.Name() + (c.failure ? c.failure : L"' ")),
              c.failure ? 1 : 0);
  }
}

// Dependents are stopped first, in the listed order; the first that does not stop ends the walk and
// fails its parent's stop with its own error, leaving the parent running.
TEST(ServiceModuleTest, DependentsStopFirst) {
  ShortWaits waits;
  LuaChunk lua;
  LogCapture capture;
  ASSERT_TRUE(capture.Start());
  struct Case {
    const char* label;
    std::vector<int> order;  // indexes into {stops, refuses}
    DWORD enumerationError;
    bool stopped;
    DWORD reported;  // error in the parent's message
    std::vector<DWORD> dependentStates;
  };
  const Case cases[] = {
      {"one that stops", {0}, 0, true, 0, {SERVICE_STOPPED, SERVICE_RUNNING}},
      {"stops, then refuses",
       {0, 1},
       0,
       false,
       ERROR_INVALID_SERVICE_CONTROL,
       {SERVICE_STOPPED, SERVICE_RUNNING}},
      {"refuses first", {1, 0}, 0, false, ERROR_INVALID_SERVICE_CONTROL, {SERVICE_RUNNING, SERVICE_RUNNING}},
      {"enumeration fails",
       {0},
       ERROR_ACCESS_DENIED,
       false,
       ERROR_ACCESS_DENIED,
       {SERVICE_RUNNING, SERVICE_RUNNING}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ScratchService parent(L"stops");
    ScratchService stops(L"stops");
    ScratchService refuses(L"refuse-stop");
    ASSERT_TRUE(parent.StartRunning() && stops.StartRunning() && refuses.StartRunning());
    std::vector<std::wstring> names;
    for (int index : c.order) names.push_back(index == 0 ? stops.Name() : refuses.Name());
    FakeDependents dependents(names, c.enumerationError);
    EXPECT_EQ(Call(lua, "Stop", parent.Utf8Name()), c.stopped ? "n:1 boolean:true" : "n:1 boolean:false");
    EXPECT_EQ(parent.State(), static_cast<DWORD>(c.stopped ? SERVICE_STOPPED : SERVICE_RUNNING));
    EXPECT_EQ(stops.State(), c.dependentStates[0]);
    EXPECT_EQ(refuses.State(), c.dependentStates[1]);
    EXPECT_EQ(capture.Count(QvBrelLogging::LevelError, "Lua::Service::Stop",
                            L"Service '" + parent.Name() + L"' stop failed: " + std::to_wstring(c.reported)),
              c.stopped ? 0 : 1);
  }
}

// Cleanup removes the service and its key; a key left with a sub-key fails it.
TEST(ServiceModuleTest, CleanupRemovesServiceAndKey) {
  LuaChunk lua;
  LogCapture capture;
  ASSERT_TRUE(capture.Start());
  enum Plant { kService, kServiceWithSubKey, kKeyOnly };
  struct Case {
    const char* label;
    Plant plant;
    bool result;
  };
  for (const Case& c : {Case{"service", kService, true}, Case{"sub-key left", kServiceWithSubKey, false},
                        Case{"key without service", kKeyOnly, true}}) {
    SCOPED_TRACE(c.label);
    ScratchService service(L"stops");
    ASSERT_TRUE(service.Created());
    const std::wstring key = kServicesKey + service.Name();
    UniqueHKey created;
    if (c.plant == kServiceWithSubKey) {
      ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (key + L"\\Parameters").c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, created.put(), nullptr),
                ERROR_SUCCESS);
    }
    std::wstring name = service.Name();
    if (c.plant == kKeyOnly) {
      // A key of that name without a service behind it.
      name += L"Left";
      ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (key + L"Left").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, created.put(), nullptr),
                ERROR_SUCCESS);
    }
    created.reset();
    EXPECT_EQ(Call(lua, "Cleanup", std::string(name.begin(), name.end())),
              c.result ? "n:1 boolean:true" : "n:1 boolean:false");
    EXPECT_EQ(capture.Count(QvBrelLogging::LevelError, "Lua::Service::Cleanup",
                            L"Failed to remove '" + kServicesKey + name + L"': 5"),
              c.result ? 0 : 1)
        << capture.Text();
    if (c.plant == kKeyOnly) {
      EXPECT_FALSE(KeyExists(key + L"Left"));
      EXPECT_TRUE(KeyExists(key));  // the real service next to it is untouched
      EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_STOPPED));
    } else {
      EXPECT_EQ(service.State(), 0u);  // gone from the service control manager, key and all
      EXPECT_FALSE(KeyExists(key));
    }
  }
}
