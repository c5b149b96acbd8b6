// The IAccessible the toolkit hands out: its own name, role, state and default action, the standard
// object's location, navigation, hit testing and parent.
#include "ui/toolkit/Accessible.h"

#include "base/UniqueHandle.h"
#include "ui/toolkit/SystemApis.h"

namespace QvUI {

namespace {

struct ComTraits {
  static IAccessible* Invalid() noexcept { return nullptr; }
  static void Close(IAccessible* object) noexcept { object->Release(); }
};
using UniqueAccessible = QvHandles::UniqueValue<IAccessible*, ComTraits>;

volatile LONG objectsAlive = 0;

HRESULT PutText(const std::wstring& text, BSTR* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (text.empty()) return S_FALSE;
  *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT PutLong(long value, VARIANT* out) {
  if (out == nullptr) return E_POINTER;
  out->vt = VT_I4;
  out->lVal = value;
  return S_OK;
}

class Object final : public IAccessible {
 public:
  Object(AccessibleSource& source, IAccessible* standard) : source_(&source), standard_(standard) {
    ::InterlockedIncrement(&objectsAlive);
  }
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  // Called on the window's thread, which is the only one the calls arrive on (the object is
  // marshalled into the window's apartment).
  void Disconnect() {
    source_ = nullptr;
    standard_.reset();
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (id == IID_IUnknown || id == IID_IDispatch || id == IID_IAccessible) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    return static_cast<ULONG>(::InterlockedIncrement(&references_));
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) {
      delete this;
      ::InterlockedDecrement(&objectsAlive);
    }
    return static_cast<ULONG>(left);
  }

  // IDispatch: clients of IAccessible call it directly; late binding is not offered.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (!source_) return RPC_E_DISCONNECTED;
    return standard_.get()->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    if (!source_) return RPC_E_DISCONNECTED;
    if (count == nullptr) return E_POINTER;
    *count = source_->ChildCount();
    return *count > 0 ? S_OK : standard_.get()->get_accChildCount(count);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    if (!source_) return RPC_E_DISCONNECTED;
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (source_->ChildCount() == 0) return standard_.get()->get_accChild(child, out);
    long id = 0;
    // Our children are simple elements: the caller asks this object about them by id.
    return ChildId(child, id) && id != CHILDID_SELF ? S_FALSE : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    long id = 0;
    if (const HRESULT result = Check(child, id); result != S_OK) return result;
    return PutText(source_->Describe(id).name, name);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    long id = 0;
    if (const HRESULT result = Check(child, id); result != S_OK) return result;
    if (id == CHILDID_SELF) return standard_.get()->get_accValue(child, value);
    return PutText(std::wstring(), value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    long id = 0;
    if (const HRESULT result = Check(child, id); result != S_OK) return result;
    return PutText(source_->Describe(id).description, description);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    long id = 0;
    if (const HRESULT result = Check(child, id); result != S_OK) return result;
    return PutLong(source_->Describe(id).role, role);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    long id = 0;
    if (const HRESULT result = Check(child, id); result != S_OK) return result;
    return PutLong(source_->Describe(id).state, state);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    long id = 0;
    if (const HRESULT result = Check(child, id); result != S_OK) return result;
    return id == CHILDID_SELF ? standard_.get()->get_accHelp(child, help) : PutText(std::wstring(), help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    long id = 0;
    if (const HRESULT result = Check(child, id); result != S_OK) return result;
    if (id == CHILDID_SELF) return standard_.get()->get_accHelpTopic(file, child, topic);
    if (topic != nullptr) *topic = 0;
    return PutText(std::wstring(), file);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    long id = 0;
    if (const HRESULT result = Check(child, id); result != S_OK) return result;
    return id == CHILDID_SELF ? standard_.get()->get_accKeyboardShortcut(child, shortcut)
                              : PutText(std::wstring(), shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (!source_) return RPC_E_DISCONNECTED;
    const long child = source_->FocusedChild();
    return child > 0 ? PutLong(child, focus) : standard_.get()->get_accFocus(focus);
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (!source_) return RPC_E_DISCONNECTED;
    if (selection == nullptr) return E_POINTER;
    if (source_->ChildCount() == 0) return standard_.get()->get_accSelection(selection);
    // Single selection: the selected row, or nothing.
    for (long id = 1; id <= source_->ChildCount(); ++id)
      if (source_->Describe(id).state & STATE_SYSTEM_SELECTED) return PutLong(id, selection);
    selection->vt = VT_EMPTY;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    long id = 0;
    if (const HRESULT result = Check(child, id); result != S_OK) return result;
    return PutText(source_->Describe(id).defaultAction, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
    long id = 0;
    if (const HRESULT result = Check(child, id); result != S_OK) return result;
    return id == CHILDID_SELF ? standard_.get()->accSelect(flags, child) : DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                        VARIANT child) override {
    long id = 0;
    if (const HRESULT result = Check(child, id); result != S_OK) return result;
    if (id == CHILDID_SELF) return standard_.get()->accLocation(left, top, width, height, child);
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_POINTER;
    RECT rect{};
    if (!source_->ChildLocation(id, rect)) return S_FALSE;
    *left = rect.left;
    *top = rect.top;
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    long id = 0;
    if (const HRESULT result = Check(start, id); result != S_OK) return result;
    if (end == nullptr) return E_POINTER;
    const long count = source_->ChildCount();
    long to = 0;
    if (id == CHILDID_SELF) {
      if (count == 0 || (direction != NAVDIR_FIRSTCHILD && direction != NAVDIR_LASTCHILD))
        return standard_.get()->accNavigate(direction, start, end);
      to = direction == NAVDIR_FIRSTCHILD ? 1 : count;
    } else if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN) {
      to = id + 1;
    } else if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP) {
      to = id - 1;
    }
    if (to < 1 || to > count) {
      end->vt = VT_EMPTY;
      return S_FALSE;
    }
    return PutLong(to, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* at) override {
    if (!source_) return RPC_E_DISCONNECTED;
    const HRESULT result = standard_.get()->accHitTest(x, y, at);
    if (result != S_OK || at->vt != VT_I4 || at->lVal != CHILDID_SELF) return result;
    const long child = source_->ChildAt(POINT{x, y});
    return child > 0 ? PutLong(child, at) : result;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    long id = 0;
    if (const HRESULT result = Check(child, id); result != S_OK) return result;
    return source_->DoDefaultAction(id) ? S_OK : DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  ~Object() = default;

  bool ChildId(const VARIANT& child, long& id) const {
    if (child.vt != VT_I4) return false;
    id = child.lVal;
    return id >= 0 && id <= source_->ChildCount();
  }
  // S_OK with the child's id while connected and the id names an element of ours.
  HRESULT Check(const VARIANT& child, long& id) const {
    if (!source_) return RPC_E_DISCONNECTED;
    return ChildId(child, id) ? S_OK : E_INVALIDARG;
  }

  volatile LONG references_ = 1;
  AccessibleSource* source_;
  UniqueAccessible standard_;
};

}  // namespace

long WindowState(HWND window) {
  long state = 0;
  if (!::IsWindowVisible(window)) state |= STATE_SYSTEM_INVISIBLE;
  if (!::IsWindowEnabled(window)) state |= STATE_SYSTEM_UNAVAILABLE;
  if (::GetWindowLongPtrW(window, GWL_STYLE) & WS_TABSTOP) state |= STATE_SYSTEM_FOCUSABLE;
  // The focus of the window's own thread, whichever thread asks.
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus == window)
    state |= STATE_SYSTEM_FOCUSED;
  return state;
}

bool AccessibleServer::OnGetObject(HWND window, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  // The object id travels as a DWORD in the low half.
  if (static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT)) return false;
  if (object_ == nullptr) {
    UniqueAccessible standard;
    if (FAILED(SystemApis::CreateStdAccessibleObject(window, OBJID_CLIENT, IID_IAccessible,
                                                     reinterpret_cast<void**>(standard.put()))) ||
        !standard)
      return false;
    object_ = new Object(source_, standard.release());
  }
  result = SystemApis::LresultFromObject(IID_IAccessible, wParam, object_);
  return true;
}

void AccessibleServer::Disconnect() {
  if (object_ == nullptr) return;
  static_cast<Object*>(object_)->Disconnect();
  // Other apartments' proxies lose the object now instead of keeping it alive until they let go.
  ::CoDisconnectObject(object_, 0);
  object_->Release();
  object_ = nullptr;
}

void RaiseAccessibleEvent(HWND window, UINT message) {
  switch (message) {
    case WM_SETTEXT:
      ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, CHILDID_SELF);
      break;
    case WM_ENABLE:
    case BM_SETCHECK:
    case BM_SETSTYLE:
      ::NotifyWinEvent(EVENT_OBJECT_STATECHANGE, window, OBJID_CLIENT, CHILDID_SELF);
      break;
    default:
      break;
  }
}

long AccessibleObjectsAlive() { return ::InterlockedCompareExchange(&objectsAlive, 0, 0); }

}  // namespace QvUI
