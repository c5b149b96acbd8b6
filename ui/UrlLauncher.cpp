// URL launcher over the desktop shell's automation objects.
#include "ui/UrlLauncher.h"

#include <exdisp.h>
#include <oleauto.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlobj.h>

namespace QvUrl {

namespace {

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

bool EndsWith(const std::wstring& text, const std::wstring& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Releases a COM interface at the end of its scope.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  T* operator->() const { return pointer_; }
  T* get() const { return pointer_; }
  T** out() { return &pointer_; }
  void** outVoid() { return reinterpret_cast<void**>(&pointer_); }

 private:
  T* pointer_ = nullptr;
};

// A string argument of ShellExecute: a BSTR variant, or an empty variant for a null string.
class StringVariant {
 public:
  explicit StringVariant(const wchar_t* text) {
    ::VariantInit(&value_);
    if (text == nullptr) return;
    value_.vt = VT_BSTR;
    value_.bstrVal = ::SysAllocString(text);
  }
  StringVariant(const StringVariant&) = delete;
  StringVariant& operator=(const StringVariant&) = delete;
  ~StringVariant() { ::VariantClear(&value_); }
  const VARIANT& get() const { return value_; }

 private:
  VARIANT value_;
};

}  // namespace

bool IsAllowedUrl(const std::wstring& url) {
  if (StartsWith(url, L"https://") || StartsWith(url, L"http://")) return true;
  return StartsWith(url, L"file:///") && (EndsWith(url, L".html") || EndsWith(url, L".htm"));
}

HRESULT DesktopShellView(REFIID riid, void** result) {
  *result = nullptr;
  ComPtr<IShellWindows> windows;
  HRESULT hr =
      ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows, windows.outVoid());
  if (FAILED(hr)) return hr;
  VARIANT location;
  ::VariantInit(&location);
  location.vt = VT_I4;
  location.lVal = CSIDL_DESKTOP;
  VARIANT root;
  ::VariantInit(&root);
  long window = 0;
  ComPtr<IDispatch> dispatch;
  hr = windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, dispatch.out());
  if (FAILED(hr)) return hr;
  if (dispatch.get() == nullptr) return E_FAIL;
  ComPtr<IServiceProvider> provider;
  hr = dispatch->QueryInterface(IID_IServiceProvider, provider.outVoid());
  if (FAILED(hr)) return hr;
  ComPtr<IShellBrowser> browser;
  hr = provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.outVoid());
  if (FAILED(hr)) return hr;
  ComPtr<IShellView> view;
  hr = browser->QueryActiveShellView(view.out());
  if (FAILED(hr)) return hr;
  return view->QueryInterface(riid, result);
}

bool ShellExecuteAsDesktop(const wchar_t* file, const wchar_t* arguments, const wchar_t* directory,
                           const wchar_t* operation, int show) {
  ComPtr<IShellView> view;
  if (FAILED(DesktopShellView(IID_IShellView, view.outVoid()))) return false;
  ComPtr<IDispatch> background;
  if (FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.outVoid()))) return false;
  ComPtr<IShellFolderViewDual> folderView;
  if (FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.outVoid()))) return false;
  ComPtr<IDispatch> application;
  if (FAILED(folderView->get_Application(application.out())) || application.get() == nullptr) return false;
  ComPtr<IShellDispatch2> shell;
  if (FAILED(application->QueryInterface(IID_IShellDispatch2, shell.outVoid()))) return false;
  BSTR fileText = ::SysAllocString(file);
  if (fileText == nullptr) return false;
  const StringVariant args(arguments);
  const StringVariant dir(directory);
  const StringVariant verb(operation);
  VARIANT showCommand;
  ::VariantInit(&showCommand);
  showCommand.vt = VT_I4;
  showCommand.lVal = show;
  const HRESULT hr = shell->ShellExecute(fileText, args.get(), dir.get(), verb.get(), showCommand);
  ::SysFreeString(fileText);
  return hr == S_OK;
}

bool LaunchUrl(const std::wstring& url, const ShellExecuteFn& shellExecute) {
  if (!IsAllowedUrl(url)) return false;
  ::AllowSetForegroundWindow(ASFW_ANY);
  return shellExecute(url.c_str(), nullptr, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace QvUrl
