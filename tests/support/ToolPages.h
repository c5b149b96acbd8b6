// Test machinery for suites that show the tool's own pages: its templates and texts loaded from
// UninstallationTool.exe beside the tests, and waiting for what the UI thread does.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <functional>
#include <string>

#include "base/UniqueHandle.h"
#include "core/Settings.h"
#include "tests/support/ChildProcess.h"
#include "ui/toolkit/SystemApis.h"

namespace QvTest {

// The tool loaded as a data file (page templates), its English texts loaded into the settings
// store and the common controls registered; an invalid module when the tool cannot be read.
inline UniqueModule LoadToolPages() {
  const std::wstring exe = ProgramFolder() + L"UninstallationTool.exe";
  UniqueModule module(::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!module || BrelResLib::Settings::Instance().LoadResources(module.get(), 102, 101) != 0) return {};
  BrelResLib::Settings::Instance().SetLanguage("en");
  QvUI::SystemApis::InitCommonControls(ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES);
  return module;
}

// Polls condition every 20 ms for up to `milliseconds`; its last answer.
inline bool WaitFor(const std::function<bool()>& condition, int milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    ::Sleep(20);
  }
  return condition();
}

}  // namespace QvTest
