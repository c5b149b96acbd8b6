// Link text layout, hit testing and activation.
#include "ui/toolkit/StaticLink.h"

#include <windowsx.h>

#include "ui/toolkit/LinkLayout.h"
#include "ui/toolkit/Theme.h"

namespace QvUI {

bool StaticLink::Attach(HWND window) {
  const bool attached = Control::Attach(window);
  if (attached) RebuildLinkFont();
  return attached;
}

void StaticLink::RebuildLinkFont() {
  LOGFONTW font{};
  HFONT windowFont = Font();
  if (!windowFont) windowFont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  if (::GetObjectW(windowFont, sizeof(font), &font) == 0) return;
  font.lfUnderline = TRUE;
  linkFont_.reset(::CreateFontIndirectW(&font));
}

void StaticLink::SetText(const std::wstring& text) {
  LinkText parts = SplitLinkText(text);
  before_ = std::move(parts.before);
  link_ = std::move(parts.link);
  after_ = std::move(parts.after);
  Wnd::SetText(before_ + link_ + after_);
  ModifyStyle(WS_TABSTOP, !link_.empty());
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

AccessibleFacts StaticLink::Describe(long child) const {
  AccessibleFacts facts = Control::Describe(child);
  if (link_.empty()) {
    facts.role = ROLE_SYSTEM_STATICTEXT;
    facts.state |= STATE_SYSTEM_READONLY;
    return facts;
  }
  // The link is what the focus reaches and Space activates; the sentence around it is its description.
  facts.role = ROLE_SYSTEM_LINK;
  facts.description = std::move(facts.name);
  facts.name = link_;
  facts.state |= STATE_SYSTEM_LINKED;
  facts.defaultAction = L"Jump";
  return facts;
}

void StaticLink::DrawFocusRects(HDC dc) {
  ::SetTextColor(dc, RGB(0, 0, 0));
  for (const RECT& rect : linkRects_) ::DrawFocusRect(dc, &rect);
}

void StaticLink::OnStateChanged(int changed) {
  if (changed & focusMask_) {
    const WindowDc dc(hwnd_);
    DrawFocusRects(dc.get());
  }
  if (changed & (hotMask_ | pressedMask_)) ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void StaticLink::Paint(HDC dc, const RECT& rect) {
  FillBackground(dc, rect, WM_CTLCOLORSTATIC);
  const Theme& theme = Theme::Instance();
  const bool enabled = ::IsWindowEnabled(hwnd_) != FALSE;
  const COLORREF normal = enabled ? ::GetTextColor(dc) : theme.Colour(12);
  const COLORREF link = !enabled                 ? theme.Colour(29)
                        : HasState(pressedMask_) ? theme.Colour(28)
                        : HasState(hotMask_)     ? theme.Colour(27)
                                                 : theme.Colour(26);
  linkRects_.clear();
  const HFONT fonts[3] = {Font(), linkFont_ ? linkFont_.get() : Font(), Font()};

  TextMeasure measure;
  measure.fit = [&](int run, std::wstring_view text, int width) -> size_t {
    const Selection selected(dc, fonts[run]);
    int fit = 0;
    SIZE size{};
    ::GetTextExtentExPointW(dc, text.data(), static_cast<int>(text.size()), width < 0 ? 0 : width, &fit,
                            nullptr, &size);
    return static_cast<size_t>(fit);
  };
  measure.width = [&](int run, std::wstring_view text) {
    return static_cast<int>(MeasureText(dc, fonts[run], text).cx);
  };
  const int lineHeight = MeasureText(dc, fonts[0], L"Ag").cy;
  const int width = rect.right - rect.left;
  const RunLayout layout = LayoutRuns({before_, link_, after_}, width, lineHeight, measure);

  const LONG_PTR style = Style();
  const int lines = static_cast<int>(layout.lineWidths.size());
  const int top = (style & SS_CENTERIMAGE) ? (rect.bottom - rect.top - lines * lineHeight) / 2 : 0;
  for (const RunBox& box : layout.boxes) {
    const int used = layout.lineWidths[static_cast<size_t>(box.line)];
    const int align = (style & SS_TYPEMASK) == SS_CENTER  ? (width - used) / 2
                      : (style & SS_TYPEMASK) == SS_RIGHT ? width - used
                                                          : 0;
    RECT placed{rect.left + align + box.left, rect.top + top + box.top, rect.left + align + box.right,
                rect.top + top + box.bottom};
    const Selection selected(dc, fonts[box.run]);
    DrawTextIn(dc, box.text, placed, DT_SINGLELINE | DT_NOPREFIX, box.run == RunLink ? link : normal);
    if (box.run == RunLink) linkRects_.push_back(placed);
  }
  if (HasState(focusMask_)) DrawFocusRects(dc);
}

LRESULT StaticLink::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETCURSOR:
      ::SetCursor(LOWORD(lParam) == HTCLIENT ? hand_ : arrow_);
      return 0;
    case WM_NCHITTEST: {
      POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ::ScreenToClient(window, &point);
      if (!link_.empty())
        for (const RECT& rect : linkRects_)
          if (::PtInRect(&rect, point)) return HTCLIENT;
      return HTNOWHERE;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS;
    case WM_CHAR:
      if (wParam == L' ') {
        Notify(BN_CLICKED);
        return 0;
      }
      break;
    case WM_SETFONT: {
      const LRESULT result = Control::WindowProc(window, message, wParam, lParam);
      RebuildLinkFont();
      if (LOWORD(lParam)) ::InvalidateRect(window, nullptr, TRUE);
      return result;
    }
    default:
      break;
  }
  return Control::WindowProc(window, message, wParam, lParam);
}

}  // namespace QvUI
