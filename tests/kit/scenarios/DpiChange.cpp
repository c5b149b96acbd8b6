// Scenario "dpi-change": the wizard is sent WM_DPICHANGED as Windows sends it when the window moves
// to a monitor of another DPI (the new DPI in both words, the suggested rectangle in lParam). The
// window must move to the suggested rectangle and its page and controls must grow with the DPI; then
// the wizard is closed on its welcome page and nothing is removed.
#include <windows.h>

#include <cstdlib>

#include "base/UniqueHandle.h"
#include "tests/kit/scenarios/Plant.h"
#include "tests/kit/scenarios/ScenarioList.h"

namespace QvKit {

namespace {

constexpr DWORD kShowTimeoutMs = 60000;

struct Search {
  DWORD processId;
  HWND found;
};

// The visible top-level window of the tool's process with a caption.
HWND MainWindowOf(DWORD processId) {
  Search search{processId, nullptr};
  ::EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        auto* s = reinterpret_cast<Search*>(context);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner != s->processId || !::IsWindowVisible(window) || ::GetWindowTextLengthW(window) == 0)
          return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

SIZE SizeOf(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

// The visible child of `parent` with the largest area (the page below the main window, the
// largest control on the page).
HWND LargestChild(HWND parent) {
  HWND best = nullptr;
  LONG bestArea = 0;
  for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!::IsWindowVisible(child)) continue;
    const SIZE size = SizeOf(child);
    if (size.cx * size.cy > bestArea) {
      best = child;
      bestArea = size.cx * size.cy;
    }
  }
  return best;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Lets the UI thread handle what was sent, then waits until the window has kept its place a while.
void WaitUntilSteady(HWND window) {
  RECT last{};
  ::GetWindowRect(window, &last);
  for (int steady = 0, round = 0; steady < 3 && round < 50; ++round) {
    ::Sleep(100);
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    RECT now{};
    ::GetWindowRect(window, &now);
    steady = SameRect(now, last) ? steady + 1 : 0;
    last = now;
  }
}

// One page holding the RECT at the same address in the tool's process and in ours: the system
// passes a WM_DPICHANGED pointer across processes either as it is or copied from the sender, and
// either way the tool then reads the suggested rectangle.
class SharedRect {
 public:
  SharedRect(HANDLE process, const RECT& rect) : process_(process) {
    for (int attempt = 0; attempt < 16 && address_ == nullptr; ++attempt) {
      void* remote = ::VirtualAllocEx(process, nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
      if (remote == nullptr) return;
      void* local = ::VirtualAlloc(remote, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
      SIZE_T written = 0;
      if (local == remote && ::WriteProcessMemory(process, remote, &rect, sizeof(rect), &written) &&
          written == sizeof(rect)) {
        *static_cast<RECT*>(local) = rect;
        address_ = remote;
        return;
      }
      if (local != nullptr) ::VirtualFree(local, 0, MEM_RELEASE);
      ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
  }
  SharedRect(const SharedRect&) = delete;
  SharedRect& operator=(const SharedRect&) = delete;
  ~SharedRect() {
    if (address_ == nullptr) return;
    ::VirtualFree(address_, 0, MEM_RELEASE);
    ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  }
  void* Address() const { return address_; }

 private:
  HANDLE process_;
  void* address_ = nullptr;
};

// Within 12 % of the expected factor: fonts and dialog units round.
bool Scaled(LONG before, LONG after, int fromDpi, int toDpi) {
  const double expected = static_cast<double>(before) * toDpi / fromDpi;
  return before > 0 && std::abs(after - expected) <= expected * 0.12;
}

std::wstring RectText(const RECT& r) {
  return L"(" + std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L")-(" + std::to_wstring(r.right) +
         L"," + std::to_wstring(r.bottom) + L")";
}

std::wstring SizeText(const SIZE& size) { return std::to_wstring(size.cx) + L"x" + std::to_wstring(size.cy); }

}  // namespace

Result RunDpiChange(Kit& kit) {
  const std::wstring family = FamilyFolder();
  const std::wstring kept = family + L"\\family.txt";
  struct CleanUp {
    std::wstring family;
    UniqueHandle tool;
    ~CleanUp() {
      if (tool && ::WaitForSingleObject(tool.get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(tool.get(), 1);
        ::WaitForSingleObject(tool.get(), 10000);
      }
      RemoveTree(family);
    }
  } cleanUp{family, {}};
  if (!MakeFolders(family) || !WriteTextFile(kept, "family\r\n"))
    return Fail(ApiError(L"planting the family"));

  cleanUp.tool = kit.StartTool(L"--products kitprobe");
  if (!cleanUp.tool) return Fail(L"the wizard could not be started");
  const HANDLE tool = cleanUp.tool.get();
  HWND window = nullptr;
  for (DWORD waited = 0; waited < kShowTimeoutMs && window == nullptr; waited += 200) {
    if (::WaitForSingleObject(tool, 200) != WAIT_TIMEOUT) return Fail(L"the wizard ended before it showed");
    window = MainWindowOf(::GetProcessId(tool));
  }
  if (window == nullptr) return Fail(L"the wizard showed no window within 60 s");
  WaitUntilSteady(window);
  const HWND page = LargestChild(window);
  const HWND control = page != nullptr ? LargestChild(page) : nullptr;
  if (control == nullptr) return Fail(L"the wizard's window has no page with controls");

  const int fromDpi = static_cast<int>(::GetDpiForWindow(window));
  const int toDpi = fromDpi * 3 / 2;
  RECT before{};
  ::GetWindowRect(window, &before);
  const SIZE pageBefore = SizeOf(page), controlBefore = SizeOf(control);
  // The rectangle Windows suggests: the window scaled by the DPI ratio about its centre.
  const LONG width = ::MulDiv(before.right - before.left, toDpi, fromDpi);
  const LONG height = ::MulDiv(before.bottom - before.top, toDpi, fromDpi);
  RECT suggested{};
  suggested.left = (std::max)(0L, (before.left + before.right - width) / 2);
  suggested.top = (std::max)(0L, (before.top + before.bottom - height) / 2);
  suggested.right = suggested.left + width;
  suggested.bottom = suggested.top + height;

  const SharedRect shared(tool, suggested);
  if (shared.Address() == nullptr) return Fail(ApiError(L"placing the suggested rectangle in the wizard"));
  DWORD_PTR answer = 0;
  if (!::SendMessageTimeoutW(window, WM_DPICHANGED, MAKEWPARAM(toDpi, toDpi),
                             reinterpret_cast<LPARAM>(shared.Address()), SMTO_ABORTIFHUNG, 10000, &answer))
    return Fail(ApiError(L"SendMessageTimeoutW(WM_DPICHANGED)"));
  WaitUntilSteady(window);
  kit.Note(L"sent WM_DPICHANGED " + std::to_wstring(fromDpi) + L" -> " + std::to_wstring(toDpi));

  RECT after{};
  ::GetWindowRect(window, &after);
  const SIZE pageAfter = SizeOf(page), controlAfter = SizeOf(control);
  std::wstring problems;
  // The window goes where Windows suggests; its client area is then fitted to the scaled page, since
  // the frame does not scale like the page on every system: its size is the suggestion's, roughly.
  RECT client{};
  ::GetClientRect(window, &client);
  if (after.left != suggested.left || after.top != suggested.top ||
      !Scaled(before.right - before.left, after.right - after.left, fromDpi, toDpi) ||
      !Scaled(before.bottom - before.top, after.bottom - after.top, fromDpi, toDpi))
    problems +=
        L"the window is at " + RectText(after) + L", not at the suggested " + RectText(suggested) + L"; ";
  if (client.right != pageAfter.cx || client.bottom != pageAfter.cy)
    problems += L"the client area " + SizeText({client.right, client.bottom}) + L" does not hold the page " +
                SizeText(pageAfter) + L"; ";
  if (!Scaled(pageBefore.cx, pageAfter.cx, fromDpi, toDpi) ||
      !Scaled(pageBefore.cy, pageAfter.cy, fromDpi, toDpi))
    problems += L"the page went from " + SizeText(pageBefore) + L" to " + SizeText(pageAfter) + L"; ";
  if (!Scaled(controlBefore.cx, controlAfter.cx, fromDpi, toDpi) ||
      !Scaled(controlBefore.cy, controlAfter.cy, fromDpi, toDpi))
    problems += L"a control went from " + SizeText(controlBefore) + L" to " + SizeText(controlAfter) + L"; ";
  kit.Note(L"page " + SizeText(pageBefore) + L" -> " + SizeText(pageAfter) + L", control " +
           SizeText(controlBefore) + L" -> " + SizeText(controlAfter));

  // Closed on the welcome page: the user left, nothing is removed.
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  DWORD exitCode = 0;
  if (::WaitForSingleObject(tool, 30000) != WAIT_OBJECT_0 || !::GetExitCodeProcess(tool, &exitCode))
    problems += L"the wizard did not end after it was closed; ";
  else if (exitCode != 2)
    problems += L"the closed wizard ended with " + std::to_wstring(exitCode) + L", expected 2; ";
  if (!Exists(kept)) problems += L"the family file was removed although nothing was chosen; ";
  if (!problems.empty()) return Fail(problems);
  return Pass();
}

}  // namespace QvKit
