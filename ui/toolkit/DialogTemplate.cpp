// DLGTEMPLATEEX reading and dialog-unit arithmetic.
#include "ui/toolkit/DialogTemplate.h"

#include <cstring>

#include "ui/toolkit/Gdi.h"

namespace QvUI {

namespace {

// Reads WORD-aligned template data front to back; every read past the end fails the reader.
class TemplateReader {
 public:
  TemplateReader(const void* data, size_t size) : data_(static_cast<const BYTE*>(data)), size_(size) {}

  bool Ok() const { return ok_; }
  template <typename T>
  T Read() {
    T value{};
    if (!ok_ || size_ - at_ < sizeof(T)) {
      ok_ = false;
      return value;
    }
    std::memcpy(&value, data_ + at_, sizeof(T));
    at_ += sizeof(T);
    return value;
  }
  std::wstring ReadString() {
    std::wstring text;
    for (wchar_t c = Read<wchar_t>(); ok_ && c != L'\0'; c = Read<wchar_t>()) text.push_back(c);
    return text;
  }
  // A name or an ordinal: 0 (none), 0xFFFF and a WORD, or a string.
  void SkipNameOrOrdinal() {
    const WORD first = Read<WORD>();
    if (first == 0xFFFF)
      Read<WORD>();
    else if (first != 0)
      ReadString();
  }
  void Skip(size_t bytes) {
    if (!ok_ || size_ - at_ < bytes)
      ok_ = false;
    else
      at_ += bytes;
  }
  void AlignToDword() { Skip((4 - at_ % 4) % 4); }

 private:
  const BYTE* data_;
  size_t size_;
  size_t at_ = 0;
  bool ok_ = true;
};

RECT ReadUnits(TemplateReader& reader) {
  const short x = reader.Read<short>();
  const short y = reader.Read<short>();
  const short cx = reader.Read<short>();
  const short cy = reader.Read<short>();
  return {x, y, cx, cy};
}

}  // namespace

std::optional<DialogTemplateLayout> ParseDialogTemplate(const void* data, size_t size) {
  TemplateReader reader(data, size);
  if (reader.Read<WORD>() != 1 || reader.Read<WORD>() != 0xFFFF) return std::nullopt;
  reader.Read<DWORD>();  // help id
  reader.Read<DWORD>();  // extended style
  const DWORD style = reader.Read<DWORD>();
  const WORD count = reader.Read<WORD>();
  DialogTemplateLayout layout;
  const RECT frame = ReadUnits(reader);
  layout.units = {frame.right, frame.bottom};
  reader.SkipNameOrOrdinal();  // menu
  reader.SkipNameOrOrdinal();  // class
  reader.ReadString();         // title
  if (style & DS_SETFONT) {
    layout.pointSize = reader.Read<WORD>();
    reader.Read<WORD>();  // weight
    reader.Read<BYTE>();  // italic
    reader.Read<BYTE>();  // character set
    layout.face = reader.ReadString();
  }
  for (WORD index = 0; index < count && reader.Ok(); ++index) {
    reader.AlignToDword();
    reader.Read<DWORD>();  // help id
    reader.Read<DWORD>();  // extended style
    reader.Read<DWORD>();  // style
    const RECT units = ReadUnits(reader);
    const int id = static_cast<int>(reader.Read<DWORD>());
    reader.SkipNameOrOrdinal();  // class
    reader.SkipNameOrOrdinal();  // text
    reader.Skip(reader.Read<WORD>());
    layout.items.push_back({id, units});
  }
  if (!reader.Ok()) return std::nullopt;
  return layout;
}

std::optional<DialogTemplateLayout> LoadDialogTemplate(HINSTANCE module, int templateId) {
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(5));  // RT_DIALOG
  if (found == nullptr) return std::nullopt;
  HGLOBAL loaded = ::LoadResource(module, found);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (data == nullptr) return std::nullopt;
  return ParseDialogTemplate(data, ::SizeofResource(module, found));
}

SIZE DialogBaseUnits(HFONT font) {
  static const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  const WindowDc screen(nullptr);
  const Selection selected(screen.get(), font);
  TEXTMETRICW metrics{};
  SIZE extent{};
  if (!::GetTextMetricsW(screen.get(), &metrics) ||
      !::GetTextExtentPoint32W(screen.get(), kLetters, 52, &extent))
    return {};
  return {(extent.cx / 26 + 1) / 2, metrics.tmHeight};
}

RECT DialogUnitsToPixels(const RECT& units, SIZE baseUnits) {
  const LONG left = ::MulDiv(units.left, baseUnits.cx, 4);
  const LONG top = ::MulDiv(units.top, baseUnits.cy, 8);
  return {left, top, left + ::MulDiv(units.right, baseUnits.cx, 4),
          top + ::MulDiv(units.bottom, baseUnits.cy, 8)};
}

}  // namespace QvUI
