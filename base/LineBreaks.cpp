// Escaping of line breaks for one-line records.
#include "base/LineBreaks.h"

namespace {

template <typename Char>
std::basic_string<Char> Escape(std::basic_string_view<Char> text) {
  std::basic_string<Char> result;
  result.reserve(text.size());
  for (const Char c : text) {
    if (c == Char('\r') || c == Char('\n')) {
      result.push_back(Char('\\'));
      result.push_back(c == Char('\r') ? Char('r') : Char('n'));
    } else {
      result.push_back(c);
    }
  }
  return result;
}

}  // namespace

namespace QvText {

std::string EscapeLineBreaks(std::string_view text) { return Escape(text); }
std::wstring EscapeLineBreaks(std::wstring_view text) { return Escape(text); }

}  // namespace QvText
