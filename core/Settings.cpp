// The settings store: texts and settings parsed from RCDATA 101/102, looked up by key and language.
#include "core/Settings.h"

#include "base/Utf8.h"

namespace BrelResLib {
namespace {

// The bytes of an RCDATA resource; a missing resource gives its Win32 error (0 means "empty text").
DWORD ReadResource(HMODULE module, unsigned id, std::string& text) {
  text.clear();
  if (id == 0) return 0;
  HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
  HGLOBAL loaded = info != nullptr ? ::LoadResource(module, info) : nullptr;
  const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (bytes == nullptr) return ::GetLastError();
  text.assign(static_cast<const char*>(bytes), ::SizeofResource(module, info));
  return 0;
}

// The text of `key` for `language` exactly; null when there is none.
const std::string* Find(const TextTable& table, const std::string& key, const std::string& language) {
  const auto entry = table.find(key);
  if (entry == table.end()) return nullptr;
  const auto text = entry->second.find(language);
  return text == entry->second.end() ? nullptr : &text->second;
}

void CollectLanguages(const TextTable& table, std::set<std::string>& languages) {
  for (const auto& [key, texts] : table)
    for (const auto& [language, text] : texts)
      if (!language.empty()) languages.insert(language);
}

}  // namespace

Settings& Settings::Instance() {
  static Settings instance;
  return instance;
}

Settings::Settings() = default;
Settings::~Settings() = default;

std::set<std::string> Settings::LanguagesLocked() const {
  std::set<std::string> languages;
  CollectLanguages(settings_, languages);
  if (languages.empty()) CollectLanguages(strings_, languages);
  return languages;
}

std::string Settings::UserLanguageLocked() const {
  const LCID locale = MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT);
  char language[16] = {};
  char country[16] = {};
  if (!::GetLocaleInfoA(locale, LOCALE_SISO639LANGNAME, language, sizeof(language))) language[0] = '\0';
  if (!::GetLocaleInfoA(locale, LOCALE_SISO3166CTRYNAME, country, sizeof(country))) country[0] = '\0';
  return ChooseAutomaticLanguage(LanguagesLocked(), language, country);
}

std::set<std::string> Settings::GetLanguages() {
  std::lock_guard lock(mutex_);
  return LanguagesLocked();
}

std::string Settings::GetLanguage() {
  std::lock_guard lock(mutex_);
  return language_;
}

void Settings::SetCurrentLanguage(const std::string& code) {
  std::lock_guard lock(mutex_);
  language_ = code;
}

void Settings::SetLanguage(const std::string& code) {
  std::lock_guard lock(mutex_);
  std::string chosen = MatchLanguage(LanguagesLocked(), code);
  language_ = chosen.empty() ? UserLanguageLocked() : std::move(chosen);
}

std::wstring Settings::GetString(const std::string& key, const std::string& language) {
  std::lock_guard lock(mutex_);
  const std::string& lang = language.empty() ? language_ : language;
  const std::string* text = Find(settings_, key, lang);
  if (text == nullptr) text = Find(strings_, key, lang);
  if (text != nullptr) return QvText::FromUtf8(*text);
  return L"\x25BA" + QvText::FromUtf8(key);
}

std::wstring Settings::GetSetting(const std::string& key) {
  std::lock_guard lock(mutex_);
  if (const auto found = overrides_.find(key); found != overrides_.end())
    return QvText::FromUtf8(found->second);
  const std::string* text = Find(settings_, key, language_);
  if (text == nullptr) text = Find(settings_, key, {});
  return text != nullptr ? QvText::FromUtf8(*text) : std::wstring();
}

void Settings::SetSetting(const std::string& key, const std::wstring& value) {
  std::lock_guard lock(mutex_);
  overrides_.insert_or_assign(key, QvText::ToUtf8(value));
}

void Settings::Clear() {
  std::lock_guard lock(mutex_);
  settings_.clear();
  strings_.clear();
  overrides_.clear();
  language_.clear();
}

unsigned Settings::LoadResources(HMODULE module, unsigned settingsId, unsigned stringsId) {
  std::string settingsText;
  std::string stringsText;
  if (const DWORD error = ReadResource(module, settingsId, settingsText)) return error;
  if (const DWORD error = ReadResource(module, stringsId, stringsText)) return error;
  Parse(settingsText, stringsText);
  return 0;
}

void Settings::Parse(const std::string& settingsText, const std::string& stringsText) {
  TextTable settings = ParseResourceText(settingsText);
  TextTable strings = ParseResourceText(stringsText);
  std::lock_guard lock(mutex_);
  settings_ = std::move(settings);
  strings_ = std::move(strings);
}

}  // namespace BrelResLib
