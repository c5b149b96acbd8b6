// SHA-256 through the system's CNG provider, read in large blocks.
#include "sysops/FileDigest.h"

#include <bcrypt.h>

#include <mutex>
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

// One reusable hash object for the process, made at first use: a new object per file costs more
// than hashing a small file. Null when the system cannot hash.
struct Sha256Object {
  UniqueAlgorithm provider;
  UniqueHash hash;
  std::vector<UCHAR> block = std::vector<UCHAR>(kBlockSize);
  std::mutex mutex;
};

Sha256Object* Sha256Hasher() {
  static Sha256Object* const object = [] {
    static Sha256Object made;
    if (!Succeeded(DelayLoaded::BCryptOpenAlgorithmProvider(made.provider.put(), BCRYPT_SHA256_ALGORITHM,
                                                            nullptr, BCRYPT_HASH_REUSABLE_FLAG)) ||
        !Succeeded(DelayLoaded::BCryptCreateHash(made.provider.get(), made.hash.put(), nullptr, 0, nullptr, 0,
                                                 BCRYPT_HASH_REUSABLE_FLAG)))
      return static_cast<Sha256Object*>(nullptr);
    return &made;
  }();
  return object;
}

}  // namespace

namespace FileDigest {

std::wstring Sha256(HANDLE file) {
  Sha256Object* const hasher = Sha256Hasher();
  if (hasher == nullptr) return {};
  std::lock_guard lock(hasher->mutex);
  bool read = true;
  for (;;) {
    DWORD length = 0;
    if (!::ReadFile(file, hasher->block.data(), kBlockSize, &length, nullptr)) read = false;
    if (!read || length == 0) break;
    if (!Succeeded(DelayLoaded::BCryptHashData(hasher->hash.get(), hasher->block.data(), length, 0))) {
      read = false;
      break;
    }
  }
  // Finishing also resets the object for the next file, a failed read included.
  UCHAR digest[kDigestSize];
  if (!Succeeded(DelayLoaded::BCryptFinishHash(hasher->hash.get(), digest, kDigestSize, 0)) || !read)
    return {};
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring text;
  for (const UCHAR byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xF];
  }
  return text;
}

}  // namespace FileDigest
