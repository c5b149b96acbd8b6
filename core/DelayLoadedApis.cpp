// Typed entry points over the delay-load resolver.
#include "core/DelayLoadedApis.h"

#include "core/DelayLoad.h"

namespace {

// A bound function, or the error that kept it from being bound (kept for every later call).
template <typename Function>
struct Binding {
  Function function = nullptr;
  UINT error = ERROR_SUCCESS;
  explicit operator bool() const { return function != nullptr; }
};

template <typename Function>
Binding<Function> Bind(const char* library, const char* name) {
  Binding<Function> binding;
  binding.function =
      reinterpret_cast<Function>(reinterpret_cast<void*>(BrelDelayLoad::GetFunction(library, name)));
  if (!binding) {
    binding.error = ::GetLastError();
    if (binding.error == ERROR_SUCCESS) binding.error = ERROR_PROC_NOT_FOUND;
  }
  return binding;
}

template <typename Function>
Binding<Function> BindMsi(WORD ordinal) {
  return Bind<Function>("msi.dll", MAKEINTRESOURCEA(ordinal));
}

}  // namespace

namespace DelayLoaded {

UINT MsiEnumRelatedProductsW(LPCWSTR upgradeCode, DWORD reserved, DWORD index, LPWSTR productBuffer) {
  static const auto binding = BindMsi<decltype(&::MsiEnumRelatedProductsW)>(OrdinalMsiEnumRelatedProductsW);
  if (!binding) return binding.error;
  return binding.function(upgradeCode, reserved, index, productBuffer);
}

UINT MsiEnableLogW(DWORD logMode, LPCWSTR logFile, DWORD attributes) {
  static const auto binding = BindMsi<decltype(&::MsiEnableLogW)>(OrdinalMsiEnableLogW);
  if (!binding) return binding.error;
  return binding.function(logMode, logFile, attributes);
}

INSTALLUILEVEL MsiSetInternalUI(INSTALLUILEVEL level, HWND* window) {
  static const auto binding = BindMsi<decltype(&::MsiSetInternalUI)>(OrdinalMsiSetInternalUI);
  if (!binding) return INSTALLUILEVEL_NOCHANGE;
  return binding.function(level, window);
}

INSTALLUI_HANDLERW MsiSetExternalUIW(INSTALLUI_HANDLERW handler, DWORD messageFilter, LPVOID context) {
  static const auto binding = BindMsi<decltype(&::MsiSetExternalUIW)>(OrdinalMsiSetExternalUIW);
  if (!binding) return nullptr;
  return binding.function(handler, messageFilter, context);
}

UINT MsiConfigureProductW(LPCWSTR product, int installLevel, INSTALLSTATE installState) {
  static const auto binding = BindMsi<decltype(&::MsiConfigureProductW)>(OrdinalMsiConfigureProductW);
  if (!binding) return binding.error;
  return binding.function(product, installLevel, installState);
}

namespace {
constexpr NTSTATUS kEntryPointNotFound = static_cast<NTSTATUS>(0xC0000139L);

template <typename Function>
Binding<Function> BindBcrypt(const char* name) {
  return Bind<Function>("bcrypt.dll", name);
}
}  // namespace

NTSTATUS BCryptOpenAlgorithmProvider(BCRYPT_ALG_HANDLE* algorithm, LPCWSTR id, LPCWSTR implementation,
                                     ULONG flags) {
  static const auto binding =
      BindBcrypt<decltype(&::BCryptOpenAlgorithmProvider)>("BCryptOpenAlgorithmProvider");
  return binding ? binding.function(algorithm, id, implementation, flags) : kEntryPointNotFound;
}

NTSTATUS BCryptCloseAlgorithmProvider(BCRYPT_ALG_HANDLE algorithm, ULONG flags) {
  static const auto binding =
      BindBcrypt<decltype(&::BCryptCloseAlgorithmProvider)>("BCryptCloseAlgorithmProvider");
  return binding ? binding.function(algorithm, flags) : kEntryPointNotFound;
}

NTSTATUS BCryptCreateHash(BCRYPT_ALG_HANDLE algorithm, BCRYPT_HASH_HANDLE* hash, PUCHAR hashObject,
                          ULONG hashObjectSize, PUCHAR secret, ULONG secretSize, ULONG flags) {
  static const auto binding = BindBcrypt<decltype(&::BCryptCreateHash)>("BCryptCreateHash");
  return binding ? binding.function(algorithm, hash, hashObject, hashObjectSize, secret, secretSize, flags)
                 : kEntryPointNotFound;
}

NTSTATUS BCryptHashData(BCRYPT_HASH_HANDLE hash, PUCHAR input, ULONG size, ULONG flags) {
  static const auto binding = BindBcrypt<decltype(&::BCryptHashData)>("BCryptHashData");
  return binding ? binding.function(hash, input, size, flags) : kEntryPointNotFound;
}

NTSTATUS BCryptFinishHash(BCRYPT_HASH_HANDLE hash, PUCHAR output, ULONG size, ULONG flags) {
  static const auto binding = BindBcrypt<decltype(&::BCryptFinishHash)>("BCryptFinishHash");
  return binding ? binding.function(hash, output, size, flags) : kEntryPointNotFound;
}

NTSTATUS BCryptDestroyHash(BCRYPT_HASH_HANDLE hash) {
  static const auto binding = BindBcrypt<decltype(&::BCryptDestroyHash)>("BCryptDestroyHash");
  return binding ? binding.function(hash) : kEntryPointNotFound;
}

BOOL GetProfilesDirectoryW(LPWSTR profileDir, LPDWORD size) {
  using Function = BOOL(WINAPI*)(LPWSTR, LPDWORD);
  static const auto binding = Bind<Function>("userenv.dll", "GetProfilesDirectoryW");
  if (!binding) {
    ::SetLastError(binding.error);
    return FALSE;
  }
  return binding.function(profileDir, size);
}

BOOL WTSQuerySessionInformationW(HANDLE server, DWORD sessionId, WTS_INFO_CLASS infoClass, LPWSTR* buffer,
                                 DWORD* bytesReturned) {
  static const auto binding =
      Bind<decltype(&::WTSQuerySessionInformationW)>("wtsapi32.dll", "WTSQuerySessionInformationW");
  if (!binding) {
    ::SetLastError(binding.error);
    return FALSE;
  }
  return binding.function(server, sessionId, infoClass, buffer, bytesReturned);
}

void WTSFreeMemory(PVOID memory) {
  static const auto binding = Bind<decltype(&::WTSFreeMemory)>("wtsapi32.dll", "WTSFreeMemory");
  if (binding) binding.function(memory);
}

}  // namespace DelayLoaded
