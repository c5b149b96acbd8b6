// Compile-time shortening of the compiler's decorated function name into the log tag
// ("bool UiTool::Prepare(int&)" -> "UiTool::Prepare", "{anonymous}::F" -> "::F",
// "Run(HINSTANCE)::<lambda()>" -> "Run::<lambda>"). Needs no windows.h.
#pragma once

#include <cstddef>
#include <string_view>

namespace QvBrelLogging::Detail {

template <std::size_t N>
struct LogTagText {
  char text[N]{};
};

// Index of the '(' that matches the ')' at `close`, or npos.
constexpr std::size_t MatchingOpenParen(std::string_view s, std::size_t close) {
  int depth = 0;
  for (std::size_t i = close + 1; i-- > 0;) {
    if (s[i] == ')')
      ++depth;
    else if (s[i] == '(' && --depth == 0)
      return i;
  }
  return std::string_view::npos;
}

// The qualified name of a decorated function signature such as
// "static std::vector<int> A::B::C(int) const": return type, parameters and qualifiers dropped.
constexpr std::string_view QualifiedName(std::string_view s) {
  const std::size_t with = s.find(" [with ");
  if (with != std::string_view::npos) s = s.substr(0, with);
  const std::size_t lastClose = s.rfind(')');
  if (lastClose == std::string_view::npos) return s;
  const std::size_t open = MatchingOpenParen(s, lastClose);
  if (open == std::string_view::npos) return s;
  std::size_t begin = open;
  int angle = 0;
  while (begin > 0) {
    const char c = s[begin - 1];
    if (c == '>')
      ++angle;
    else if (c == '<')
      --angle;
    else if (c == ' ' && angle <= 0)
      break;
    --begin;
  }
  return s.substr(begin, open - begin);
}

template <std::size_t N>
consteval LogTagText<N + 24> MakeLogTag(const char (&raw)[N]) {
  std::string_view s(raw, N - 1);
  // A lambda: "<enclosing signature>::<lambda(args)>" (possibly nested); keep the enclosing
  // function's name and one "::<lambda>".
  bool lambda = false;
  const std::size_t lambdaAt = s.find("::<lambda(");
  if (lambdaAt != std::string_view::npos) {
    s = s.substr(0, lambdaAt);
    lambda = true;
  } else if (s.starts_with("<lambda(")) {
    s = {};
    lambda = true;
  }
  const std::string_view name = s.empty() ? s : QualifiedName(s);
  LogTagText<N + 24> out{};
  std::size_t o = 0;
  constexpr std::string_view anonymous = "{anonymous}";
  for (std::size_t i = 0; i < name.size();) {
    if (name.substr(i, anonymous.size()) == anonymous) {
      i += anonymous.size();
      continue;
    }
    out.text[o++] = name[i++];
  }
  if (lambda) {
    constexpr std::string_view suffix = "::<lambda>";
    for (std::size_t i = (o == 0 ? 2 : 0); i < suffix.size(); ++i) out.text[o++] = suffix[i];
  }
  return out;
}

}  // namespace QvBrelLogging::Detail
