// Run-time bindings of comctl32, uxtheme, dwmapi and oleacc.
#include "ui/toolkit/SystemApis.h"

#include "base/ProcAddress.h"
#include "base/UniqueHandle.h"

namespace QvUI::SystemApis {

namespace {

HRESULT LastErrorResult() {
  const DWORD error = ::GetLastError();
  return HRESULT_FROM_WIN32(error == ERROR_SUCCESS ? ERROR_PROC_NOT_FOUND : error);
}

HMODULE Oleacc() {
  static const HMODULE library = LoadSystemLibrary(L"oleacc.dll");
  return library;
}

}  // namespace

HMODULE LoadSystemLibrary(const wchar_t* name) {
  return ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

BOOL InitCommonControls(DWORD classes) {
  using Function = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  // Stays loaded: the window classes it registers live in it.
  static const Function function =
      QvProc::Get<Function>(LoadSystemLibrary(L"comctl32.dll"), "InitCommonControlsEx");
  if (function == nullptr) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
  }
  const INITCOMMONCONTROLSEX init{sizeof(init), classes};
  return function(&init);
}

HRESULT SetWindowTheme(HWND window, const wchar_t* subAppName, const wchar_t* subIdList) {
  using Function = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  const UniqueModule library(LoadSystemLibrary(L"uxtheme.dll"));
  const auto function = QvProc::Get<Function>(library.get(), "SetWindowTheme");
  if (function == nullptr) return LastErrorResult();
  return function(window, subAppName, subIdList);
}

HRESULT DwmSetWindowAttribute(HWND window, DWORD attribute, const void* value, DWORD size) {
  using Function = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
  const UniqueModule library(LoadSystemLibrary(L"dwmapi.dll"));
  const auto function = QvProc::Get<Function>(library.get(), "DwmSetWindowAttribute");
  if (function == nullptr) return LastErrorResult();
  return function(window, attribute, value, size);
}

HRESULT CreateStdAccessibleObject(HWND window, LONG objectId, REFIID id, void** object) {
  using Function = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
  static const Function function = QvProc::Get<Function>(Oleacc(), "CreateStdAccessibleObject");
  if (object != nullptr) *object = nullptr;
  if (function == nullptr) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  return function(window, objectId, id, object);
}

LRESULT LresultFromObject(REFIID id, WPARAM wParam, IUnknown* object) {
  using Function = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
  static const Function function = QvProc::Get<Function>(Oleacc(), "LresultFromObject");
  if (function == nullptr) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  return function(id, wParam, object);
}

}  // namespace QvUI::SystemApis
