// The runner's Kit: the tool copy carries the kit's script archive, a run hands back its exit code
// and output, notes reach the report file, and a kit without its archive runs nothing.
// print_chunks (tests/helpers) stands in for the tool: it exits with the code it is given.
#include "tests/kit/RunnerKit.h"

#include <gtest/gtest.h>

#include "tests/kit/ScenarioReport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ResourceFile.h"
#include "tests/support/ScratchDir.h"

namespace {

using namespace QvKit;
using QvTest::ScratchDir;

class KitRunnerKit : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kit_.Created());
    ASSERT_TRUE(work_.Created());
    ASSERT_TRUE(::CopyFileW((QvTest::ProgramFolder() + L"print_chunks.exe").c_str(),
                            (kit_ / kToolName).c_str(), FALSE));
  }
  std::wstring ReportFile() const { return work_ / L"report.txt"; }
  std::wstring LogFile() const { return work_ / L"tool.log"; }

  ScratchDir kit_{L"qvkitkit"};
  ScratchDir work_{L"qvkitwork"};
};

TEST_F(KitRunnerKit, RunsACopyCarryingTheKitArchive) {
  const std::string archive = "PK\x05\x06" + std::string(18, '\0');
  ASSERT_TRUE(QvTest::WriteWholeFile(kit_ / kKitScriptsName, archive));
  ToolRun first;
  ToolRun second;
  {
    RunnerKit kit(kit_.Path(), work_.Path(), ReportFile(), LogFile());
    EXPECT_EQ(kit.KitFolder(), kit_.Path());
    EXPECT_EQ(kit.WorkFolder(), work_.Path());
    EXPECT_EQ(kit.UnderWine(), QvTest::IsWine());
    first = kit.RunTool(L"7 w:6869");
    second = kit.RunTool(L"0");
    kit.Note(L"checked\nall");
  }
  EXPECT_TRUE(first.started) << testing::PrintToString(first.detail);
  EXPECT_EQ(first.exitCode, 7u);
  EXPECT_TRUE(second.started);
  EXPECT_EQ(second.exitCode, 0u);
  std::string carried;
  ASSERT_TRUE(QvTest::ReadRcData(work_ / kToolName, 103, carried));
  EXPECT_EQ(carried, archive);
  const ScenarioReport report = ParseScenarioReport(QvTest::ReadWholeFile(ReportFile()));
  EXPECT_EQ(report.notes, (std::vector<std::wstring>{L"tool output: hi", L"checked / all"}));
  const std::string log = QvTest::ReadWholeFile(LogFile());
  EXPECT_NE(log.find("==== run 1: 7 w:6869\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("==== run 2: 0\r\n"), std::string::npos) << log;
}

TEST_F(KitRunnerKit, StartedRunIsWaitedForByItsHandle) {
  ASSERT_TRUE(QvTest::WriteWholeFile(kit_ / kKitScriptsName, "PK\x05\x06" + std::string(18, '\0')));
  RunnerKit kit(kit_.Path(), work_.Path(), ReportFile(), LogFile());
  UniqueHandle process = kit.StartTool(L"5");
  ASSERT_TRUE(process);
  ASSERT_EQ(::WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(::GetExitCodeProcess(process.get(), &code));
  EXPECT_EQ(code, 5u);
}

TEST_F(KitRunnerKit, WithoutTheArchiveNothingRuns) {
  RunnerKit kit(kit_.Path(), work_.Path(), ReportFile(), LogFile());
  const ToolRun run = kit.RunTool(L"0");
  EXPECT_FALSE(run.started);
  EXPECT_NE(run.detail.find(kKitScriptsName), std::wstring::npos) << testing::PrintToString(run.detail);
  EXPECT_FALSE(QvTest::Exists(work_ / kToolName));
  EXPECT_FALSE(kit.StartTool(L"0"));
}

TEST_F(KitRunnerKit, CannotPlantSkipsOnlyUnderWine) {
  RunnerKit kit(kit_.Path(), work_.Path(), ReportFile(), LogFile());
  const Result result = CannotPlant(kit, L"no junctions");
  if (kit.UnderWine()) {
    EXPECT_EQ(result.outcome, Outcome::Skipped);
    EXPECT_EQ(result.detail, L"no junctions");
  } else {
    EXPECT_EQ(result.outcome, Outcome::Fail);
    EXPECT_NE(result.detail.find(L"no junctions"), std::wstring::npos);
  }
}

}  // namespace
