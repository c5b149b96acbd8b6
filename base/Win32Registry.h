// Registry access bound to one root and one view: each operation opens its key, makes one registry
// call, closes the key and keeps a compact result code. Never logs (the logging library reads its
// configuration through it).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Result codes of Win32Registry operations (GetLastResult).
namespace RegResult {
inline constexpr DWORD Success = 0;
inline constexpr DWORD NotFound = 1;         // ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND
inline constexpr DWORD WrongType = 2;        // the value exists with another type
inline constexpr DWORD Failure = 3;          // any other Win32 error
inline constexpr DWORD AccessDenied = 5;     // ERROR_ACCESS_DENIED
inline constexpr DWORD InvalidArgument = 6;  // ERROR_INVALID_PARAMETER, an empty name, a path without parent
}  // namespace RegResult

// Paths are below the root. A "branch" is a key path, a "key" a value name in it. Every operation
// sets the last result; writers and deleters return true only for RegResult::Success, readers also
// fill their output, which they leave empty (or 0) on failure. The UTF-8 forms convert their names
// and text and call the UTF-16 forms.
class Win32Registry {
 public:
  // View flags: 0, KEY_WOW64_32KEY or KEY_WOW64_64KEY, added to every open and create.
  explicit Win32Registry(HKEY root = HKEY_LOCAL_MACHINE, REGSAM viewFlags = 0)
      : root_(root), flags_(viewFlags) {}
  virtual ~Win32Registry();

  // The value's type (REG_SZ, ...); 0 when it cannot be read.
  virtual DWORD GetValueType(const std::string& branch, const std::string& key);
  virtual DWORD GetValueType(const std::wstring& branch, const std::wstring& key);

  // REG_SZ or REG_EXPAND_SZ text, never expanded; other types give RegResult::WrongType.
  virtual bool GetString(const std::string& branch, const std::string& key, std::string& text);
  virtual bool GetString(const std::wstring& branch, const std::wstring& key, std::string& text);
  virtual bool GetString(const std::string& branch, const std::string& key, std::wstring& text);
  virtual bool GetString(const std::wstring& branch, const std::wstring& key, std::wstring& text);

  // REG_SZ into an existing branch (no branch is created).
  virtual bool SetString(const std::string& branch, const std::string& key, const std::string& text);
  virtual bool SetString(const std::wstring& branch, const std::wstring& key, const std::string& text);
  virtual bool SetString(const std::string& branch, const std::string& key, const std::wstring& text);
  virtual bool SetString(const std::wstring& branch, const std::wstring& key, const std::wstring& text);

  virtual bool SetExpandString(const std::string& branch, const std::string& key, const std::string& text);
  virtual bool SetExpandString(const std::wstring& branch, const std::wstring& key, const std::string& text);
  virtual bool SetExpandString(const std::string& branch, const std::string& key, const std::wstring& text);
  virtual bool SetExpandString(const std::wstring& branch, const std::wstring& key, const std::wstring& text);

  // REG_DWORD (REG_NONE is read as well); any other type gives RegResult::WrongType.
  virtual bool GetDWORD(const std::string& branch, const std::string& key, DWORD& value);
  virtual bool GetDWORD(const std::wstring& branch, const std::wstring& key, DWORD& value);
  virtual bool SetDWORD(const std::string& branch, const std::string& key, DWORD value);
  virtual bool SetDWORD(const std::wstring& branch, const std::wstring& key, DWORD value);

  // REG_QWORD (REG_NONE is read as well); any other type gives RegResult::WrongType.
  virtual bool GetQWORD(const std::string& branch, const std::string& key, ULONGLONG& value);
  virtual bool GetQWORD(const std::wstring& branch, const std::wstring& key, ULONGLONG& value);
  virtual bool SetQWORD(const std::string& branch, const std::string& key, ULONGLONG value);
  virtual bool SetQWORD(const std::wstring& branch, const std::wstring& key, ULONGLONG value);

  // The entries up to the first empty one; a last entry that no NUL closes is dropped as cut short.
  virtual bool GetMultiString(const std::string& branch, const std::string& key,
                              std::vector<std::string>& list);
  virtual bool GetMultiString(const std::wstring& branch, const std::wstring& key,
                              std::vector<std::wstring>& list);
  // Refuses (RegResult::InvalidArgument, nothing written) a list holding an empty string, which
  // would end it early for every reader; the empty list is stored as two NULs.
  virtual bool SetMultiString(const std::string& branch, const std::string& key,
                              const std::vector<std::string>& list);
  virtual bool SetMultiString(const std::wstring& branch, const std::wstring& key,
                              const std::vector<std::wstring>& list);

  // REG_BINARY only; any other type gives RegResult::WrongType.
  virtual bool GetBinary(const std::string& branch, const std::string& key, std::vector<BYTE>& data);
  virtual bool GetBinary(const std::wstring& branch, const std::wstring& key, std::vector<BYTE>& data);
  virtual bool SetBinary(const std::string& branch, const std::string& key, const std::vector<BYTE>& data);
  virtual bool SetBinary(const std::wstring& branch, const std::wstring& key, const std::vector<BYTE>& data);

  virtual bool DeleteValue(const std::string& branch, const std::string& key);
  virtual bool DeleteValue(const std::wstring& branch, const std::wstring& key);

  // Whether the key opens for reading its security information.
  virtual bool KeyExists(const std::string& path);
  virtual bool KeyExists(const std::wstring& path);
  virtual bool KeyExists(const std::string& parent, const std::string& child);
  virtual bool KeyExists(const std::wstring& parent, const std::wstring& child);

  // Creates parent\child (the parent must exist); an empty child is an invalid argument.
  virtual bool CreateKey(const std::string& parent, const std::string& child);
  virtual bool CreateKey(const std::wstring& parent, const std::wstring& child);
  virtual bool CreateKey(const std::string& parent, const std::string& child, DWORD options);
  virtual bool CreateKey(const std::wstring& parent, const std::wstring& child, DWORD options);

  // Deletes one key without sub-keys (a key that has some is refused by the system).
  virtual bool DeleteKey(const std::string& parent, const std::string& child);
  virtual bool DeleteKey(const std::wstring& parent, const std::wstring& child);
  // The same for a path, split at its last backslash; a path without one is an invalid argument.
  virtual bool DeleteKey(const std::string& path);
  virtual bool DeleteKey(const std::wstring& path);

  // Creates every missing key of the path; a path without a backslash creates nothing and succeeds.
  virtual bool CreateKeyPath(const std::string& path);
  virtual bool CreateKeyPath(const std::wstring& path);

  // RegDeleteTreeW of parent\child, the child included.
  virtual bool DeleteTree(const std::string& parent, const std::string& child);
  virtual bool DeleteTree(const std::wstring& parent, const std::wstring& child);

  // Names in enumeration order, and their count; any failure empties the list.
  virtual size_t GetSubkeys(const std::string& branch, std::vector<std::string>& names);
  virtual size_t GetSubkeys(const std::wstring& branch, std::vector<std::wstring>& names);
  virtual size_t GetValueNames(const std::string& branch, std::vector<std::string>& names);
  virtual size_t GetValueNames(const std::wstring& branch, std::vector<std::wstring>& names);

  virtual void SetRoot(HKEY root);
  virtual void SetFlags(REGSAM viewFlags);
  virtual DWORD GetLastResult();

  // The data and type of a value, whatever the type.
  virtual bool GetValue(const std::string& branch, const std::string& key, std::vector<BYTE>& data,
                        DWORD& type);
  virtual bool GetValue(const std::wstring& branch, const std::wstring& key, std::vector<BYTE>& data,
                        DWORD& type);

  // The raw bytes of a REG_MULTI_SZ value; any other type gives RegResult::WrongType.
  bool GetMultiStringRaw(const std::wstring& branch, const std::wstring& key, std::vector<BYTE>& data);

  HKEY Root() const { return root_; }
  REGSAM Flags() const { return flags_; }

 protected:
  // Stores the code of a Win32 status and tells whether it is success.
  bool Finish(LSTATUS status);
  bool FinishWith(DWORD code);

 private:
  bool WriteValue(const std::wstring& branch, const std::wstring& key, DWORD type, const void* data,
                  DWORD bytes);
  bool SetText(const std::wstring& branch, const std::wstring& key, DWORD type, const std::wstring& text);
  bool ReadFixed(const std::wstring& branch, const std::wstring& key, DWORD wanted, void* data, DWORD bytes);
  // Queries any value into `data`, growing it until the value fits.
  bool ReadAny(const std::wstring& branch, const std::wstring& key, std::vector<BYTE>& data, DWORD& type);

  HKEY root_;
  REGSAM flags_;
  DWORD lastResult_ = RegResult::Success;
};

// The registry code of a Win32 status (RegResult).
DWORD RegResultOf(LSTATUS status);

// Keys taken as they are, registry links included: the pieces a deletion needs so that it never
// acts through a link.
namespace RegLink {

// RegOpenKeyExW of one component below `parent` with REG_OPTION_OPEN_LINK: a link key opens as
// itself, not as its target. `access` carries the view flags.
LSTATUS OpenOwnKey(HKEY parent, const std::wstring& name, REGSAM access, HKEY* key);
// Whether a key opened as itself is a registry link (its "SymbolicLinkValue" is REG_LINK data).
bool IsLink(HKEY key);
// The names of the direct sub-keys of an open key (KEY_ENUMERATE_SUB_KEYS), in enumeration order.
// ERROR_SUCCESS when the listing went to its end; otherwise the error that broke it off, with the
// names read until then.
LSTATUS ListSubkeys(HKEY key, std::vector<std::wstring>& names);
// Whether `name` below `parent` opened by name lands on another key than the entry itself: true for
// a link (whatever its own security refuses, since no access right is asked for) and when either
// cannot be told; false for a plain key and a missing one. `view` carries the view flags.
bool ResolvesElsewhere(HKEY parent, const std::wstring& name, REGSAM view);
// The key's full name in the registry's own namespace ("\REGISTRY\MACHINE\SOFTWARE\WOW6432Node\..."
// for a key of the 32-bit view); empty when it cannot be read. The name is the one query that needs
// no access right, so a key whose security refuses everything still answers it.
std::wstring NativeName(HKEY key);
// Deletes the key the handle names (opened with DELETE), a link as a link; a key with sub-keys is
// refused (ERROR_ACCESS_DENIED). The Win32 error, 0 on success.
LSTATUS DeleteOpenKey(HKEY key);

}  // namespace RegLink
