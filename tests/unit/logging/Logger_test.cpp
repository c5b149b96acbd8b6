// The logger against the real file system and registry: what reaches the file, when and how.
#include "logging/Logger.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "LogTestSupport.h"
#include "logging/QvBrelLogging.h"

namespace {

using LogTest::ParsedLine;
using LogTest::ReadFileBytes;
using LogTest::Tagged;
using QvBrelLogging::LoggerWin;

constexpr char kStartBannerLocal[] = "***  LOGGING STARTED  *** (UTC";
constexpr char kEndBanner[] = "***  LOGGING ENDED  ***";
constexpr char kAutoClosed[] = "***  LOG AUTO-CLOSED ***";

ULONGLONG ToTicks(const SYSTEMTIME& time) {
  FILETIME file;
  EXPECT_TRUE(::SystemTimeToFileTime(&time, &file));
  return (static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

std::string Hex4(unsigned long value) {
  char text[16];
  std::snprintf(text, sizeof(text), "%04lx", value);
  return text;
}

// What OutputDebugStringA hands to the debugger, seen through the exception it raises.
std::mutex debugMutex;
std::vector<std::string> debugTexts;
LONG CALLBACK CaptureDebugOutput(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
    std::lock_guard lock(debugMutex);
    debugTexts.emplace_back(reinterpret_cast<const char*>(record->ExceptionInformation[1]),
                            static_cast<std::size_t>(record->ExceptionInformation[0]));
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

class LoggerTest : public LogTest::LoggingTest {
 protected:
  // A logger of this test's component writing "app.log".
  std::unique_ptr<LoggerWin> Start(int level = QvBrelLogging::LevelInfo, unsigned flags = 0,
                                   const wchar_t* nameSpace = nullptr) {
    auto logger = std::make_unique<LoggerWin>();
    logger->Init(nameSpace, component_.c_str(), L"app", level, flags);
    return logger;
  }
  std::string AppText() const { return ReadFileBytes(LogFile(L"app")).value_or(""); }
  std::vector<ParsedLine> AppRecords() const { return Records(L"app"); }
};

}  // namespace

TEST_F(LoggerTest, WritesFramedRunWithExactLineLayout) {
  SYSTEMTIME before, after;
  ::GetLocalTime(&before);
  auto logger = Start();
  Tagged(*logger, QvBrelLogging::LevelInfo, "UiTool::Prepare", L"Using language: %hs", "en");
  logger->Uninit();
  ::GetLocalTime(&after);

  const std::string text = AppText();
  const std::vector<std::string> lines = LogTest::SplitLines(text);
  ASSERT_EQ(lines.size(), 4u) << text;
  EXPECT_EQ(text.substr(0, 2), "\r\n");  // the empty line that separates runs
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  const std::string ids = "[" + Hex4(::GetCurrentProcessId()) + "." + Hex4(::GetCurrentThreadId()) + "]";
  const std::string record = lines[2];
  // "YYYY-MM-DD hh:mm:ss.mmm " is 24 characters; everything after it is fixed.
  ASSERT_GE(record.size(), 24u);
  EXPECT_EQ(record.substr(24), ids + "  I: UiTool::Prepare: Using language: en");
  const std::optional<ParsedLine> parsed = LogTest::ParseLine(record);
  ASSERT_TRUE(parsed);
  EXPECT_LE(ToTicks(before) / 10000, ToTicks(parsed->time) / 10000);
  EXPECT_GE(ToTicks(after) / 10000, ToTicks(parsed->time) / 10000);

  const std::optional<ParsedLine> start = LogTest::ParseLine(lines[1]);
  ASSERT_TRUE(start);
  EXPECT_EQ(start->mark, " I");
  DWORD session = 0;
  ASSERT_TRUE(::ProcessIdToSessionId(::GetCurrentProcessId(), &session));
  EXPECT_TRUE(start->rest.starts_with(kStartBannerLocal)) << start->rest;
  EXPECT_TRUE(start->rest.ends_with(", session: 0x" + std::to_string(session) + ")")) << start->rest;
  EXPECT_EQ(lines[3].substr(24), ids + "  I: " + kEndBanner);
}

TEST_F(LoggerTest, MarksEveryLevelAndLeavesNullTagsOut) {
  auto logger = Start(7);
  for (const int level : {1, 2, 3, 4, 5, 6, 7, 0, -1, 8}) Tagged(*logger, level, "T::F", "level %d", level);
  Tagged(*logger, QvBrelLogging::LevelError, nullptr, L"no tag");
  Tagged(*logger, QvBrelLogging::LevelError, "", L"empty tag");
  logger->Log(QvBrelLogging::LevelWarning, L"untagged %s", L"wide");
  logger->Log(QvBrelLogging::LevelWarning, "untagged %s", "narrow");
  // The run-time forms of other compilers' names are shortened too.
  Tagged(*logger, QvBrelLogging::LevelInfo, "`anonymous-namespace'::GetShortPath", L"x");
  Tagged(*logger, QvBrelLogging::LevelInfo, "Run::<lambda_1>::operator ()", L"y");
  logger.reset();

  std::vector<std::string> got;
  for (const ParsedLine& line : AppRecords()) got.push_back(line.mark + ": " + line.rest);
  const std::vector<std::string> expected = {
      std::string(" I: ") + kStartBannerLocal,
      "*F: T::F: level 1",
      "*E: T::F: level 2",
      ".W: T::F: level 3",
      " I: T::F: level 4",
      " D: T::F: level 5",
      " V: T::F: level 6",
      "  : T::F: level 7",
      "  : T::F: level 0",
      "  : T::F: level -1",
      "*E: no tag",
      "*E: empty tag",
      ".W: untagged wide",
      ".W: untagged narrow",
      " I: ::GetShortPath: x",
      " I: Run::<lambda>: y",
      std::string(" I: ") + kAutoClosed,
  };
  ASSERT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got[0].starts_with(expected[0])) << got[0];
  for (std::size_t i = 1; i < expected.size(); ++i) EXPECT_EQ(got[i], expected[i]);
}

TEST_F(LoggerTest, FormatsWithRuntimePrintfRulesAndWritesUtf8) {
  auto logger = Start();
  logger->Log(QvBrelLogging::LevelInfo, L"%s|%hs|%ls|%S", L"wide", "narrow", L"wide2", "narrow2");
  logger->Log(QvBrelLogging::LevelInfo, "%s|%ls|%hs|%S", "narrow", L"wide", "narrow2", L"wide2");
  logger->Log(QvBrelLogging::LevelInfo, L"'%s' %d%%", L"Gr\u00fc\u00dfe \u20ac", 5);
  logger->Log(QvBrelLogging::LevelInfo, L"lone %s",
              L"\xd800");  // an unpaired surrogate is replaced, not lost
  logger->Log(QvBrelLogging::LevelInfo, "%s", "\xc3\xa9t\xc3\xa9");
  logger->Uninit();
  const std::vector<ParsedLine> records = AppRecords();
  ASSERT_EQ(records.size(), 7u);
  EXPECT_EQ(records[1].rest, "wide|narrow|wide2|narrow2");
  EXPECT_EQ(records[2].rest, "narrow|wide|narrow2|wide2");
  EXPECT_EQ(records[3].rest,
            "'Gr\xc3\xbc\xc3\x9f"
            "e \xe2\x82\xac' 5%");
  EXPECT_EQ(records[4].rest, "lone \xef\xbf\xbd");
  EXPECT_EQ(records[5].rest, "\xc3\xa9t\xc3\xa9");
}

TEST_F(LoggerTest, MessageLengthLimit) {
  SetRegistryDword(L"LogMaxSizeKB", 1024);  // keep every line in one generation
  auto logger = Start();
  const std::wstring wide65535(65535, L'w');
  const std::wstring wide65536(65536, L'w');
  const std::string narrow2048(2048, 'n');
  const std::string narrow65536(65536, 'n');
  logger->Log(QvBrelLogging::LevelInfo, L"%s", wide65535.c_str());
  logger->Log(QvBrelLogging::LevelInfo, L"%s", wide65536.c_str());
  logger->Log(QvBrelLogging::LevelInfo, "%s", narrow2048.c_str());  // needs the second attempt
  Tagged(*logger, QvBrelLogging::LevelInfo, "Big::Tag", "<%s>", narrow65536.c_str());
  logger->Uninit();

  const std::vector<ParsedLine> records = AppRecords();
  ASSERT_EQ(records.size(), 6u);
  EXPECT_EQ(records[1].mark, " I");
  EXPECT_EQ(records[1].rest, std::string(65535, 'w'));
  EXPECT_EQ(records[2].mark, "*E");
  EXPECT_EQ(records[2].rest, "QV_BREL_LOG failure: too large message. Format: %s");
  EXPECT_EQ(records[3].rest, narrow2048);
  EXPECT_EQ(records[4].mark, "*E");
  EXPECT_EQ(records[4].rest, "QV_BREL_LOG failure: too large message. Format: <%s>");
}

TEST_F(LoggerTest, KeepsTheCallersLastError) {
  // A failing call, then logging, then the caller reads its error.
  EXPECT_EQ(::GetFileAttributesW(L"C:\\no\\such\\file.qv"), INVALID_FILE_ATTRIBUTES);
  const DWORD failure = ::GetLastError();
  ASSERT_NE(failure, 0u);
  auto logger = Start();  // creates folders, mutex, reads the registry
  EXPECT_EQ(::GetLastError(), failure);
  ::SetLastError(12345);
  logger->Log(QvBrelLogging::LevelInfo, L"first record opens the file");
  EXPECT_EQ(::GetLastError(), 12345u);
  logger->Log(QvBrelLogging::LevelError, "%s", std::string(70000, 'x').c_str());
  EXPECT_EQ(::GetLastError(), 12345u);
  EXPECT_TRUE(logger->IsEnabled(QvBrelLogging::LevelInfo));
  EXPECT_FALSE(logger->IsEnabled(QvBrelLogging::LevelDebug));
  logger->Flush();
  EXPECT_EQ(::GetLastError(), 12345u);
  logger->Uninit();
  EXPECT_EQ(::GetLastError(), 12345u);
  logger->Init(nullptr, component_.c_str(), L"app", QvBrelLogging::LevelInfo,
               QvBrelLogging::FlagDeferredStart);
  EXPECT_EQ(::GetLastError(), 12345u);
  EXPECT_TRUE(logger->IsEnabled(QvBrelLogging::LevelWarning));  // the deferred refresh
  EXPECT_EQ(::GetLastError(), 12345u);
  logger.reset();
  EXPECT_EQ(::GetLastError(), 12345u);
}

TEST_F(LoggerTest, RegistryLevelReplacesTheInitialisationLevel) {
  SetRegistryDword(L"LogLevel", 6);
  auto logger = Start(QvBrelLogging::LevelError);
  logger->Log(QvBrelLogging::LevelVerbose, L"verbose");
  logger->Uninit();
  const std::vector<ParsedLine> records = AppRecords();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1].rest, "verbose");

  // Level 0 drops everything, fatal records and banners included: no file at all.
  QvTest::RemoveTree(Dir());
  SetRegistryDword(L"LogLevel", 0);
  logger = Start();
  EXPECT_FALSE(logger->IsEnabled(QvBrelLogging::LevelFatal));
  logger->Log(QvBrelLogging::LevelFatal, L"fatal");
  logger->Uninit();
  logger.reset();
  EXPECT_FALSE(QvTest::FileExists(LogFile(L"app")));
}

TEST_F(LoggerTest, RegistryChangesWaitForTheNextRefresh) {
  auto logger = Start();
  // Read at initialisation only; the next read is a minute away.
  SetRegistryDword(L"LogLevel", 1);
  logger->Log(QvBrelLogging::LevelInfo, L"still written");
  EXPECT_TRUE(logger->IsEnabled(QvBrelLogging::LevelInfo));
  logger->Uninit();
  // A new run reads it at once.
  logger->Init(nullptr, component_.c_str(), L"app", QvBrelLogging::LevelInfo, 0);
  logger->Log(QvBrelLogging::LevelInfo, L"dropped");
  EXPECT_FALSE(logger->IsEnabled(QvBrelLogging::LevelError));
  logger->Log(QvBrelLogging::LevelFatal, L"fatal written");
  logger->Uninit();
  std::vector<std::string> rests;
  for (const ParsedLine& line : AppRecords()) rests.push_back(line.rest);
  ASSERT_EQ(rests.size(), 4u);
  EXPECT_EQ(rests[1], "still written");
  EXPECT_EQ(rests[3], "fatal written");
}

TEST_F(LoggerTest, DeferredStartWaitsForTheFirstLevelCheck) {
  auto logger = Start(QvBrelLogging::LevelInfo, QvBrelLogging::FlagDeferredStart);
  EXPECT_FALSE(QvTest::DirectoryExists(Dir()));
  // The first check refreshes: the configured level (4) replaces the provisional 6.
  EXPECT_FALSE(logger->IsEnabled(QvBrelLogging::LevelVerbose));
  const std::vector<ParsedLine> records = AppRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_TRUE(records[0].rest.starts_with(kStartBannerLocal));
  logger->Log(QvBrelLogging::LevelInfo, L"after");
  logger->Uninit();
  EXPECT_EQ(AppRecords().size(), 3u);
}

TEST_F(LoggerTest, UtcFlagStampsUtcAndNamesTheLocalOffset) {
  SYSTEMTIME before, after, local, utc;
  ::GetSystemTime(&before);
  auto logger = Start(QvBrelLogging::LevelInfo, QvBrelLogging::FlagUtcTime);
  logger->Log(QvBrelLogging::LevelInfo, L"record");
  logger->Uninit();
  ::GetSystemTime(&after);
  ::GetLocalTime(&local);
  ::GetSystemTime(&utc);

  const std::vector<ParsedLine> records = AppRecords();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_LE(ToTicks(before) / 10000, ToTicks(records[1].time) / 10000);
  EXPECT_GE(ToTicks(after) / 10000, ToTicks(records[1].time) / 10000);
  // The offset the banner names, against one measured here from the two clocks.
  int hours = 0, minutes = 0;
  unsigned session = 0;
  ASSERT_EQ(std::sscanf(records[0].rest.c_str(),
                        "***  LOGGING STARTED  *** (UTC+00:00, local:%d:%d, session: 0x%x)", &hours, &minutes,
                        &session),
            3)
      << records[0].rest;
  const long long measured =
      (static_cast<long long>(ToTicks(local)) - static_cast<long long>(ToTicks(utc))) / 600000000LL;
  EXPECT_NEAR(hours * 60 + minutes, measured, 1);
}

TEST_F(LoggerTest, SecondInitIsIgnoredUntilUninit) {
  auto logger = Start();
  const std::wstring other = component_ + L"_other";
  Claim(LogTest::LogDirectory(other));
  logger->Init(nullptr, other.c_str(), L"other", QvBrelLogging::LevelVerbose,
               QvBrelLogging::FlagUtcTime | QvBrelLogging::FlagBannersAtDebug);
  EXPECT_FALSE(logger->IsEnabled(QvBrelLogging::LevelVerbose));
  logger->Log(QvBrelLogging::LevelInfo, L"first run");
  logger->Uninit();
  EXPECT_FALSE(QvTest::DirectoryExists(LogTest::LogDirectory(other)));

  // After the end a new run starts with a new banner, in the same file.
  logger->Init(nullptr, component_.c_str(), L"app", QvBrelLogging::LevelInfo, 0);
  logger->Log(QvBrelLogging::LevelInfo, L"second run");
  logger->Uninit();
  const std::vector<std::string> lines = LogTest::SplitLines(AppText());
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "");
  EXPECT_TRUE(LogTest::ParseLine(lines[1])->rest.starts_with(kStartBannerLocal));
  EXPECT_EQ(LogTest::ParseLine(lines[2])->rest, "first run");
  EXPECT_EQ(LogTest::ParseLine(lines[3])->mark, " I");  // still the first run's banner level
  EXPECT_EQ(LogTest::ParseLine(lines[3])->rest, kEndBanner);
  EXPECT_EQ(lines[4], "");
  EXPECT_TRUE(LogTest::ParseLine(lines[5])->rest.starts_with(kStartBannerLocal));
  EXPECT_EQ(LogTest::ParseLine(lines[6])->rest, "second run");
}

TEST_F(LoggerTest, AutoCloseBannerOnlyForARunThatWasNotEnded) {
  auto ended = Start();
  ended->Uninit();
  ended->Log(QvBrelLogging::LevelError, L"after the end");
  ended.reset();
  std::vector<ParsedLine> records = AppRecords();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].rest, kEndBanner);

  auto open = Start();
  open->Log(QvBrelLogging::LevelInfo, L"left open");
  open.reset();
  records = AppRecords();
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[3].rest, "left open");
  EXPECT_EQ(records[4].rest, kAutoClosed);
}

TEST_F(LoggerTest, BannersAtDebugLevelWithTheirFlag) {
  auto quiet = Start(QvBrelLogging::LevelInfo, QvBrelLogging::FlagBannersAtDebug);
  quiet->Log(QvBrelLogging::LevelInfo, L"only line");
  quiet->Uninit();
  std::vector<ParsedLine> records = AppRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].rest, "only line");

  auto debug = Start(QvBrelLogging::LevelDebug, QvBrelLogging::FlagBannersAtDebug);
  debug->Uninit();
  records = AppRecords();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1].mark, " D");
  EXPECT_EQ(records[2].mark, " D");
  EXPECT_EQ(records[2].rest, kEndBanner);
}

TEST_F(LoggerTest, NamespaceAndUserSidShapeThePath) {
  const std::wstring nsRoot = LogTest::ProgramData() + L"\\Quorvel\\NS\\QvTestNs" + component_;
  Claim(nsRoot);
  auto logger = Start(QvBrelLogging::LevelInfo, 0, L"default");
  logger->Uninit();
  EXPECT_TRUE(QvTest::FileExists(LogFile(L"app")));

  const std::wstring nameSpace = L"QvTestNs" + component_;
  logger = Start(QvBrelLogging::LevelInfo, 0, nameSpace.c_str());
  logger->Uninit();
  EXPECT_TRUE(QvTest::FileExists(nsRoot + L"\\Log\\" + component_ + L"\\app.log"));

  // UTF-8 initialisation reaches the same place.
  logger = std::make_unique<LoggerWin>();
  logger->Init(LogTest::Narrow(nameSpace).c_str(), LogTest::Narrow(component_).c_str(), "utf8", 4, 0);
  logger->Uninit();
  EXPECT_TRUE(QvTest::FileExists(nsRoot + L"\\Log\\" + component_ + L"\\utf8.log"));

  // Elevated (as tests run here), flag 0x08 appends the user's SID.
  logger = Start(QvBrelLogging::LevelInfo, QvBrelLogging::FlagUserSidInFileName);
  logger->Uninit();
  WIN32_FIND_DATAW found;
  const UniqueFindHandle find(::FindFirstFileW((Dir() + L"\\app.S-1-*.log").c_str(), &found));
  EXPECT_TRUE(find);
}

TEST_F(LoggerTest, FacadeIsQuietBeforeInitialisation) {
  // The process logger of this test program is never initialised.
  EXPECT_FALSE(QvBrelLogging::LogIsEnabled(QvBrelLogging::LevelFatal));
  ::SetLastError(77);
  QV_BREL_LOG(QV_FATAL, L"dropped %d", 1);
  QvBrelLogging::LogMessage(QV_ERROR, "dropped");
  QvBrelLogging::LogFlush();
  EXPECT_EQ(::GetLastError(), 77u);
}

TEST_F(LoggerTest, DebugOutputMirrorsEveryLineWhenSwitchedOn) {
  SetRegistryDword(L"DebugOutputLogging", 1);
  {
    std::lock_guard lock(debugMutex);
    debugTexts.clear();
  }
  PVOID handler = ::AddVectoredExceptionHandler(1, CaptureDebugOutput);
  ASSERT_NE(handler, nullptr);
  const ScopeExit removeHandler([&] { ::RemoveVectoredExceptionHandler(handler); });
  auto logger = Start();
  Tagged(*logger, QvBrelLogging::LevelWarning, "Dbg::Out", L"mirrored");
  logger->Uninit();
  logger->Log(QvBrelLogging::LevelError, L"debugger only");
  logger.reset();

  std::vector<std::string> seen;
  {
    std::lock_guard lock(debugMutex);
    seen = debugTexts;
  }
  for (std::string& text : seen)
    if (!text.empty() && text.back() == '\0') text.pop_back();  // the count may include the terminator
  const std::vector<std::string> fileLines = LogTest::SplitLines(AppText());
  ASSERT_EQ(fileLines.size(), 4u);
  // Start banner, record, end banner, then after the end what reaches the debugger only.
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen[0], fileLines[1] + "\r\n");
  EXPECT_EQ(seen[1], fileLines[2] + "\r\n");
  EXPECT_EQ(seen[2], fileLines[3] + "\r\n");
  EXPECT_TRUE(seen[3].ends_with("*E: debugger only\r\n")) << seen[3];
  EXPECT_TRUE(seen[4].ends_with(std::string(" I: ") + kAutoClosed + "\r\n")) << seen[4];
}

TEST_F(LoggerTest, ThreadsWriteWholeLines) {
  SetRegistryDword(L"LogMaxSizeKB", 64 * 1024);
  constexpr int kThreads = 4;
  constexpr int kRecords = 400;
  auto logger = Start(QvBrelLogging::LevelInfo, QvBrelLogging::FlagDeferredStart);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&logger, t] {
      for (int i = 0; i < kRecords; ++i)
        Tagged(*logger, QvBrelLogging::LevelInfo, "Worker", "thread %d record %d", t, i);
    });
  for (std::thread& thread : threads) thread.join();
  logger->Uninit();

  std::map<unsigned long, int> next;
  int starts = 0;
  for (const ParsedLine& line : AppRecords()) {
    if (line.rest.starts_with(kStartBannerLocal)) {
      ++starts;
      continue;
    }
    if (line.rest == kEndBanner) continue;
    int thread = -1, record = -1;
    ASSERT_EQ(std::sscanf(line.rest.c_str(), "Worker: thread %d record %d", &thread, &record), 2)
        << line.rest;
    EXPECT_EQ(record, next[line.threadId]++);
  }
  EXPECT_EQ(starts, 1);  // the deferred start happens once however many threads race to it
  ASSERT_EQ(next.size(), static_cast<std::size_t>(kThreads));
  for (const auto& [thread, count] : next) EXPECT_EQ(count, kRecords);
}
