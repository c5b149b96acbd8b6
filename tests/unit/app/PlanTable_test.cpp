// The plan table people read: columns as wide as their longest entry, only planned changes.
#include <gtest/gtest.h>

#include "app/PlanTable.h"

namespace {

TEST(PlanTable, OneLinePerPlannedChangeInColumns) {
  const std::vector<Change> changes = {
      {L"omnivo", L"service.stop", L"qvsvc", ChangeResult::Planned, 0, L""},
      {L"omnivo", L"folder.delete", L"C:\\Program Files\\Quorvel", ChangeResult::Planned, 0,
       L"2 files, 1 folders, 10 bytes"},
      {L"", L"restart.delete", L"C:\\x", ChangeResult::Scheduled, 0, L""},
      {L"logs", L"file.delete", L"C:\\a.log", ChangeResult::Planned, 0, L"5 bytes"},
  };
  const std::vector<std::wstring> expected = {
      L"Product  Operation      Target",
      L"-------  -------------  ------",
      L"omnivo   service.stop   qvsvc",
      L"omnivo   folder.delete  C:\\Program Files\\Quorvel (2 files, 1 folders, 10 bytes)",
      L"logs     file.delete    C:\\a.log (5 bytes)",
      L"3 planned changes; nothing was changed",
  };
  EXPECT_EQ(PlanTable::Lines(changes), expected);
  EXPECT_EQ(PlanTable::Lines({changes[2]}), std::vector<std::wstring>{L"Nothing to change"});
}

}  // namespace
