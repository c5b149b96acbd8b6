// Compile-time tag shortening of g++'s decorated names, and tags handed to helpers.
#include "logging/LogTag.h"

#include <gtest/gtest.h>

#include <string>

#include "logging/QvBrelLogging.h"

namespace {

using QvBrelLogging::Detail::MakeLogTag;

// A literal keeps the call a constant expression, as it is in QV_BREL_LOG.
#define Tag(literal) std::string(MakeLogTag(literal).text)

std::string AnonymousTag() {
  static constexpr auto tag = MakeLogTag(__PRETTY_FUNCTION__);
  return tag.text;
}

// A shared helper reports under the tag of the function it works for.
std::string HelperTag(QvBrelLogging::LogSite site) { return site.tag; }

struct Widget {
  std::string CallsHelper() { return HelperTag(QV_LOG_SITE); }
  std::string Member(int) const {
    static constexpr auto tag = MakeLogTag(__PRETTY_FUNCTION__);
    return tag.text;
  }
  std::string FromLambda() {
    auto inner = [] {
      static constexpr auto tag = MakeLogTag(__PRETTY_FUNCTION__);
      return std::string(tag.text);
    };
    return inner();
  }
};

}  // namespace

TEST(LogTag, ShortensGccSignatures) {
  EXPECT_EQ(Tag("bool UiTool::Prepare(int&)"), "UiTool::Prepare");
  EXPECT_EQ(Tag("virtual bool UiTool::Prepare(int&)"), "UiTool::Prepare");
  EXPECT_EQ(Tag("static bool UiTool::ParseCommandLine(const wchar_t*)"), "UiTool::ParseCommandLine");
  EXPECT_EQ(Tag("std::wstring {anonymous}::GetShortPath(const std::wstring&)"), "::GetShortPath");
  EXPECT_EQ(Tag("Run(HINSTANCE)::<lambda()>"), "Run::<lambda>");
  EXPECT_EQ(Tag("unsigned int Run(HINSTANCE)::<lambda(int)>::<lambda()>"), "Run::<lambda>");
  EXPECT_EQ(Tag("int wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)"), "wWinMain");
  EXPECT_EQ(Tag("std::vector<std::shared_ptr<ProductConfig> > UiToolLib::DetectProducts()"),
            "UiToolLib::DetectProducts");
  EXPECT_EQ(Tag("int Lua::Service::Stop(lua_State*)"), "Lua::Service::Stop");
  EXPECT_EQ(Tag("UiTool::UiTool(IGuiManager*, ICmdLineManager*, HANDLE)"), "UiTool::UiTool");
  EXPECT_EQ(Tag("void Foo<T>::Bar() [with T = int]"), "Foo<T>::Bar");
  EXPECT_EQ(Tag("bool Cmp::operator()(int, int) const"), "Cmp::operator()");
}

TEST(LogTag, RealCompilerNames) {
  EXPECT_EQ(AnonymousTag(), "::AnonymousTag");
  EXPECT_EQ(Widget().Member(1), "::Widget::Member");
  EXPECT_EQ(Widget().FromLambda(), "::Widget::FromLambda::<lambda>");
  EXPECT_EQ(Widget().CallsHelper(), "::Widget::CallsHelper");
}
