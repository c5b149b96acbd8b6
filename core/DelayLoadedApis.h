// Functions of the libraries bound at first use. Each returns the system's result; when the library
// or function cannot be bound it fails with the Win32 error of that failure instead of crashing.
#pragma once

#include <windows.h>
#include <bcrypt.h>
#include <msi.h>
#include <wtsapi32.h>

namespace DelayLoaded {

// msi.dll, bound by ordinal.
enum MsiOrdinal : WORD {
  OrdinalMsiConfigureProductW = 16,
  OrdinalMsiSetExternalUIW = 137,
  OrdinalMsiSetInternalUI = 141,
  OrdinalMsiEnableLogW = 169,
  OrdinalMsiEnumRelatedProductsW = 205,
};

UINT MsiEnumRelatedProductsW(LPCWSTR upgradeCode, DWORD reserved, DWORD index, LPWSTR productBuffer);
UINT MsiEnableLogW(DWORD logMode, LPCWSTR logFile, DWORD attributes);
// Returns INSTALLUILEVEL_NOCHANGE when msi.dll cannot be bound.
INSTALLUILEVEL MsiSetInternalUI(INSTALLUILEVEL level, HWND* window);
// Returns null when msi.dll cannot be bound.
INSTALLUI_HANDLERW MsiSetExternalUIW(INSTALLUI_HANDLERW handler, DWORD messageFilter, LPVOID context);
UINT MsiConfigureProductW(LPCWSTR product, int installLevel, INSTALLSTATE installState);

// bcrypt.dll; a function that cannot be bound returns STATUS_ENTRYPOINT_NOT_FOUND.
NTSTATUS BCryptOpenAlgorithmProvider(BCRYPT_ALG_HANDLE* algorithm, LPCWSTR id, LPCWSTR implementation,
                                     ULONG flags);
NTSTATUS BCryptCloseAlgorithmProvider(BCRYPT_ALG_HANDLE algorithm, ULONG flags);
NTSTATUS BCryptCreateHash(BCRYPT_ALG_HANDLE algorithm, BCRYPT_HASH_HANDLE* hash, PUCHAR hashObject,
                          ULONG hashObjectSize, PUCHAR secret, ULONG secretSize, ULONG flags);
NTSTATUS BCryptHashData(BCRYPT_HASH_HANDLE hash, PUCHAR input, ULONG size, ULONG flags);
NTSTATUS BCryptFinishHash(BCRYPT_HASH_HANDLE hash, PUCHAR output, ULONG size, ULONG flags);
NTSTATUS BCryptDestroyHash(BCRYPT_HASH_HANDLE hash);

// userenv.dll
BOOL GetProfilesDirectoryW(LPWSTR profileDir, LPDWORD size);

// wtsapi32.dll
BOOL WTSQuerySessionInformationW(HANDLE server, DWORD sessionId, WTS_INFO_CLASS infoClass, LPWSTR* buffer,
                                 DWORD* bytesReturned);
void WTSFreeMemory(PVOID memory);

}  // namespace DelayLoaded
