// Test helper: copies an executable and replaces its script archive (RCDATA 103) by a given zip,
// so end-to-end scenarios can run the production binary with any script set.
//   replace_scripts <source.exe> <target.exe> <archive.zip>   -> exit 0 on success
//   replace_scripts --dump <file.exe> <resource id> <out>     -> writes that RCDATA's bytes
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/ResourceFile.h"

namespace {

bool ReadFileBytes(const wchar_t* path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

int Fail(const wchar_t* what, const wchar_t* path, DWORD error) {
  std::fwprintf(stderr, L"replace_scripts: %ls '%ls' failed: %lu\n", what, path, error);
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 5 && std::wcscmp(argv[1], L"--dump") == 0) {
    std::string bytes;
    if (!QvTest::ReadRcData(argv[2], static_cast<WORD>(_wtoi(argv[3])), bytes))
      return Fail(L"reading the resource of", argv[2], ::GetLastError());
    std::ofstream out(argv[4], std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return out ? 0 : Fail(L"writing", argv[4], 0);
  }
  if (argc != 4) {
    std::fwprintf(stderr,
                  L"usage: replace_scripts <source.exe> <target.exe> <archive.zip>\n"
                  L"       replace_scripts --dump <file.exe> <resource id> <out>\n");
    return 2;
  }
  std::string archive;
  if (!ReadFileBytes(argv[3], archive)) return Fail(L"reading", argv[3], ::GetLastError());
  if (!::CopyFileW(argv[1], argv[2], FALSE)) return Fail(L"copying", argv[1], ::GetLastError());
  if (const DWORD error = QvTest::ReplaceRcData(argv[2], 103, archive))
    return Fail(L"replacing the script archive of", argv[2], error);
  return 0;
}
