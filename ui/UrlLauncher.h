// Opens web addresses and local HTML files through the desktop shell, so the browser runs as the
// signed-in user rather than elevated with the tool.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace QvUrl {

// https:// and http:// addresses, and file:/// addresses of .html or .htm files (case-sensitive).
bool IsAllowedUrl(const std::wstring& url);

// The shell call behind LaunchUrl: file, arguments, directory, operation, show command.
using ShellExecuteFn = std::function<bool(const wchar_t* file, const wchar_t* arguments,
                                          const wchar_t* directory, const wchar_t* operation, int show)>;

// The desktop shell's ShellExecute (IShellDispatch2 of the desktop's active view); false when no
// desktop shell runs or any step fails. Needs COM on the calling thread.
bool ShellExecuteAsDesktop(const wchar_t* file, const wchar_t* arguments, const wchar_t* directory,
                           const wchar_t* operation, int show);

// Requested interface of the desktop's active shell view.
HRESULT DesktopShellView(REFIID riid, void** result);

// Refuses what IsAllowedUrl refuses; lets the browser take the foreground; true when the shell
// accepted the request.
bool LaunchUrl(const std::wstring& url, const ShellExecuteFn& shellExecute = ShellExecuteAsDesktop);

}  // namespace QvUrl
