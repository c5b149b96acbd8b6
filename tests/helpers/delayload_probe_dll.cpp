// Test library: records the resolver configuration handed to its BrelDelayLoadDependencies export.
#include <windows.h>

#include <cstdint>
#include <string>

namespace {
struct Configuration {
  uint32_t size;
  uint32_t flags;
  const wchar_t* component;
  const wchar_t* directory;
};
uint32_t g_size = 0;
uint32_t g_flags = 0;
int g_calls = 0;
std::wstring g_component;
std::wstring g_directory;
}  // namespace

extern "C" __declspec(dllexport) void WINAPI BrelDelayLoadDependencies(const Configuration* configuration) {
  ++g_calls;
  g_size = configuration->size;
  g_flags = configuration->flags;
  g_component = configuration->component ? configuration->component : L"<null>";
  g_directory = configuration->directory ? configuration->directory : L"<null>";
}

// "calls|size|flags|component|directory"
extern "C" __declspec(dllexport) const wchar_t* WINAPI ProbeReport() {
  static std::wstring report;
  report = std::to_wstring(g_calls) + L"|" + std::to_wstring(g_size) + L"|" + std::to_wstring(g_flags) +
           L"|" + g_component + L"|" + g_directory;
  return report.c_str();
}
