// Script archive extraction: minizip reads the ZIP straight from the mapped resource through a set
// of in-memory file callbacks; only the extracted files touch the disk.
#include "app/ResDropper.h"

#include <unzip.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/UniqueHandle.h"
#include "base/Utf8.h"
#include "logging/QvBrelLogging.h"
#include "sysops/FolderCreation.h"

namespace {

constexpr int CodeCannotCreate = 152;
constexpr int CodeUnsafeName = 153;
constexpr unsigned BufferSize = 4096;

// The archive as the reader sees it: the locked resource bytes and a read position.
struct MemoryStream {
  const unsigned char* data;
  unsigned long long size;
  unsigned long long position;
};

// The bytes of an RCDATA resource of `module` (null: the executable); false when it cannot be had.
bool LockArchive(HMODULE module, WORD id, const unsigned char*& data, DWORD& size) {
  if (module == nullptr) module = ::GetModuleHandleW(nullptr);
  HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
  if (info == nullptr) return false;
  HGLOBAL loaded = ::LoadResource(module, info);
  if (loaded == nullptr) return false;
  data = static_cast<const unsigned char*>(::LockResource(loaded));
  size = ::SizeofResource(module, info);
  return data != nullptr;
}

// A ZIP with no entries is its end-of-central-directory record alone, which minizip cannot find at
// offset 0 and so refuses to open.
bool IsEmptyArchive(HMODULE module, WORD id) {
  const unsigned char* data = nullptr;
  DWORD size = 0;
  if (!LockArchive(module, id, data, size) || size < 22) return false;
  auto word = [data](DWORD at) { return static_cast<unsigned>(data[at] | (data[at + 1] << 8)); };
  return word(0) == 0x4b50 && word(2) == 0x0605 && word(8) == 0 && word(10) == 0 && word(20) == size - 22;
}

// `name` is the integer resource id in disguise; `opaque` is the module (null: the executable).
voidpf ZCALLBACK OpenResource(voidpf opaque, const char* name, int) {
  const unsigned char* data = nullptr;
  DWORD size = 0;
  const WORD id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
  if (!LockArchive(static_cast<HMODULE>(opaque), id, data, size)) return nullptr;
  return new (std::nothrow) MemoryStream{data, size, 0};
}

uLong ZCALLBACK ReadStream(voidpf, voidpf stream, void* buffer, uLong count) {
  auto* s = static_cast<MemoryStream*>(stream);
  const unsigned long long available = s->size - s->position;
  const uLong n = count < available ? count : static_cast<uLong>(available);
  std::memcpy(buffer, s->data + s->position, n);
  s->position += n;
  return n;
}

uLong ZCALLBACK WriteStream(voidpf, voidpf, const void*, uLong) { return 0; }

long ZCALLBACK TellStream(voidpf, voidpf stream) {
  return static_cast<long>(static_cast<MemoryStream*>(stream)->position);
}

long ZCALLBACK SeekStream(voidpf, voidpf stream, uLong offset, int origin) {
  auto* s = static_cast<MemoryStream*>(stream);
  unsigned long long target;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
      target = offset;
      break;
    case ZLIB_FILEFUNC_SEEK_CUR:
      target = s->position + offset;
      break;
    case ZLIB_FILEFUNC_SEEK_END:
      target = s->size + offset;
      break;
    default:
      return -1;
  }
  if (target > s->size) {
    s->position = s->size;
    return -1;
  }
  s->position = target;
  return 0;
}

int ZCALLBACK CloseStream(voidpf, voidpf stream) {
  delete static_cast<MemoryStream*>(stream);
  return 0;
}

int ZCALLBACK TestStreamError(voidpf, voidpf) { return 0; }

// A path component ending in a dot or a space: Win32 path handling strips those, so the entry would
// not land under its own name, and a folder that does keep such a name is out of reach of ordinary
// paths, the tree removal's included.
bool HasTrimmedComponent(const std::string& name) {
  for (std::size_t end = 0; end <= name.size(); ++end) {
    if (end < name.size() && name[end] != '/' && name[end] != '\\') continue;
    if (end > 0 && (name[end - 1] == '.' || name[end - 1] == ' ')) return true;
  }
  return false;
}

// Closes the archive when the extraction ends, whichever way.
struct ZipCloser {
  void operator()(void* zip) const { unzClose(zip); }
};
using UniqueZip = std::unique_ptr<void, ZipCloser>;

}  // namespace

namespace ResDropper {

// Copies the current entry's bytes into the file; false when reading or writing fails.
static bool WriteZipDataToFile(unzFile zip, HANDLE file, std::vector<char>& buffer) {
  for (;;) {
    const int count = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
    if (count < 0) {
      QV_BREL_LOG(QV_ERROR, L"Failed to read from zip: %d", count);
      return false;
    }
    if (count == 0) return true;
    DWORD written = 0;
    if (!::WriteFile(file, buffer.data(), static_cast<DWORD>(count), &written, nullptr) ||
        written != static_cast<DWORD>(count)) {
      QV_BREL_LOG(QV_ERROR, L"Failed to write to file (write: %d, written: %lu) err:%lu", count, written,
                  ::GetLastError());
      return false;
    }
  }
}

// Creates the current entry's file (and its folders) under the target and fills it.
static int ExtractZipFile(unzFile zip, const std::wstring& path, std::vector<char>& buffer) {
  const size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos || !FileOps::CreateDirectoryRecursive(path.substr(0, slash))) {
    QV_BREL_LOG(QV_ERROR, L"Failed to create base path for '%s'", path.c_str());
    return CodeCannotCreate;
  }
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    QV_BREL_LOG(QV_ERROR, L"Failed to open file '%s' for writing: %lu", path.c_str(), ::GetLastError());
    return CodeCannotCreate;
  }
  int code = unzOpenCurrentFile(zip);
  if (code != UNZ_OK) return code;
  const bool copied = WriteZipDataToFile(zip, file.get(), buffer);
  // Closing after a complete read verifies the entry's CRC: a damaged script must not be run.
  const int closed = unzCloseCurrentFile(zip);
  if (!copied) return UNZ_INTERNALERROR;
  return closed;
}

bool ExtractZipFromResource(const std::wstring& target) { return ExtractZipFromResource(target, nullptr); }

bool ExtractZipFromResource(const std::wstring& target, HMODULE module) {
  const DWORD attributes = target.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    QV_BREL_LOG(QV_ERROR, L"Target path '%s' is not valid directory", target.c_str());
    return false;
  }

  zlib_filefunc_def callbacks{};
  callbacks.zopen_file = OpenResource;
  callbacks.zread_file = ReadStream;
  callbacks.zwrite_file = WriteStream;
  callbacks.ztell_file = TellStream;
  callbacks.zseek_file = SeekStream;
  callbacks.zclose_file = CloseStream;
  callbacks.zerror_file = TestStreamError;
  callbacks.opaque = module;
  UniqueZip zip(unzOpen2(reinterpret_cast<const char*>(static_cast<ULONG_PTR>(ScriptArchiveId)), &callbacks));
  if (!zip) {
    if (IsEmptyArchive(module, ScriptArchiveId)) return true;
    QV_BREL_LOG(QV_ERROR, L"Failed to open zip resource");
    return false;
  }

  std::vector<char> buffer(BufferSize);
  // minizip reads an empty central directory as a damaged one; an archive without entries is done.
  unz_global_info global{};
  int code = unzGetGlobalInfo(zip.get(), &global);
  if (code == UNZ_OK) code = global.number_entry == 0 ? UNZ_END_OF_LIST_OF_FILE : unzGoToFirstFile(zip.get());
  while (code == UNZ_OK) {
    unz_file_info info{};
    code = unzGetCurrentFileInfo(zip.get(), &info, nullptr, 0, nullptr, 0, nullptr, 0);
    if (code != UNZ_OK) break;
    std::vector<char> nameBuffer(info.size_filename + 1, '\0');
    code = unzGetCurrentFileInfo(zip.get(), &info, nameBuffer.data(), static_cast<uLong>(nameBuffer.size()),
                                 nullptr, 0, nullptr, 0);
    if (code != UNZ_OK) break;
    const std::string name(nameBuffer.data());
    std::wstring relative = QvText::FromUtf8(name);
    // Logged as decoded text (a narrow %hs would read the UTF-8 bytes in the ANSI code page).
    if (relative.empty() && !name.empty())
      QV_BREL_LOG(QV_DEBUG, L"'%hs'", name.c_str());
    else
      QV_BREL_LOG(QV_DEBUG, L"'%s'", relative.c_str());

    if (name.find("..") != std::string::npos || HasTrimmedComponent(name)) {
      code = CodeUnsafeName;
      break;
    }
    if (!relative.empty() && relative.back() == L'/') {
      code = unzGoToNextFile(zip.get());
      continue;
    }
    for (wchar_t& c : relative)
      if (c == L'/') c = L'\\';
    const std::wstring separator = target.back() == L'\\' ? L"" : L"\\";
    code = ExtractZipFile(zip.get(), target + separator + relative, buffer);
    if (code != UNZ_OK) break;
    code = unzGoToNextFile(zip.get());
  }

  if (code == UNZ_END_OF_LIST_OF_FILE) return true;
  QV_BREL_LOG(QV_ERROR, L"Unzipping failed: %d", code);
  return false;
}

}  // namespace ResDropper
