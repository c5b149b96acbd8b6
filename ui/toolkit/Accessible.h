// What the toolkit's windows tell assistive technology (MSAA). A widget describes itself, and a list
// its rows, through AccessibleSource; AccessibleServer answers WM_GETOBJECT with an IAccessible of
// ours that supplies name, role, state and default action from the source and leaves location,
// navigation, hit testing and the parent to the system's standard object for the window.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <string>

namespace QvUI {

// One element: the window itself (child 0, CHILDID_SELF) or one of its simple children (1, 2, ...).
// Role and state are the ROLE_SYSTEM_* and STATE_SYSTEM_* values.
struct AccessibleFacts {
  std::wstring name;
  long role = ROLE_SYSTEM_CLIENT;
  long state = 0;
  std::wstring description;
  std::wstring defaultAction;  // empty: none
};

class AccessibleSource {
 public:
  virtual ~AccessibleSource() = default;
  virtual AccessibleFacts Describe(long child) const = 0;
  virtual long ChildCount() const { return 0; }
  // Carries out the default action; false when the element has none now.
  virtual bool DoDefaultAction(long child) = 0;
  // A child's rectangle in screen coordinates.
  virtual bool ChildLocation(long /*child*/, RECT& /*screen*/) const { return false; }
  // The child under a screen point; 0 for none.
  virtual long ChildAt(POINT /*screen*/) const { return 0; }
  // The child holding the keyboard focus; 0 for none.
  virtual long FocusedChild() const { return 0; }
};

// The states any window shows by itself: invisible, unavailable, focused, and focusable for a tab stop.
long WindowState(HWND window);

// Answers WM_GETOBJECT for one window. The object it hands out holds no pointer to the source once
// Disconnect has run (at WM_DESTROY, at the latest when the server goes): from then on every call
// answers RPC_E_DISCONNECTED, and COM drops the references other processes hold.
class AccessibleServer {
 public:
  explicit AccessibleServer(AccessibleSource& source) : source_(source) {}
  AccessibleServer(const AccessibleServer&) = delete;
  AccessibleServer& operator=(const AccessibleServer&) = delete;
  ~AccessibleServer() { Disconnect(); }

  // True with the answer in result for OBJID_CLIENT; false for every other object (and when oleacc
  // cannot be bound): the window's own procedure answers those.
  bool OnGetObject(HWND window, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void Disconnect();

 private:
  AccessibleSource& source_;
  IAccessible* object_ = nullptr;  // one reference, released by Disconnect
};

// After a message that changed a window's text (EVENT_OBJECT_NAMECHANGE) or its enabled, checked or
// default state (EVENT_OBJECT_STATECHANGE): Windows raises these for its own controls, Wine does
// not; a repeated event only costs a listener a re-read. The system raises the focus event.
void RaiseAccessibleEvent(HWND window, UINT message);

// Objects handed out and not yet released by everyone (for leak checks).
long AccessibleObjectsAlive();

}  // namespace QvUI
