#pragma once
// The per-user program settings: text values addressed by application, section and key, kept where
// the platform's own settings functions keep them, so existing settings stay readable:
//   HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>, value <key>.
#include <string>

// The stored text, or `defaultValue` when the key, its section or its application is absent.
std::string GetSetting(const std::string& appName, const std::string& section, const std::string& key,
                       const std::string& defaultValue = "");

// Stores the text, creating the application and section as needed. A write the store refuses
// raises "Invalid procedure call or argument" (5).
void SaveSetting(const std::string& appName, const std::string& section, const std::string& key,
                 const std::string& setting);

// Deletes a whole section, or one key of it. Deleting what is not there does nothing.
void DeleteSetting(const std::string& appName, const std::string& section);
void DeleteSetting(const std::string& appName, const std::string& section, const std::string& key);

// The registry path (under HKEY_CURRENT_USER) of an application's section.
std::string settingsKeyPath(const std::string& appName, const std::string& section);
