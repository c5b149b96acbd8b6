// Every scenario of the kit, in the order the runner runs them.
#include "tests/kit/scenarios/ScenarioList.h"

namespace QvKit {

const std::vector<Scenario>& Scenarios() {
  static const std::vector<Scenario> all = {
      {L"junction", L"a junction in a family folder is entered and the folder it points to is emptied",
       RunJunction},
      {L"directory-symlink", L"a directory symbolic link in a family folder is followed into its target",
       RunDirectorySymlink},
      {L"file-symlink", L"deleting a file symbolic link deletes or changes the file it points to",
       RunFileSymlink},
      {L"hard-link",
       L"repairing access on a hard link rewrites the security of the other file sharing its descriptor",
       RunHardLink},
      {L"registry-link-hkcu", L"a registry link below the family branch in HKCU is followed into its target",
       RunRegistryLinkHkcu},
      {L"registry-link-wow64",
       L"a registry link below the family branch in the 32-bit view is followed into its target",
       RunRegistryLinkWow64},
      {L"dll-in-use",
       L"a family DLL mapped by a running process (access denied) is left behind, or the process is killed",
       RunDllInUse},
      {L"service-running", L"a running family service survives its deletion, or its process keeps running",
       RunServiceRunning},
      {L"dpi-change", L"the wizard ignores a per-monitor DPI change and becomes unreadable or cut off",
       RunDpiChange},
  };
  return all;
}

}  // namespace QvKit
