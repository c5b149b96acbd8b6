// Several processes writing one log file through the logger of the log_writer helper.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "LogTestSupport.h"
#include "tests/support/ChildProcess.h"

namespace {

using LogTest::ParsedLine;

// Starts the helper with `arguments`, under `token` when one is given.
std::unique_ptr<QvTest::ChildProcess> StartWriter(const std::wstring& arguments, HANDLE token = nullptr) {
  QvTest::ChildOptions options;
  options.token = token;
  return std::make_unique<QvTest::ChildProcess>(QvTest::HelperCommand(L"log_writer", arguments), options);
}

// The writer's exit code once it ended; STILL_ACTIVE when it did not within three minutes.
DWORD WaitExitCode(QvTest::ChildProcess& writer) {
  return writer.Wait(180000) ? writer.ExitCode() : STILL_ACTIVE;
}

class CrossProcessTest : public LogTest::LoggingTest {
 protected:
  void SetUp() override {
    LoggingTest::SetUp();
    if (!QvTest::FileExists(QvTest::ProgramFolder() + L"log_writer.exe"))
      GTEST_SKIP() << "log_writer.exe is not built beside the tests";
  }
};

}  // namespace

TEST_F(CrossProcessTest, TwoWritersShareOneFileLineByLine) {
  constexpr int kCount = 3000;
  SetRegistryDword(L"LogMaxSizeKB", 1024 * 1024);  // one generation for everything
  const std::wstring eventName = L"Local\\QvLogWriterStart_" + std::to_wstring(::GetCurrentProcessId());
  const UniqueHandle go(::CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
  ASSERT_TRUE(go);
  const std::wstring common = component_ + L" " + std::to_wstring(kCount);
  const auto writerA = StartWriter(L"write " + common + L" A " + eventName);
  const auto writerB = StartWriter(L"write " + common + L" B " + eventName);
  ASSERT_TRUE(writerA->Started());
  ASSERT_TRUE(writerB->Started());
  // Both initialise first, then write at the same time.
  ::SetEvent(go.get());
  EXPECT_EQ(WaitExitCode(*writerA), 0u);
  EXPECT_EQ(WaitExitCode(*writerB), 0u);
  const std::map<unsigned long, std::string> writerOf = {{writerA->Id(), "A"}, {writerB->Id(), "B"}};

  const std::optional<std::string> text = LogTest::ReadFileBytes(LogFile(component_));
  ASSERT_TRUE(text);
  std::size_t blank = 0;
  std::map<std::string, int> next = {{"A", 0}, {"B", 0}};
  std::map<std::string, int> starts, ends;
  int switches = 0;
  std::string previous;
  for (const std::string& line : LogTest::SplitLines(*text)) {
    if (line.empty()) {
      ++blank;
      continue;
    }
    const std::optional<ParsedLine> parsed = LogTest::ParseLine(line);
    ASSERT_TRUE(parsed) << "broken line: '" << line << "'";
    ASSERT_EQ(writerOf.count(parsed->processId), 1u) << line;
    const std::string& writer = writerOf.at(parsed->processId);
    if (parsed->rest.starts_with("***  LOGGING STARTED  ***")) {
      ++starts[writer];
    } else if (parsed->rest == "***  LOGGING ENDED  ***") {
      ++ends[writer];
    } else {
      char expected[160];
      std::snprintf(expected, sizeof(expected),
                    "::Write: writer %s record %06d of %d, padded to a realistic length ...........",
                    writer.c_str(), next[writer], kCount);
      ASSERT_EQ(parsed->rest, expected);  // whole, in order, none missing in between
      ++next[writer];
    }
    if (!previous.empty() && previous != writer) ++switches;
    previous = writer;
  }
  EXPECT_EQ(next["A"], kCount);
  EXPECT_EQ(next["B"], kCount);
  EXPECT_EQ(starts["A"], 1);
  EXPECT_EQ(starts["B"], 1);
  EXPECT_EQ(ends["A"], 1);
  EXPECT_EQ(ends["B"], 1);
  EXPECT_EQ(blank, 2u);
  RecordProperty("writer_switches", switches);
}

TEST_F(CrossProcessTest, NonAdministratorWritesUnderLocalAppData) {
  UniqueHandle token;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY,
                                 token.put()));
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  UniqueAllocatedSid admins;
  ASSERT_TRUE(::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                         DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, admins.put()));
  SID_AND_ATTRIBUTES disable{admins.get(), 0};
  UniqueHandle restricted;
  ASSERT_TRUE(::CreateRestrictedToken(token.get(), 0, 1, &disable, 0, nullptr, 0, nullptr, restricted.put()));

  const std::wstring localDir =
      LogTest::KnownFolder(FOLDERID_LocalAppData) + L"\\Quorvel\\Log\\" + component_;
  Claim(localDir);
  const auto writer = StartWriter(L"write " + component_ + L" 3 U", restricted.get());
  ASSERT_TRUE(writer->Started());
  ASSERT_EQ(WaitExitCode(*writer), 0u);

  EXPECT_FALSE(QvTest::DirectoryExists(Dir()));  // not ProgramData
  const std::optional<std::string> text = LogTest::ReadFileBytes(localDir + L"\\" + component_ + L".log");
  ASSERT_TRUE(text);
  const std::vector<ParsedLine> records = LogTest::ParseRecords(*text);
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[3].rest,
            "::Write: writer U record 000002 of 3, padded to a realistic length ...........");
}
