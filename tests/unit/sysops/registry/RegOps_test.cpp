// RegOps against the real registry: what the readers log, forced deletion of whole branches (keys
// that refuse reading, keys that cannot be taken over), the descriptor a take-over writes, masks,
// and the branch guard every deletion passes (empty components, registry links).
#include "sysops/registry/RegOps.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Win32Registry.h"
#include "logging/QvBrelLogging.h"
#include "sysops/FileOpsSeam.h"
#include "sysops/registry/RegOpsSeam.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ScratchKey.h"
#include "tests/support/SeamOverride.h"

namespace {

using QvTest::LogCapture;
using QvTest::ScratchKey;

constexpr wchar_t kDenyEveryone[] = L"D:P(D;OICI;GA;;;WD)";

class RegOpsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(scratch_.Created()); }

  // Creates each path below the scratch key in `view`, with a value in each.
  void Build(REGSAM view, const std::vector<std::wstring>& paths) {
    for (const std::wstring& path : paths) {
      UniqueHKey key = scratch_.Create(view, path);
      ASSERT_TRUE(key) << path;
      ASSERT_EQ(::RegSetValueExW(key.get(), L"v", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4),
                ERROR_SUCCESS);
    }
  }
  // The value "v" that Build wrote, read in `view`; "" when it is gone.
  std::wstring Value(REGSAM view, const std::wstring& sub) const {
    wchar_t data[8] = {};
    DWORD size = sizeof(data);
    ::RegGetValueW(HKEY_LOCAL_MACHINE, scratch_.Child(sub).c_str(), L"v",
                   RRF_RT_REG_SZ | (view == KEY_WOW64_32KEY ? RRF_SUBKEY_WOW6432KEY : RRF_SUBKEY_WOW6464KEY),
                   nullptr, data, &size);
    return data;
  }
  // A key that refuses opening exists too.
  bool Exists(REGSAM view, const std::wstring& sub) const {
    LSTATUS status = ERROR_SUCCESS;
    QvTest::OpenMachineKey(scratch_.Child(sub), view, KEY_READ, &status);
    return status != ERROR_FILE_NOT_FOUND;
  }

  ScratchKey scratch_;
};

TEST_F(RegOpsTest, ReadersWarnAboutWrongTypesButNotAboutMissingValues) {
  LogCapture capture;
  ASSERT_TRUE(capture.Start());
  const std::wstring branch = scratch_.Path();
  ASSERT_TRUE(Win32Registry().SetString(branch, L"Text", L"abc"));
  ASSERT_TRUE(Win32Registry().SetDWORD(branch, L"Number", 5));
  const std::wstring missing = scratch_.Child(L"missing");

  const struct {
    const char* tag;
    bool (*readsEmpty)(const std::wstring& branch, const wchar_t* key);
    const wchar_t* wrongType;
  } cases[] = {
      {"RegOps::GetDWORD",
       [](const std::wstring& b, const wchar_t* k) {
         return RegOps::GetDWORD(HKEY_LOCAL_MACHINE, 0, b, k) == 0;
       },
       L"Text"},
      {"RegOps::GetString",
       [](const std::wstring& b, const wchar_t* k) {
         return RegOps::GetString(HKEY_LOCAL_MACHINE, 0, b, k).empty();
       },
       L"Number"},
      {"RegOps::GetMultiString",
       [](const std::wstring& b, const wchar_t* k) {
         return RegOps::GetMultiString(HKEY_LOCAL_MACHINE, 0, b, k).empty();
       },
       L"Text"},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(c.readsEmpty(branch, c.wrongType)) << c.tag;
    EXPECT_TRUE(c.readsEmpty(branch, L"Absent")) << c.tag;
    EXPECT_TRUE(c.readsEmpty(missing, L"Text")) << c.tag;
    EXPECT_EQ(capture.Count(QV_WARNING, c.tag, L"Failed to read '" + branch + L":" + c.wrongType + L"': 2"),
              1)
        << capture.Text();
    EXPECT_EQ(capture.CountStartingWith(QV_WARNING, c.tag, L""), 1) << capture.Text();
  }
  EXPECT_EQ(RegOps::GetDWORD(HKEY_LOCAL_MACHINE, 0, branch, L"Number"), 5u);
  // Deleting a value that is not there, in a branch that is, or in one that is not, is no failure.
  EXPECT_TRUE(RegOps::DeleteKey(HKEY_LOCAL_MACHINE, 0, branch, L"Absent"));
  EXPECT_TRUE(RegOps::DeleteKey(HKEY_LOCAL_MACHINE, 0, missing, L"Text"));
  EXPECT_EQ(capture.CountAtOrAbove(QV_WARNING), 3) << capture.Text();
}

TEST_F(RegOpsTest, WipeRemovesLeavesFirstAndKeepsTheAncestorsOfWhatStays) {
  const std::vector<std::wstring> tree{L"T\\a\\b\\c", L"T\\a\\s", L"T\\x"};
  const struct {
    const char* what;
    REGSAM view;
    const wchar_t* deniesReading;   // gets kDenyEveryone, owner unchanged (the administrators)
    const wchar_t* cannotTakeOver;  // a QvTest::RefusingKey, wiped by a non-administrator
    bool result;
    std::vector<std::wstring> survivors;
    std::vector<std::wstring> gone;
  } cases[] = {
      {"three levels, 64-bit view", KEY_WOW64_64KEY, nullptr, nullptr, true, {}, {L"T"}},
      {"three levels, 32-bit view", KEY_WOW64_32KEY, nullptr, nullptr, true, {}, {L"T"}},
      // Its sub-keys cannot be listed until the take-over, after which the branch is walked again.
      {"a key refusing reading", KEY_WOW64_64KEY, L"T\\a", nullptr, true, {}, {L"T"}},
      {"a key that cannot be taken over",
       KEY_WOW64_64KEY,
       nullptr,
       L"T\\a\\b\\locked",
       false,
       {L"T", L"T\\a", L"T\\a\\b", L"T\\a\\b\\locked"},
       {L"T\\a\\b\\c", L"T\\a\\s", L"T\\x"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    LogCapture capture;
    ASSERT_TRUE(capture.Start());
    Build(c.view, tree);
    if (c.deniesReading != nullptr) {
      ASSERT_EQ(QvTest::SetMachineKeySecurity(scratch_.Child(c.deniesReading), c.view, kDenyEveryone),
                ERROR_SUCCESS);
      ASSERT_FALSE(QvTest::OpenMachineKey(scratch_.Child(c.deniesReading), c.view, KEY_READ));
    }
    std::unique_ptr<QvTest::RefusingKey> refusing;
    bool wiped = false;
    if (c.cannotTakeOver == nullptr) {
      wiped = RegOps::WipeBranch(HKEY_LOCAL_MACHINE, c.view, scratch_.Child(L"T"));
      EXPECT_EQ(capture.CountAtOrAbove(QV_WARNING), 0) << capture.Text();
    } else {
      // Everything else is open to the non-administrator.
      for (const std::wstring& path :
           {std::wstring(L"T"), std::wstring(L"T\\a"), std::wstring(L"T\\a\\b"), tree[0], tree[1], tree[2]})
        ASSERT_EQ(QvTest::SetMachineKeySecurity(scratch_.Child(path), c.view, L"D:(A;OICI;KA;;;WD)"),
                  ERROR_SUCCESS);
      refusing = std::make_unique<QvTest::RefusingKey>(scratch_.Child(c.cannotTakeOver), c.view);
      ASSERT_TRUE(refusing->Made());
      const UniqueHandle token = QvTest::NonAdministratorToken();
      ASSERT_TRUE(token);
      QvTest::ChildOptions options;
      options.token = token.get();
      const QvTest::ChildResult child = QvTest::RunChild(
          QvTest::HelperCommand(L"reg_wipe", L"\"" + scratch_.Child(L"T") + L"\""), 60000, options);
      ASSERT_TRUE(child.finished);
      wiped = child.exitCode == 0;
    }
    EXPECT_EQ(wiped, c.result);
    for (const std::wstring& sub : c.survivors) EXPECT_TRUE(Exists(c.view, sub)) << sub;
    for (const std::wstring& sub : c.gone) EXPECT_FALSE(Exists(c.view, sub)) << sub;
    refusing.reset();
    ASSERT_TRUE(QvTest::DeleteMachineTree(scratch_.Child(L"T"), c.view));
  }
}

TEST_F(RegOpsTest, TakeOwnershipGivesTheKeyToAdministratorsAndSystemOnly) {
  Build(KEY_WOW64_64KEY, {L"K\\sub"});
  const std::wstring key = scratch_.Child(L"K");
  ASSERT_EQ(QvTest::SetMachineKeySecurity(key, KEY_WOW64_64KEY, kDenyEveryone), ERROR_SUCCESS);

  EXPECT_EQ(RegOps::TakeOwnership(HKEY_LOCAL_MACHINE, 0, key), static_cast<DWORD>(ERROR_SUCCESS));
  const std::wstring sddl = QvTest::MachineKeySddl(key, KEY_WOW64_64KEY);
  // Wine does not keep the protected bit (tests/WINE.md), so the DACL's flags are not compared.
  const size_t aces = sddl.find(L'(');
  ASSERT_NE(aces, std::wstring::npos) << sddl;
  EXPECT_TRUE(sddl.starts_with(L"O:BAD:")) << sddl;
  EXPECT_EQ(sddl.substr(aces), L"(A;OICI;GA;;;BA)(A;OICI;GA;;;SY)");
  EXPECT_TRUE(QvTest::OpenMachineKey(key, KEY_WOW64_64KEY, KEY_READ));
}

TEST_F(RegOpsTest, MasksPickSubKeysByWholeNameAndCase) {
  const std::vector<std::wstring> names{L"App1", L"App2", L"app3", L"Apx", L"Ap", L"Other"};
  const struct {
    const wchar_t* mask;
    std::vector<std::wstring> survivors;
  } cases[] = {
      {L"App*", {L"app3", L"Apx", L"Ap", L"Other"}},
      {L"Ap?", {L"App1", L"App2", L"app3", L"Ap", L"Other"}},
      {L"app?", {L"App1", L"App2", L"Apx", L"Ap", L"Other"}},
      {L"*", {}},
      {L"A*?", {L"app3", L"Other"}},
      {L"Q*", {L"App1", L"App2", L"app3", L"Apx", L"Ap", L"Other"}},
  };
  for (const auto& c : cases) {
    for (const std::wstring& name : names) Build(KEY_WOW64_64KEY, {L"M\\" + name + L"\\child"});
    EXPECT_TRUE(RegOps::DeleteBranchByMask(HKEY_LOCAL_MACHINE, 0, scratch_.Child(L"M"), c.mask)) << c.mask;
    std::vector<std::wstring> left = RegOps::GetSubkeys(HKEY_LOCAL_MACHINE, 0, scratch_.Child(L"M"));
    std::vector<std::wstring> expected = c.survivors;
    std::sort(left.begin(), left.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected) << c.mask;
    for (const std::wstring& name : left) EXPECT_TRUE(Exists(KEY_WOW64_64KEY, L"M\\" + name + L"\\child"));
    ASSERT_TRUE(QvTest::DeleteMachineTree(scratch_.Child(L"M"), KEY_WOW64_64KEY));
  }
}

TEST_F(RegOpsTest, EveryDeletingCallRefusesABranchWithAnEmptyComponent) {
  const std::wstring x = scratch_.Child(L"X");
  // Split at the last backslash, as a caller holding a parent and a child would.
  const auto byForce = [](REGSAM view, const std::wstring& text) {
    const size_t slash = text.rfind(L'\\');
    return slash == std::wstring::npos ? RegOps::RemoveByForce(HKEY_LOCAL_MACHINE, view, L"", text)
                                       : RegOps::RemoveByForce(HKEY_LOCAL_MACHINE, view,
                                                               text.substr(0, slash), text.substr(slash + 1));
  };
  const struct {
    const char* call;
    std::function<bool(REGSAM, const std::wstring&)> run;
  } calls[] = {
      {"WipeBranch",
       [](REGSAM v, const std::wstring& t) { return RegOps::WipeBranch(HKEY_LOCAL_MACHINE, v, t); }},
      {"DeleteBranchByMask",
       [](REGSAM v, const std::wstring& t) {
         return RegOps::DeleteBranchByMask(HKEY_LOCAL_MACHINE, v, t, L"*");
       }},
      {"RemoveByForce", byForce},
      {"DeleteKey",
       [](REGSAM v, const std::wstring& t) { return RegOps::DeleteKey(HKEY_LOCAL_MACHINE, v, t, L"v"); }},
  };
  // Each names X or its parent with one component empty; the text logged is the branch as joined.
  const struct {
    const char* what;
    std::wstring text;
  } branches[] = {
      {"trailing backslash", x + L"\\"},
      {"inner empty component", scratch_.Path() + L"\\\\X"},
      {"leading backslash", L"\\" + x},
      {"empty text", L""},
  };
  for (REGSAM view : ScratchKey::kViews) {
    Build(view, {L"X\\a", L"X\\b", L"X"});
    for (const auto& call : calls) {
      for (const auto& branch : branches) {
        SCOPED_TRACE(std::string(call.call) + ", " + branch.what +
                     (view == KEY_WOW64_32KEY ? ", 32-bit" : ""));
        LogCapture capture;
        ASSERT_TRUE(capture.Start());
        EXPECT_FALSE(call.run(view, branch.text));
        for (const wchar_t* sub : {L"X", L"X\\a", L"X\\b"}) EXPECT_EQ(Value(view, sub), L"x") << sub;
        const std::wstring logged =
            std::string_view(call.call) == "RemoveByForce" && branch.text.empty() ? L"\\" : branch.text;
        EXPECT_EQ(capture.Count(QV_ERROR, "RegOps::BranchGuard::Check", L"Invalid branch: '" + logged + L"'"),
                  1)
            << capture.Text();
        EXPECT_EQ(capture.CountAtOrAbove(QV_WARNING), 1) << capture.Text();
      }
    }
  }
}

TEST_F(RegOpsTest, LinksAreRemovedAsLinksAndNeverEntered) {
  // F is the family's branch; F\lnk links to O, another vendor's branch, which must survive.
  const std::wstring f = scratch_.Child(L"F");
  const std::wstring link = f + L"\\lnk";
  using Call = std::function<bool(REGSAM)>;
  const struct {
    const char* what;
    Call run;
    bool result;
    bool familyStays;  // F\own
    bool linkStays;
  } cases[] = {
      {"the family branch", [&](REGSAM v) { return RegOps::WipeBranch(HKEY_LOCAL_MACHINE, v, f); }, true,
       false, false},
      {"by mask",
       [&](REGSAM v) { return RegOps::DeleteBranchByMask(HKEY_LOCAL_MACHINE, v, scratch_.Path(), L"F"); },
       true, false, false},
      {"by force",
       [&](REGSAM v) { return RegOps::RemoveByForce(HKEY_LOCAL_MACHINE, v, scratch_.Path(), L"F"); }, true,
       false, false},
      {"the link itself", [&](REGSAM v) { return RegOps::WipeBranch(HKEY_LOCAL_MACHINE, v, link); }, true,
       true, false},
      // Through the link: refused, nothing changes.
      {"a branch below the link",
       [&](REGSAM v) { return RegOps::WipeBranch(HKEY_LOCAL_MACHINE, v, link + L"\\inner"); }, false, true,
       true},
      {"the link's sub-keys by mask",
       [&](REGSAM v) { return RegOps::DeleteBranchByMask(HKEY_LOCAL_MACHINE, v, link, L"*"); }, false, true,
       true},
      {"a value of the link", [&](REGSAM v) { return RegOps::DeleteKey(HKEY_LOCAL_MACHINE, v, link, L"v"); },
       false, true, true},
      {"a value below the link",
       [&](REGSAM v) { return RegOps::DeleteKey(HKEY_LOCAL_MACHINE, v, link + L"\\inner", L"v"); }, false,
       true, true},
  };
  for (REGSAM view : ScratchKey::kViews) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (view == KEY_WOW64_32KEY ? ", 32-bit" : ", 64-bit"));
      Build(view, {L"O", L"O\\inner", L"F\\own"});
      QvTest::MachineLink made(link, view, scratch_.Child(L"O"));
      ASSERT_TRUE(made.Made());
      ASSERT_EQ(Value(view, L"F\\lnk\\inner"), L"x");  // the link resolves
      LogCapture capture;
      ASSERT_TRUE(capture.Start());
      EXPECT_EQ(c.run(view), c.result);
      EXPECT_EQ(Value(view, L"O"), L"x");
      EXPECT_EQ(Value(view, L"O\\inner"), L"x");
      EXPECT_EQ(Exists(view, L"F\\own"), c.familyStays);
      EXPECT_EQ(made.Exists(), c.linkStays);
      // Either the refusal or the link's removal is named, once.
      EXPECT_EQ(capture.CountAtOrAbove(QV_WARNING), 1) << capture.Text();
      EXPECT_EQ(capture.Count("Refusing branch '"), c.result ? 0u : 1u) << capture.Text();
      // Whichever call took it, the walk reports under the name of the forced removal.
      EXPECT_EQ(capture.CountStartingWith(QV_WARNING, "RegOps::RemoveByForce", L"Removing registry link '"),
                c.linkStays ? 0 : 1)
          << capture.Text();
      ASSERT_TRUE(QvTest::MachineLink::Remove(link, view));
      ASSERT_TRUE(QvTest::DeleteMachineTree(f, view));
      ASSERT_TRUE(QvTest::DeleteMachineTree(scratch_.Child(L"O"), view));
    }
  }
}

// A link that refuses opening is no key to take over: the take-over works by name, and the name
// leads to the link's target, whose owner and DACL must stay as they are.
TEST_F(RegOpsTest, AReadDeniedLinkIsNeverTakenOver) {
  const std::wstring f = scratch_.Child(L"F"), link = f + L"\\lnk";
  const auto setLinkDacl = [&](REGSAM view, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    UniqueHKey key;
    const bool set =
        ::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr) &&
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, link.c_str(), REG_OPTION_OPEN_LINK, WRITE_DAC | view,
                        key.put()) == ERROR_SUCCESS &&
        ::RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    ::LocalFree(descriptor);
    return set;
  };
  for (REGSAM view : ScratchKey::kViews) {
    SCOPED_TRACE(view == KEY_WOW64_32KEY ? "32-bit" : "64-bit");
    Build(view, {L"O", L"F\\own"});
    const std::wstring outsideSddl = QvTest::MachineKeySddl(scratch_.Child(L"O"), view);
    QvTest::MachineLink made(link, view, scratch_.Child(L"O"));
    ASSERT_TRUE(made.Made());
    ASSERT_TRUE(setLinkDacl(view, kDenyEveryone));
    LogCapture capture;
    ASSERT_TRUE(capture.Start());
    EXPECT_FALSE(RegOps::WipeBranch(HKEY_LOCAL_MACHINE, view, f));
    EXPECT_EQ(capture.Count("Refusing to take over '"), 1u) << capture.Text();
    EXPECT_EQ(Value(view, L"O"), L"x");
    EXPECT_EQ(QvTest::MachineKeySddl(scratch_.Child(L"O"), view), outsideSddl);
    ASSERT_TRUE(setLinkDacl(view, L"D:(A;OICI;KA;;;BA)"));
    ASSERT_TRUE(QvTest::MachineLink::Remove(link, view));
    ASSERT_TRUE(QvTest::DeleteMachineTree(f, view));
    ASSERT_TRUE(QvTest::DeleteMachineTree(scratch_.Child(L"O"), view));
  }
}

// The class store of the 32-bit view lies behind the system's own link: branches below it (a
// product's class registration) still go, and the class store itself stays.
TEST_F(RegOpsTest, BranchesBelowTheSystemsOwnLinksGo) {
  const std::wstring clsid =
      L"SOFTWARE\\Classes\\CLSID\\{QvTest-" + std::to_wstring(::GetCurrentProcessId()) + L"}";
  for (REGSAM view : ScratchKey::kViews) {
    SCOPED_TRACE(view == KEY_WOW64_32KEY ? "32-bit" : "64-bit");
    UniqueHKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (clsid + L"\\TrialData").c_str(), 0, nullptr, 0,
                                KEY_WRITE | view, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    key.reset();
    EXPECT_TRUE(RegOps::WipeBranch(HKEY_LOCAL_MACHINE, view, clsid));
    Win32Registry registry(HKEY_LOCAL_MACHINE, view);
    EXPECT_FALSE(registry.KeyExists(clsid));
    EXPECT_TRUE(registry.KeyExists(L"SOFTWARE\\Classes\\CLSID"));
  }
}

// Wine answers success to SetNamedSecurityInfoW with SE_REGISTRY_WOW64_32KEY and changes nothing
// (tests/WINE.md), so the seam records what the take-over asks for and hands it on as Windows
// would resolve it: the same key under its Wow6432Node name in the 64-bit object space.
struct SecurityCall {
  std::wstring object;
  SE_OBJECT_TYPE type;
};
std::vector<SecurityCall> securityCalls;

DWORD WINAPI RecordingSetNamedSecurityInfo(LPWSTR object, SE_OBJECT_TYPE type, SECURITY_INFORMATION parts,
                                           PSID owner, PSID group, PACL dacl, PACL sacl) {
  securityCalls.push_back({object, type});
  std::wstring physical = object;
  if (type == SE_REGISTRY_WOW64_32KEY && physical.starts_with(L"MACHINE\\SOFTWARE\\"))
    physical.insert(17, L"Wow6432Node\\");
  return ::SetNamedSecurityInfoW(physical.data(), SE_REGISTRY_KEY, parts, owner, group, dacl, sacl);
}

TEST_F(RegOpsTest, TakeOverInThe32BitViewNamesThe32BitObject) {
  Build(KEY_WOW64_32KEY, {L"T\\a\\b", L"T\\c"});
  ASSERT_EQ(QvTest::SetMachineKeySecurity(scratch_.Child(L"T\\a"), KEY_WOW64_32KEY, kDenyEveryone),
            ERROR_SUCCESS);
  ASSERT_FALSE(QvTest::OpenMachineKey(scratch_.Child(L"T\\a"), KEY_WOW64_32KEY, KEY_READ));
  securityCalls.clear();
  QvTest::SeamOverride<RegOpsSeam::SetNamedSecurityInfoCall> seam(RegOpsSeam::setNamedSecurityInfo,
                                                                  RecordingSetNamedSecurityInfo);
  EXPECT_TRUE(RegOps::WipeBranch(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, scratch_.Child(L"T")));
  EXPECT_FALSE(Exists(KEY_WOW64_32KEY, L"T"));
  ASSERT_EQ(securityCalls.size(), 2u);  // the owner, then the DACL
  for (const SecurityCall& call : securityCalls) {
    EXPECT_EQ(call.type, SE_REGISTRY_WOW64_32KEY);
    EXPECT_EQ(call.object, L"MACHINE\\" + scratch_.Child(L"T\\a"));
  }
  EXPECT_TRUE(QvTest::MachineKeyExists(scratch_.Path(), KEY_WOW64_64KEY));  // the 64-bit twin is untouched
}

}  // namespace
