// Test helper: prints what an executable carries: its manifest, version strings, icon group entries
// and the sizes of the RCDATA resources 101, 102 and 103.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

#pragma pack(push, 2)
struct IconGroupEntry {
  BYTE width, height, colors, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
struct IconGroupHeader {
  WORD reserved, type, count;
};
#pragma pack(pop)

void PrintVersionString(const std::vector<BYTE>& block, const wchar_t* name) {
  std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
  wchar_t* value = nullptr;
  UINT length = 0;
  if (::VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) && value)
    std::printf("version %ls=%ls\n", name, value);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  HMODULE module =
      ::LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module == nullptr) return 3;
  if (HRSRC manifest = ::FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST)) {
    const char* text = static_cast<const char*>(::LockResource(::LoadResource(module, manifest)));
    std::printf("manifest-begin\n%.*s\nmanifest-end\n", static_cast<int>(::SizeofResource(module, manifest)),
                text);
  }
  for (int id : {101, 102, 103}) {
    HRSRC data = ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
    std::printf("rcdata %d=%ld\n", id, data ? static_cast<long>(::SizeofResource(module, data)) : -1L);
  }
  if (HRSRC group = ::FindResourceW(module, MAKEINTRESOURCEW(104), RT_GROUP_ICON)) {
    auto* header = static_cast<const IconGroupHeader*>(::LockResource(::LoadResource(module, group)));
    auto* entries = reinterpret_cast<const IconGroupEntry*>(header + 1);
    for (WORD i = 0; i < header->count; ++i)
      std::printf("icon %d %u\n", entries[i].width == 0 ? 256 : entries[i].width,
                  static_cast<unsigned>(entries[i].bytes));
  }
  ::FreeLibrary(module);

  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(argv[1], &ignored);
  std::vector<BYTE> block(size);
  if (size != 0 && ::GetFileVersionInfoW(argv[1], 0, size, block.data())) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed)
      std::printf("fixed product %lu.%lu.%lu\n", fixed->dwProductVersionMS >> 16,
                  fixed->dwProductVersionMS & 0xffff, fixed->dwProductVersionLS >> 16);
    PrintVersionString(block, L"ProductVersion");
    PrintVersionString(block, L"ProductName");
  }
  return 0;
}
