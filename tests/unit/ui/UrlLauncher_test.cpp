// The URL launcher: which addresses it allows and how it hands them to the shell.
#include "ui/UrlLauncher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(UrlLauncher, OnlyWebAddressesAndLocalHtmlFilesAreAllowed) {
  const struct {
    const wchar_t* url;
    bool allowed;
  } cases[] = {
      {L"https://www.quorvel.example/legal/eult/enu.html", true},
      {L"http://www.quorvel.example/", true},
      {L"file:///C:/Docs/terms.html", true},
      {L"file:///C:/Docs/terms.htm", true},
      {L"HTTPS://www.quorvel.example/", false},
      {L"Http://www.quorvel.example/", false},
      {L"file:///C:/Docs/terms.HTML", false},
      {L"file:///C:/Docs/terms.txt", false},
      {L"file:///C:/Windows/System32/calc.exe", false},
      {L"file://server/share/terms.html", false},
      {L"ftp://www.quorvel.example/terms.html", false},
      {L"javascript:alert(1)", false},
      {L"C:\\Windows\\System32\\cmd.exe", false},
      {L"https:/", false},
      {L"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(QvUrl::IsAllowedUrl(c.url), c.allowed) << std::wstring(c.url);
}

TEST(UrlLauncher, HandsOnlyAllowedAddressesToTheShellAsTheDefaultVerbShownNormally) {
  struct Call {
    std::wstring file;
    bool restNull;
    int show;
  };
  std::vector<Call> calls;
  bool shellAnswer = true;
  const QvUrl::ShellExecuteFn shell = [&](const wchar_t* file, const wchar_t* arguments,
                                          const wchar_t* directory, const wchar_t* operation, int show) {
    calls.push_back({file, arguments == nullptr && directory == nullptr && operation == nullptr, show});
    return shellAnswer;
  };
  EXPECT_FALSE(QvUrl::LaunchUrl(L"file:///C:/x.exe", shell));
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(QvUrl::LaunchUrl(L"https://a.example/", shell));
  shellAnswer = false;
  EXPECT_FALSE(QvUrl::LaunchUrl(L"http://b.example/", shell));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].file, L"https://a.example/");
  EXPECT_EQ(calls[1].file, L"http://b.example/");
  for (const Call& call : calls) {
    EXPECT_TRUE(call.restNull);
    EXPECT_EQ(call.show, SW_SHOWNORMAL);
  }
}

}  // namespace
