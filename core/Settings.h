// Localised texts and settings loaded from the embedded resources, chosen by language.
#pragma once

#include <windows.h>

#include <map>
#include <mutex>
#include <set>
#include <string>

#include "core/ResourceText.h"

namespace BrelResLib {

class Settings {
 public:
  static Settings& Instance();
  virtual ~Settings();

  virtual std::set<std::string> GetLanguages();
  virtual std::string GetLanguage();
  virtual void SetCurrentLanguage(const std::string& code);
  // Validates the code; an unknown or empty code selects the language automatically.
  virtual void SetLanguage(const std::string& code);
  // A missing text gives U+25BA followed by the key.
  virtual std::wstring GetString(const std::string& key, const std::string& language = {});
  // A missing setting gives an empty string.
  virtual std::wstring GetSetting(const std::string& key);
  virtual void SetSetting(const std::string& key, const std::wstring& value);
  virtual void Clear();
  // Win32 error code, 0 on success.
  virtual unsigned LoadResources(HMODULE module, unsigned settingsId, unsigned stringsId);
  virtual void Parse(const std::string& settingsText, const std::string& stringsText);

 protected:
  Settings();

 private:
  // Callers hold mutex_.
  std::set<std::string> LanguagesLocked() const;
  std::string UserLanguageLocked() const;

  std::mutex mutex_;
  // key (ASCII case ignored) -> (language -> UTF-8 text); the empty language holds non-localised entries.
  TextTable settings_;
  TextTable strings_;
  std::map<std::string, std::string, KeyLess> overrides_;
  std::string language_;
};

}  // namespace BrelResLib
