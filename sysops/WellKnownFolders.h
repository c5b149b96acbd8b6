// Well-known folders by the script API's ids: registry values first (expanded), the shell as the
// fall-back, and the system's own calls for the Windows, system and profiles folders.
#pragma once

#include <cstdint>
#include <string>

namespace WellKnownFolders {

// Script ids (SpecialPath_* in the script API).
enum Id : std::int32_t {
  CommonAppData = 0,
  CommonDesktop = 1,
  CommonStartMenu = 2,
  CommonStartMenuPrograms = 3,
  CommonStartMenuStartup = 4,
  CommonProgramFiles = 5,
  CommonProgramFilesX86 = 6,
  Windows = 7,
  System32 = 8,
  Sysnative = 9,
  UserProfiles = 10,
  UserAppDataLocal = 11,
};

// The folder of `id`; with a user SID, the per-user folder (UserAppDataLocal) of that user, read
// from HKU\<sid> with "%USERPROFILE%" replaced by the profile ProfileList names for the SID, and
// without the shell fall-back. Empty for an unknown id or whatever cannot be resolved.
std::wstring Resolve(std::int32_t id, const std::wstring& sid);

}  // namespace WellKnownFolders
