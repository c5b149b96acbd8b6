// Test helper: creates a registry link, a key made with REG_OPTION_CREATE_LINK whose REG_LINK value
// "SymbolicLinkValue" names the target in the kernel's form. Opening the link without
// REG_OPTION_OPEN_LINK opens the target, so a recursive delete that enters it empties the target.
//   make_reg_link <key under HKLM, 64-bit view> <target, e.g. \Registry\Machine\SOFTWARE\X>
// Exit codes: 0 made, 1 the key could not be created (it exists, or is refused), 2 the value could
// not be set (the half-made link is removed again), 3 bad command line.
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/UniqueHandle.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_reg_link <key> <target>\n");
    return 3;
  }
  const std::wstring target = argv[2];
  UniqueHKey link;
  DWORD disposition = 0;
  LSTATUS status =
      ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, argv[1], 0, nullptr, REG_OPTION_CREATE_LINK,
                        KEY_WRITE | KEY_CREATE_LINK | KEY_WOW64_64KEY, nullptr, link.put(), &disposition);
  if (status != ERROR_SUCCESS || disposition != REG_CREATED_NEW_KEY) {
    std::fprintf(stderr, "create: %ld (disposition %lu)\n", status, disposition);
    return 1;
  }
  // The link's target is stored without a terminating NUL.
  status = ::RegSetValueExW(link.get(), L"SymbolicLinkValue", 0, REG_LINK,
                            reinterpret_cast<const BYTE*>(target.data()),
                            static_cast<DWORD>(target.size() * sizeof(wchar_t)));
  if (status != ERROR_SUCCESS) {
    std::fprintf(stderr, "value: %ld\n", status);
    link.reset();
    UniqueHKey opened;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, argv[1], REG_OPTION_OPEN_LINK, DELETE | KEY_WOW64_64KEY,
                        opened.put()) == ERROR_SUCCESS) {
      ::RegDeleteKeyExW(opened.get(), L"", KEY_WOW64_64KEY, 0);
    }
    return 2;
  }
  std::printf("linked\n");
  return 0;
}
