// SHA-256 through the system's CNG provider, read in large blocks.
#include "sysops/FileDigest.h"

#include <bcrypt.h>

#include <vector>

#include "base/UniqueHandle.h"
#include "core/DelayLoadedApis.h"

namespace {

struct AlgorithmTraits {
  static BCRYPT_ALG_HANDLE Invalid() noexcept { return nullptr; }
  static void Close(BCRYPT_ALG_HANDLE handle) noexcept {
    DelayLoaded::BCryptCloseAlgorithmProvider(handle, 0);
  }
};
struct HashTraits {
  static BCRYPT_HASH_HANDLE Invalid() noexcept { return nullptr; }
  static void Close(BCRYPT_HASH_HANDLE handle) noexcept { DelayLoaded::BCryptDestroyHash(handle); }
};
using UniqueAlgorithm = QvHandles::UniqueValue<BCRYPT_ALG_HANDLE, AlgorithmTraits>;
using UniqueHash = QvHandles::UniqueValue<BCRYPT_HASH_HANDLE, HashTraits>;

constexpr DWORD kBlockSize = 256 * 1024;
constexpr ULONG kDigestSize = 32;

bool Succeeded(NTSTATUS status) { return status >= 0; }

// Opened once: a provider costs more than hashing a small file.
BCRYPT_ALG_HANDLE Sha256Provider() {
  static const UniqueAlgorithm provider = [] {
    UniqueAlgorithm opened;
    if (!Succeeded(
            DelayLoaded::BCryptOpenAlgorithmProvider(opened.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
      opened.reset();
    return opened;
  }();
  return provider.get();
}

}  // namespace

namespace FileDigest {

std::wstring Sha256(HANDLE file) {
  const BCRYPT_ALG_HANDLE provider = Sha256Provider();
  if (provider == nullptr) return {};
  UniqueHash hash;
  if (!Succeeded(DelayLoaded::BCryptCreateHash(provider, hash.put(), nullptr, 0, nullptr, 0, 0))) return {};
  std::vector<UCHAR> block(kBlockSize);
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file, block.data(), kBlockSize, &read, nullptr)) return {};
    if (read == 0) break;
    if (!Succeeded(DelayLoaded::BCryptHashData(hash.get(), block.data(), read, 0))) return {};
  }
  UCHAR digest[kDigestSize];
  if (!Succeeded(DelayLoaded::BCryptFinishHash(hash.get(), digest, kDigestSize, 0))) return {};
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring text;
  for (const UCHAR byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xF];
  }
  return text;
}

}  // namespace FileDigest
