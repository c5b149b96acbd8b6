// Registry links below the family branch, planted, checked and removed again.
#include "tests/kit/scenarios/RegistryLinkPlant.h"

#include "base/UniqueHandle.h"
#include "tests/kit/scenarios/Plant.h"

namespace QvKit {

namespace {

// Whether opening the link the ordinary way lands in the canary key (the link resolves).
bool ResolvesToCanary(const RegistryLinkPlace& place, const std::wstring& link) {
  UniqueHKey key;
  if (::RegOpenKeyExW(place.familyRoot, link.c_str(), 0, KEY_QUERY_VALUE | place.familyView, key.put()) !=
      ERROR_SUCCESS)
    return false;
  return ::RegGetValueW(key.get(), nullptr, L"Canary", RRF_RT_REG_SZ, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}

}  // namespace

Result RunRegistryLinkScenario(Kit& kit, const RegistryLinkPlace& place) {
  const std::wstring link = std::wstring(kFamilyBranch) + L"\\Link";
  // The brand key above the family branch is removed only when this scenario made it.
  const std::wstring brand = L"Software\\Quorvel";
  const bool brandExisted = BranchExists(place.familyRoot, brand, place.familyView);
  CanaryKey canary{place.canaryRoot, place.canaryBranch};
  struct CleanUp {
    const RegistryLinkPlace& place;
    const std::wstring& brand;
    bool brandExisted;
    CanaryKey& canary;
    ~CleanUp() {
      RemoveBranch(place.familyRoot, kFamilyBranch, place.familyView);
      // Only while empty: the tool may keep its own settings there.
      if (!brandExisted) ::RegDeleteKeyExW(place.familyRoot, brand.c_str(), place.familyView, 0);
      canary.Remove();
    }
  } cleanUp{place, brand, brandExisted, canary};

  UniqueHKey family;
  if (::RegCreateKeyExW(place.familyRoot, kFamilyBranch, 0, nullptr, 0, KEY_SET_VALUE | place.familyView,
                        nullptr, family.put(), nullptr) != ERROR_SUCCESS ||
      !canary.Plant())
    return Fail(ApiError(L"planting the family branch and the canary key"));
  family.reset();
  if (const LSTATUS status = MakeRegistryLink(place.familyRoot, link, place.familyView, place.canaryNtPath);
      status != ERROR_SUCCESS)
    return CannotPlant(kit, ApiError(L"RegCreateKeyExW(REG_OPTION_CREATE_LINK)", static_cast<DWORD>(status)));
  if (!ResolvesToCanary(place, link))
    return CannotPlant(kit,
                       L"the registry link was made but does not resolve to '" + place.canaryNtPath + L"'");
  kit.Note(L"planted registry link '" + link + L"' -> '" + place.canaryNtPath + L"'");

  const ToolRun run = kit.RunTool(L"--silent --products kitprobe");
  std::wstring problems = canary.Damage();
  if (BranchExists(place.familyRoot, kFamilyBranch, place.familyView))
    problems += L"the family branch is still there; ";
  problems += ExitProblem(run, 0);
  if (!problems.empty()) return Fail(problems);
  kit.Note(L"the canary key kept its values; the link and the family branch are gone");
  return Pass();
}

}  // namespace QvKit
