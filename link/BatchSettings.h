#pragma once
// The command line's settings of a run: what the run does, the link values given
// on the command line and the window placement. Cleared as a whole when a batch
// run ends: from then on the run is interactive.
#include <cstdint>
#include <string>

namespace exchange {

// Run flags.
inline constexpr uint32_t kRunWrite = 0x01;
inline constexpr uint32_t kRunLinkSettings = 0x02;
inline constexpr uint32_t kRunClose = 0x04;
inline constexpr uint32_t kRunAply = 0x08;
inline constexpr uint32_t kRunCalibrate = 0x10;
inline constexpr uint32_t kRunBatch = 0x20;
inline constexpr uint32_t kRunRead = 0x40;

// Window flags.
inline constexpr uint8_t kWindowX = 0x01;
inline constexpr uint8_t kWindowY = 0x02;
inline constexpr uint8_t kWindowWidth = 0x04;
inline constexpr uint8_t kWindowHeight = 0x08;

// Mode flags.
inline constexpr uint8_t kModeAutoReadOn = 0x01;
inline constexpr uint8_t kModeAutoReadOff = 0x02;
inline constexpr uint8_t kModeAutoWriteOn = 0x04;
inline constexpr uint8_t kModeAutoWriteOff = 0x08;
inline constexpr uint8_t kModeTest = 0x10;
inline constexpr uint8_t kModeSilent = 0x20;

struct BatchSettings {
  uint32_t runFlags = 0;
  uint8_t windowFlags = 0;
  uint8_t modeFlags = 0;
  uint8_t portNumber = 0;  // 0: not given
  uint32_t baudRate = 0;   // 0: not given
  uint8_t parity = 0;      // 0 not given, 1 even, 2 odd, 3 none
  std::string address;     // at most 5 characters; empty: not given
  uint8_t dataLength = 0;
  std::string stopBits;    // at most 4 characters; empty: not given
  uint8_t addressLength = 0;
  uint8_t converterMode = 0;  // 0 not given, 1 "auto", 2 "off", 3 "on"
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

}  // namespace exchange
