// The system libraries the toolkit binds at run time (the tool imports only KnownDLLs): comctl32,
// uxtheme, dwmapi and oleacc. Each call fails soft with an error result when its library or export is
// missing. GDI+ lives in GdiPlus.h.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

namespace QvUI::SystemApis {

// comctl32 InitCommonControlsEx; FALSE with the last error set when it cannot be bound.
BOOL InitCommonControls(DWORD classes);
// uxtheme SetWindowTheme; the library is loaded for the call and freed again.
HRESULT SetWindowTheme(HWND window, const wchar_t* subAppName, const wchar_t* subIdList);
// comctl32 ImageList_Create, ImageList_Add and ImageList_Destroy; null, -1 and FALSE when unbound.
HIMAGELIST ImageListCreate(int width, int height, UINT flags, int initial, int grow);
int ImageListAdd(HIMAGELIST list, HBITMAP image, HBITMAP mask);
BOOL ImageListDestroy(HIMAGELIST list);
// A check box in the window's visual style at dpi (uxtheme OpenThemeDataForDpi, loaded for the
// call); false when the window has no style or the system cannot give one for a DPI.
bool DrawThemedCheckBox(HWND window, HDC dc, const RECT& rect, bool checked, int dpi);
// dwmapi DwmSetWindowAttribute; the library is loaded for the call and freed again.
HRESULT DwmSetWindowAttribute(HWND window, DWORD attribute, const void* value, DWORD size);

// oleacc CreateStdAccessibleObject and LresultFromObject; the library stays loaded (the standard
// objects it makes live in it). Without it: HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND) as the result.
HRESULT CreateStdAccessibleObject(HWND window, LONG objectId, REFIID id, void** object);
LRESULT LresultFromObject(REFIID id, WPARAM wParam, IUnknown* object);

}  // namespace QvUI::SystemApis
