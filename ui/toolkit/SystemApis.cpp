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

// Stays loaded: the window classes it registers live in it.
HMODULE Comctl32() {
  static const HMODULE library = QvProc::LoadSystemLibrary(L"comctl32.dll").release();
  return library;
}

HMODULE Oleacc() {
  static const HMODULE library = QvProc::LoadSystemLibrary(L"oleacc.dll").release();
  return library;
}

}  // namespace

BOOL InitCommonControls(DWORD classes) {
  using Function = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  static const Function function = QvProc::Get<Function>(Comctl32(), "InitCommonControlsEx");
  if (function == nullptr) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
  }
  const INITCOMMONCONTROLSEX init{sizeof(init), classes};
  return function(&init);
}

HRESULT SetWindowTheme(HWND window, const wchar_t* subAppName, const wchar_t* subIdList) {
  using Function = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  const UniqueModule library = QvProc::LoadSystemLibrary(L"uxtheme.dll");
  const auto function = QvProc::Get<Function>(library.get(), "SetWindowTheme");
  if (function == nullptr) return LastErrorResult();
  return function(window, subAppName, subIdList);
}

HIMAGELIST ImageListCreate(int width, int height, UINT flags, int initial, int grow) {
  using Function = HIMAGELIST(WINAPI*)(int, int, UINT, int, int);
  static const Function function = QvProc::Get<Function>(Comctl32(), "ImageList_Create");
  return function ? function(width, height, flags, initial, grow) : nullptr;
}

int ImageListAdd(HIMAGELIST list, HBITMAP image, HBITMAP mask) {
  using Function = int(WINAPI*)(HIMAGELIST, HBITMAP, HBITMAP);
  static const Function function = QvProc::Get<Function>(Comctl32(), "ImageList_Add");
  return function ? function(list, image, mask) : -1;
}

BOOL ImageListDestroy(HIMAGELIST list) {
  using Function = BOOL(WINAPI*)(HIMAGELIST);
  static const Function function = QvProc::Get<Function>(Comctl32(), "ImageList_Destroy");
  return function ? function(list) : FALSE;
}

bool DrawThemedCheckBox(HWND window, HDC dc, const RECT& rect, bool checked, int dpi) {
  using Open = HANDLE(WINAPI*)(HWND, LPCWSTR, UINT);
  using Draw = HRESULT(WINAPI*)(HANDLE, HDC, int, int, LPCRECT, LPCRECT);
  using Close = HRESULT(WINAPI*)(HANDLE);
  const UniqueModule library = QvProc::LoadSystemLibrary(L"uxtheme.dll");
  // The style's parts at a DPI of choice: Windows 10 1703 and later.
  const auto open = QvProc::Get<Open>(library.get(), "OpenThemeDataForDpi");
  const auto draw = QvProc::Get<Draw>(library.get(), "DrawThemeBackground");
  const auto close = QvProc::Get<Close>(library.get(), "CloseThemeData");
  if (open == nullptr || draw == nullptr || close == nullptr) return false;
  const HANDLE theme = open(window, L"BUTTON", static_cast<UINT>(dpi));
  if (theme == nullptr) return false;
  // Part BP_CHECKBOX (3), states CBS_UNCHECKEDNORMAL (1) and CBS_CHECKEDNORMAL (5).
  const bool drawn = SUCCEEDED(draw(theme, dc, 3, checked ? 5 : 1, &rect, nullptr));
  close(theme);
  return drawn;
}

HRESULT DwmSetWindowAttribute(HWND window, DWORD attribute, const void* value, DWORD size) {
  using Function = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
  const UniqueModule library = QvProc::LoadSystemLibrary(L"dwmapi.dll");
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
