// What every control of every wizard page tells assistive technology: the real manager with the
// tool's page templates, asked through AccessibleObjectFromWindow as a screen reader asks.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/ProcAddress.h"
#include "base/UniqueHandle.h"
#include "core/Settings.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ToolPages.h"
#include "tests/support/FakeProduct.h"
#include "ui/GuiManager.h"
#include "ui/toolkit/Accessible.h"
#include "ui/toolkit/SystemApis.h"

namespace {

using QvTest::FakeProduct;

struct ComTraits {
  static IAccessible* Invalid() noexcept { return nullptr; }
  static void Close(IAccessible* object) noexcept { object->Release(); }
};
using Accessible = QvHandles::UniqueValue<IAccessible*, ComTraits>;

// The test thread is an apartment of its own: every call travels to the UI thread through the
// IAccessible proxy the system registers, as it does for a screen reader in another process.
Accessible FromWindow(HWND window) {
  using Function = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
  static const Function function =
      QvProc::Get<Function>(QvProc::LoadSystemLibrary(L"oleacc.dll").release(), "AccessibleObjectFromWindow");
  Accessible object;
  if (function != nullptr)
    function(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
             reinterpret_cast<void**>(object.put()));
  return object;
}

VARIANT Child(long id) {
  VARIANT child;
  child.vt = VT_I4;
  child.lVal = id;
  return child;
}

// Where the pointer or the activation happens to be is no part of the expectation; the focus is
// checked against the window that has it.
constexpr long kIgnored = STATE_SYSTEM_HOTTRACKED | STATE_SYSTEM_FOCUSED;

constexpr long kText = STATE_SYSTEM_READONLY;
constexpr long kButton = STATE_SYSTEM_FOCUSABLE;
constexpr long kDefault = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_DEFAULT;
constexpr long kRow = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;

struct Row {
  int id;  // control id; for a list row, the list's id
  long child;
  std::wstring name;
  long role;
  long state;
  std::wstring description;
};

// One element as a row; S_OK or the first failure of the four calls in `result`.
Row Ask(IAccessible* object, int id, long child, HRESULT& result) {
  BSTR name = nullptr, description = nullptr;
  VARIANT role{}, state{};
  result = S_OK;
  for (const HRESULT each :
       {object->get_accName(Child(child), &name), object->get_accRole(Child(child), &role),
        object->get_accState(Child(child), &state), object->get_accDescription(Child(child), &description)})
    if (FAILED(each) && result == S_OK) result = each;
  const auto take = [](BSTR text) {
    std::wstring value = text ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
    ::SysFreeString(text);
    return value;
  };
  return {id,
          child,
          take(name),
          role.vt == VT_I4 ? role.lVal : -1,
          state.vt == VT_I4 ? state.lVal : -1,
          take(description)};
}

std::wstring Text(const char* key) { return BrelResLib::Settings::Instance().GetString(key); }
std::wstring Setting(const char* key) { return BrelResLib::Settings::Instance().GetSetting(key); }

using QvTest::WaitFor;

class WizardAccessibility : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    module_ = QvTest::LoadToolPages();
    ASSERT_TRUE(module_.valid()) << "the tool must be built next to the tests";
    stop_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    gui_ = std::make_unique<GuiManager>(module_.get(), stop_.get());
    ASSERT_TRUE(gui_->Initialize());
  }
  void TearDown() override {
    if (gui_) gui_->Shutdown();
    gui_.reset();
    ::CoUninitialize();
  }

  // The visible page holding the control `marker` that is not `old`.
  HWND WaitForPage(int marker, HWND old) const {
    HWND page = nullptr;
    WaitFor(
        [&] {
          for (HWND child = ::GetWindow(gui_->Handle(), GW_CHILD); child != nullptr;
               child = ::GetWindow(child, GW_HWNDNEXT))
            if (child != old && ::IsWindowVisible(child) && ::GetDlgItem(child, marker) != nullptr)
              return (page = child) != nullptr;
          return false;
        },
        10000);
    return page;
  }

  UniqueModule module_;
  UniqueHandle stop_;
  std::unique_ptr<GuiManager> gui_;
};

TEST_F(WizardAccessibility, EveryControlOfEveryPageSaysWhatItIs) {
  // Found and chosen, and neither: the selection page opens on "select" with the list shown.
  ProductList products = {std::make_shared<FakeProduct>(L"a", L"Product A", true, true),
                          std::make_shared<FakeProduct>(L"b", L"Product B", false, false)};
  const std::wstring copyright = L"Copyright \u00a9 2016-2024 Quorvel. All rights reserved. Licence terms";
  const auto message = [](const wchar_t* status, const char* text, bool reboot) {
    return std::vector<Row>{
        {1022, 0, status, ROLE_SYSTEM_GRAPHIC, kText, L""},
        {1008, 0, Text(text), ROLE_SYSTEM_STATICTEXT, kText, L""},
        reboot ? Row{IDOK, 0, Text("Reboot"), ROLE_SYSTEM_PUSHBUTTON, kDefault, L""}
               : Row{IDOK, 0, L"#OK", ROLE_SYSTEM_PUSHBUTTON, kDefault | STATE_SYSTEM_INVISIBLE, L""},
        {IDCANCEL, 0, Text("Close"), ROLE_SYSTEM_PUSHBUTTON, kButton, L""},
    };
  };
  const struct Page {
    const char* name;
    std::function<int()> show;  // on the driver's thread; the answer, or -1 for none
    int marker;
    std::vector<Row> rows;
    int press;  // the button whose default action answers the page (0: none)
    int answer;
  } pages[] = {
      {"welcome",
       [&] { return gui_->ShowWelcome(); },
       1019,
       {{1026, 0, Text("Title"), ROLE_SYSTEM_STATICTEXT, kText, L""},
        {1008, 0, Text("Welcome"), ROLE_SYSTEM_STATICTEXT, kText, L""},
        {IDOK, 0, Text("Start"), ROLE_SYSTEM_PUSHBUTTON, kDefault, L""},
        {1019, 0, L"Licence terms", ROLE_SYSTEM_LINK, STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED,
         copyright},
        {1017, 0, Setting("LuaCopyright"), ROLE_SYSTEM_STATICTEXT, kText, L""},
        {1016, 0, Setting("ZlibCopyright"), ROLE_SYSTEM_STATICTEXT, kText, L""}},
       IDOK,
       AnswerOk},
      {"selection",
       [&] { return gui_->ShowSelect(products); },
       1027,
       {{1027, 0, Text("RadioAll"), ROLE_SYSTEM_RADIOBUTTON, kButton, L""},
        {1028, 0, Text("RadioSelect"), ROLE_SYSTEM_RADIOBUTTON, kButton | STATE_SYSTEM_CHECKED, L""},
        {1025, 0, Text("RadioSelect"), ROLE_SYSTEM_LIST, STATE_SYSTEM_FOCUSABLE, L""},
        {1025, 1, L"Product A", ROLE_SYSTEM_LISTITEM, kRow | STATE_SYSTEM_CHECKED, L"Found: Found"},
        {1025, 2, L"Product B", ROLE_SYSTEM_LISTITEM, kRow, L""},
        {IDOK, 0, Text("Next"), ROLE_SYSTEM_PUSHBUTTON, kDefault, L""},
        {IDCANCEL, 0, Text("Cancel"), ROLE_SYSTEM_PUSHBUTTON, kButton, L""}},
       IDOK,
       AnswerOk},
      {"progress",
       [&] { return gui_->ShowProgress() ? -1 : 0; },
       1023,
       {{1023, 0, Text("Removing"), ROLE_SYSTEM_PROGRESSBAR, STATE_SYSTEM_BUSY | kText, L""},
        {1008, 0, Text("Removing"), ROLE_SYSTEM_STATICTEXT, kText, L""},
        {IDCANCEL, 0, Text("Cancel"), ROLE_SYSTEM_PUSHBUTTON, kDefault | STATE_SYSTEM_UNAVAILABLE, L""}},
       0,
       -1},
      {"error", [&] { return gui_->ShowMessage(MessageErrorGeneric); }, 1022,
       message(L"Error", "ErrorGeneric", false), IDCANCEL, AnswerCancel},
      {"privileges", [&] { return gui_->ShowMessage(MessageErrorPrivileges); }, 1022,
       message(L"Error", "ErrorPrivileges", false), IDCANCEL, AnswerCancel},
      {"finished", [&] { return gui_->ShowMessage(MessageFinished); }, 1022,
       message(L"Success", "Finished", false), IDCANCEL, AnswerCancel},
      {"restart needed", [&] { return gui_->ShowMessage(MessageFinishedReboot); }, 1022,
       message(L"Information", "FinishedReboot", true), IDCANCEL, AnswerCancel},
  };

  HWND previousPage = nullptr;
  std::vector<Accessible> previousObjects;
  for (const Page& page : pages) {
    std::atomic<int> answer{0};
    std::thread driver([&] { answer = page.show(); });
    const HWND window = WaitForPage(page.marker, previousPage);
    ASSERT_NE(window, nullptr) << page.name;

    // The page before is gone: nothing of it is left on our side while the client still holds its
    // proxies, and each of them answers that its object is gone. Windows says RPC_E_DISCONNECTED or
    // CO_E_OBJNOTCONNECTED; Wine's proxy of a disconnected object answers RPC_S_UNKNOWN_IF.
    // The manager lets the old page go just after it shows the new one.
    EXPECT_TRUE(WaitFor([] { return QvUI::AccessibleObjectsAlive() == 0; }, 2000))
        << page.name << ": " << QvUI::AccessibleObjectsAlive();
    for (const Accessible& old : previousObjects) {
      BSTR name = nullptr;
      const HRESULT result = old.get()->get_accName(Child(CHILDID_SELF), &name);
      ::SysFreeString(name);
      EXPECT_TRUE(result == RPC_E_DISCONNECTED || result == CO_E_OBJNOTCONNECTED ||
                  result == HRESULT_FROM_WIN32(RPC_S_UNKNOWN_IF))
          << page.name << ": 0x" << std::hex << result;
    }
    previousObjects.clear();

    // Every control of the page has its row, and each row its control.
    std::map<int, Accessible> objects;
    for (HWND control = ::GetWindow(window, GW_CHILD); control != nullptr;
         control = ::GetWindow(control, GW_HWNDNEXT)) {
      const int id = ::GetDlgCtrlID(control);
      Accessible object = FromWindow(control);
      ASSERT_TRUE(object) << page.name << ", control " << id;
      objects[id] = std::move(object);
    }
    size_t rowsOfList = 0;
    for (const Row& row : page.rows) {
      const auto found = objects.find(row.id);
      ASSERT_NE(found, objects.end()) << page.name << ", control " << row.id;
      HRESULT result = S_OK;
      const Row got = Ask(found->second.get(), row.id, row.child, result);
      const std::string where =
          std::string(page.name) + ", control " + std::to_string(row.id) + "." + std::to_string(row.child);
      EXPECT_EQ(result, S_OK) << where;
      EXPECT_EQ(got.name, row.name) << where;
      EXPECT_EQ(got.role, row.role) << where;
      EXPECT_EQ(got.state & ~kIgnored, row.state) << where << ": 0x" << std::hex << got.state;
      EXPECT_EQ(got.description, row.description) << where;
      if (row.child == 0) {
        const HWND control = ::GetDlgItem(window, row.id);
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(control, nullptr), &info);
        EXPECT_EQ((got.state & STATE_SYSTEM_FOCUSED) != 0, info.hwndFocus == control) << where;
      } else {
        ++rowsOfList;
      }
    }
    EXPECT_EQ(objects.size() + rowsOfList, page.rows.size()) << page.name;

    if (const auto list = objects.find(1025); list != objects.end()) {
      long count = 0;
      EXPECT_EQ(list->second.get()->get_accChildCount(&count), S_OK);
      EXPECT_EQ(count, static_cast<long>(rowsOfList)) << page.name;
      // Checking the second row from outside reaches the choice the page hands over.
      EXPECT_EQ(list->second.get()->accDoDefaultAction(Child(2)), S_OK);
      HRESULT result = S_OK;
      EXPECT_EQ(Ask(list->second.get(), 1025, 2, result).state & ~kIgnored, kRow | STATE_SYSTEM_CHECKED);
    }
    if (page.press != 0) {
      EXPECT_EQ(objects[page.press].get()->accDoDefaultAction(Child(CHILDID_SELF)), S_OK) << page.name;
      ASSERT_TRUE(WaitFor([&] { return answer.load() != 0; }, 10000)) << page.name;
    }
    driver.join();
    EXPECT_EQ(answer.load(), page.answer) << page.name;
    for (auto& entry : objects) previousObjects.push_back(std::move(entry.second));
    previousPage = window;
  }
  EXPECT_TRUE(products[0]->IsSelected());
  EXPECT_TRUE(products[1]->IsSelected());

  // Once the window is gone no object is left on our side, whatever clients still hold.
  gui_->Shutdown();
  EXPECT_EQ(QvUI::AccessibleObjectsAlive(), 0);
}

}  // namespace
