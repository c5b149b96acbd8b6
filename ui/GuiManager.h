// The interactive wizard's UI manager: a main window on a UI thread of its own showing one page at
// a time; the driver's thread posts a page and waits for the answer or for the window to go.
#pragma once

#include <windows.h>

#include <memory>

#include "base/UniqueHandle.h"
#include "ui/DialogChild.h"
#include "ui/IGuiManager.h"
#include "ui/PageHandOver.h"
#include "ui/toolkit/App.h"
#include "ui/toolkit/GdiPlus.h"

// Main window message carrying an owned DialogChild* in lParam.
inline constexpr UINT kShowDialogMessage = WM_APP + 1;
inline constexpr wchar_t kMainWindowClass[] = L"Quorvel.Omnivo.UninstallationTool";

class GuiManager : public IGuiManager, public QvUI::App {
 public:
  GuiManager(HINSTANCE instance, HANDLE stopEvent);
  ~GuiManager() override;
  bool Initialize() override;
  void Shutdown() override;
  int ShowMessage(int kind) override;
  int ShowWelcome() override;
  int ShowSelect(ProductList& products) override;
  bool ShowProgress() override;

  // Posts the page under a fresh hand-over serial; the serial, or 0 when it could not be posted.
  virtual unsigned PostShowDialog(DialogChild* page);
  // Posts the page and waits for its answer or for the window to go (2).
  virtual int ShowDialog(DialogChild* page);
  virtual void OnShowDialog(DialogChild* page);

 protected:
  LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
  LRESULT OnCommand(int id, int code, HWND control) override;
  void OnDestroy() override;
  // The page is laid out again at dpi; the window takes the suggested place and fits the page.
  void OnDpiChanged(int dpi, const RECT& suggested) override;

 private:
  void CentreOnCursorMonitor();
  // Hands the answer to the driver when the page may still answer.
  void Answer(const DialogChild& page, int answer);

  HINSTANCE instance_;
  QvUI::Gdip::Session gdiplus_;
  std::unique_ptr<DialogChild> page_;
  PageHandOver handOver_;
};
