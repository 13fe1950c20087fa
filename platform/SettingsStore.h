#pragma once
// The registry stand-in: one text file per hive in the settings folder,
// $XDG_CONFIG_HOME/TEVI/ (~/.config/TEVI/ when the variable is unset or not absolute):
//   HKEY_CURRENT_USER.ini, HKEY_LOCAL_MACHINE.ini
//
// File layout (regedit-like, UTF-8):
//   ; comment
//   [Software\TEVI\Zt580]                 a key path (case-insensitive)
//   "port_number"=dword:00000001          REG_DWORD, 1 to 8 hex digits
//   "port_path"="/dev/ttyUSB0"            REG_SZ, quoted; escapes \\ \" \n \r \t \xHH
//   COM3=/dev/ttyUSB0                     a bare name and text (hand-written entries)
// Value names are case-insensitive too. The program always writes the quoted form,
// so any text (new lines, '=', brackets, quotes) round-trips.
//
// The serial-port name table lives in HKEY_CURRENT_USER.ini under the key "ports":
//   [ports]
//   COM3=/dev/ttyUSB0
//
// A missing, unreadable or damaged file reads as empty. A write reads the file, changes
// one value, writes a temporary file in the same folder, flushes it to disk and renames
// it over the old one, so a reader never sees half a file. Writers (also in other
// processes) take an exclusive lock on the folder for the read-change-write. A write
// never replaces a file it cannot read (it fails instead); a damaged file is replaced,
// and its text is kept beside it as "<hive>.ini.damaged-XXXXXX". Every failure is
// quiet: the functions only report it by their result.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class Hive { CurrentUser, LocalMachine };

inline constexpr const char* kPortsKeyPath = "ports";

enum class ValueType { String, Dword };

struct SettingValue {
  std::string name;
  ValueType type = ValueType::String;
  std::string text;    // for String
  uint32_t dword = 0;  // for Dword
};

struct SettingKey {
  std::string path;
  std::vector<SettingValue> values;
};

// The parsed content of one hive file, keys in file order.
struct SettingsData {
  std::vector<SettingKey> keys;

  const SettingValue* Find(std::string_view keyPath, std::string_view valueName) const;
  const SettingKey* FindKey(std::string_view keyPath) const;
  // Adds or replaces a value; false when the key path cannot be stored
  // (empty, surrounding blanks, brackets or control characters).
  bool Put(std::string_view keyPath, const SettingValue& value);
};

// The settings folder (without a trailing '/').
std::string SettingsDirectory();
std::string HiveFilePath(Hive hive);

// Parses a hive file's text; false (and empty data) when it is damaged.
bool ParseSettingsText(std::string_view text, SettingsData& data);
std::string SerializeSettings(const SettingsData& data, Hive hive);

// Reads a hive; a missing or damaged file gives empty data.
SettingsData LoadHive(Hive hive);

// True when the value exists with that type.
bool ReadSettingString(Hive hive, std::string_view keyPath, std::string_view valueName, std::string& out);
bool ReadSettingDword(Hive hive, std::string_view keyPath, std::string_view valueName, uint32_t& out);

// True when the value is on disk. Creates the folder and the key when missing.
bool WriteSettingString(Hive hive, std::string_view keyPath, std::string_view valueName, std::string_view text);
bool WriteSettingDword(Hive hive, std::string_view keyPath, std::string_view valueName, uint32_t value);

// The string values of one key, in file order (the ports table).
std::vector<std::pair<std::string, std::string>> ReadSettingStrings(Hive hive, std::string_view keyPath);

}  // namespace platform
