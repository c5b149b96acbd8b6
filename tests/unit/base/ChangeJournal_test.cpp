// The journal's plan bookkeeping: which places a planned deletion takes, however the scripts spell
// them, and the registry target form the report shows.
#include <gtest/gtest.h>

#include "base/ChangeJournal.h"

namespace {

TEST(ChangeJournal, PlannedDeletionsTakeThePlaceAndWhatIsBelowIt) {
  ChangeJournal& journal = ChangeJournal::Instance();
  journal.Clear();
  journal.SetPlanning(true);
  journal.Record(L"folder.delete", L"C:\\Program Files\\Quorvel\\Omnivo", ChangeResult::Planned);
  journal.Record(L"registry.deleteBranch", L"HKCR\\CLSID\\{1} (64-bit)", ChangeResult::Planned);
  journal.Record(L"registry.deleteBranch", L"HKLM\\SOFTWARE\\Quorvel (32-bit)", ChangeResult::Planned);
  journal.Record(L"registry.deleteValue", L"HKLM\\SOFTWARE\\Run\\qv", ChangeResult::Planned);
  // Done, failed and non-deleting changes take nothing.
  journal.Record(L"folder.delete", L"C:\\Other", ChangeResult::Done);
  journal.Record(L"registry.setValue", L"HKLM\\SOFTWARE\\Set\\v", ChangeResult::Planned);
  const struct {
    const wchar_t* place;
    bool gone;
  } cases[] = {
      {L"c:\\program files\\quorvel\\omnivo", true},
      {L"C:\\Program Files\\Quorvel\\Omnivo\\bin\\a.dll", true},
      {L"C:\\Program Files\\Quorvel\\OmnivoData", false},  // a sibling sharing the prefix
      {L"C:\\Program Files\\Quorvel", false},
      {L"HKLM\\SOFTWARE\\Classes\\CLSID\\{1}\\InprocServer32", true},  // HKCR is the machine's classes
      {L"HKLM\\SOFTWARE\\Classes\\CLSID\\{1} (64-bit)", true},
      {L"HKLM\\SOFTWARE\\Quorvel\\NS (32-bit)", true},
      {L"HKLM\\SOFTWARE\\Quorvel\\NS", false},  // the other view
      {L"HKLM\\SOFTWARE\\Run\\qv (64-bit)", true},
      {L"HKLM\\SOFTWARE\\Run\\qv2", false},
      {L"C:\\Other\\x", false},
      {L"HKLM\\SOFTWARE\\Set\\v", false},
  };
  for (const auto& c : cases) EXPECT_EQ(journal.PlannedGone(c.place), c.gone) << c.place;
  journal.Clear();
  EXPECT_FALSE(journal.Planning());
}

TEST(ChangeJournal, RegistryTargetsNameRootBranchValueAndView) {
  const std::wstring value = L"Path";
  const std::wstring defaultValue;
  const struct {
    HKEY root;
    const wchar_t* branch;
    REGSAM view;
    const std::wstring* value;
    const wchar_t* target;
  } cases[] = {
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvel", 0, nullptr, L"HKLM\\SOFTWARE\\Quorvel"},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvel", KEY_WOW64_32KEY, &value,
       L"HKLM\\SOFTWARE\\Quorvel\\Path (32-bit)"},
      {HKEY_CURRENT_USER, L"Software\\Quorvel", KEY_WOW64_64KEY, &defaultValue,
       L"HKCU\\Software\\Quorvel\\(default) (64-bit)"},
      {HKEY_USERS, L"S-1-5-18\\Software", 0, nullptr, L"HKU\\S-1-5-18\\Software"},
      {HKEY_CLASSES_ROOT, L"CLSID", 0, nullptr, L"HKCR\\CLSID"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(RegistryTarget(c.root, c.branch, c.view, c.value), c.target) << c.target;
}

}  // namespace
