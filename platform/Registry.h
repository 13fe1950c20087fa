#pragma once
// The program's few registry settings, kept by the settings store (SettingsStore.h).
// None of these shows a message; callers may ignore the results.
#include <cstdint>
#include <string>

// The program's per-user key under HKEY_CURRENT_USER.
inline constexpr const char* kProgramKeyPath = "Software\\TEVI\\Zt580";

// Writes a text value under keyPath in HKEY_LOCAL_MACHINE; true when it was written.
bool WriteRegistryString(const std::string& valueName, const std::string& text, const std::string& keyPath);

// Reads a 32-bit value of the program's key; `out` is the default when it is missing
// (or of another type). True when the stored value was read.
bool ReadProgramDword(const std::string& valueName, uint32_t& out, uint32_t defaultValue);
// Writes a 32-bit value to the program's key, creating the key; true when written.
bool WriteProgramDword(const std::string& valueName, uint32_t value);

// Text values of the program's key (the port's device path beside "port_number").
bool ReadProgramString(const std::string& valueName, std::string& out, const std::string& defaultValue);
bool WriteProgramString(const std::string& valueName, const std::string& text);
