// Dialog templates read back from the tool's own resources: the layout computed from them is the
// one the dialog manager made, and damaged template bytes are refused.
#include <gtest/gtest.h>

#include <vector>

#include "base/UniqueHandle.h"
#include "tests/support/ChildProcess.h"
#include "ui/toolkit/Dialog.h"
#include "ui/toolkit/DialogTemplate.h"
#include "ui/toolkit/SystemApis.h"

namespace {

class TemplateDialog : public QvUI::Dialog {
 public:
  // Lays the dialog out at dpi as a DPI change does.
  bool LayOut(int dpi) { return LayOutForDpi(dpi); }
};

RECT ChildRect(HWND dialog, int id) {
  RECT rect{};
  const HWND control = ::GetDlgItem(dialog, id);
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(DialogTemplate, TheWizardPagesAreLaidOutAsTheDialogManagerDoes) {
  const std::wstring exe = QvTest::ProgramFolder() + L"UninstallationTool.exe";
  const UniqueModule module(::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(module.valid()) << "the tool must be built next to the tests";
  const struct {
    int templateId;
    size_t controls;
  } pages[] = {{120, 6}, {121, 4}, {122, 3}, {123, 5}};
  QvUI::SystemApis::InitCommonControls(ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES);
  // The pages are child dialogs: they need a parent window.
  const HWND parent =
      ::CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(parent, nullptr);
  for (const auto& page : pages) {
    const auto layout = QvUI::LoadDialogTemplate(module.get(), page.templateId);
    ASSERT_TRUE(layout) << page.templateId;
    EXPECT_EQ(layout->items.size(), page.controls) << page.templateId;
    EXPECT_EQ(layout->pointSize, 8) << page.templateId;
    EXPECT_EQ(layout->units.cx, 400) << page.templateId;
    EXPECT_EQ(layout->units.cy, 230) << page.templateId;

    TemplateDialog dialog;
    ASSERT_NE(dialog.CreateModeless(module.get(), page.templateId, parent), nullptr) << page.templateId;
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(dialog.Handle(), WM_GETFONT, 0, 0));
    const SIZE base = QvUI::DialogBaseUnits(font);
    std::vector<RECT> created;
    for (const auto& item : layout->items) {
      created.push_back(ChildRect(dialog.Handle(), item.id));
      EXPECT_TRUE(SameRect(created.back(), QvUI::DialogUnitsToPixels(item.units, base)))
          << page.templateId << " control " << item.id;
    }
    // Laid out again at the DPI it was made at, nothing moves.
    const SIZE size = dialog.ClientSize();
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    ASSERT_TRUE(dialog.LayOut(dpi)) << page.templateId;
    EXPECT_EQ(dialog.ClientSize().cx, size.cx) << page.templateId;
    EXPECT_EQ(dialog.ClientSize().cy, size.cy) << page.templateId;
    for (size_t index = 0; index < layout->items.size(); ++index)
      EXPECT_TRUE(SameRect(ChildRect(dialog.Handle(), layout->items[index].id), created[index]))
          << page.templateId << " control " << layout->items[index].id;
  }
  ::DestroyWindow(parent);
}

TEST(DialogTemplate, DamagedTemplatesAreRefused) {
  const std::wstring exe = QvTest::ProgramFolder() + L"UninstallationTool.exe";
  const UniqueModule module(::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(module.valid());
  HRSRC found = ::FindResourceW(module.get(), MAKEINTRESOURCEW(123), MAKEINTRESOURCEW(5));
  ASSERT_NE(found, nullptr);
  const auto* bytes = static_cast<const BYTE*>(::LockResource(::LoadResource(module.get(), found)));
  const std::vector<BYTE> whole(bytes, bytes + ::SizeofResource(module.get(), found));
  ASSERT_TRUE(QvUI::ParseDialogTemplate(whole.data(), whole.size()));
  // Cut in the header, in the font name, in an item, and one byte short of the end.
  for (const size_t cut : {size_t{0}, size_t{3}, size_t{30}, whole.size() / 2, whole.size() - 1})
    EXPECT_FALSE(QvUI::ParseDialogTemplate(whole.data(), cut)) << cut;
  std::vector<BYTE> oldForm = whole;
  oldForm[2] = 0;  // not the extended signature
  EXPECT_FALSE(QvUI::ParseDialogTemplate(oldForm.data(), oldForm.size()));
}

}  // namespace
