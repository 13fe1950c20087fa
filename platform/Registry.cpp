#include "platform/Registry.h"

#include "platform/SettingsStore.h"

using platform::Hive;

bool WriteRegistryString(const std::string& valueName, const std::string& text, const std::string& keyPath) {
  return platform::WriteSettingString(Hive::LocalMachine, keyPath, valueName, text);
}

bool ReadProgramDword(const std::string& valueName, uint32_t& out, uint32_t defaultValue) {
  uint32_t v = 0;
  if (platform::ReadSettingDword(Hive::CurrentUser, kProgramKeyPath, valueName, v)) {
    out = v;
    return true;
  }
  out = defaultValue;
  return false;
}

bool WriteProgramDword(const std::string& valueName, uint32_t value) {
  return platform::WriteSettingDword(Hive::CurrentUser, kProgramKeyPath, valueName, value);
}

bool ReadProgramString(const std::string& valueName, std::string& out, const std::string& defaultValue) {
  std::string v;
  if (platform::ReadSettingString(Hive::CurrentUser, kProgramKeyPath, valueName, v)) {
    out = std::move(v);
    return true;
  }
  out = defaultValue;
  return false;
}

bool WriteProgramString(const std::string& valueName, const std::string& text) {
  return platform::WriteSettingString(Hive::CurrentUser, kProgramKeyPath, valueName, text);
}
