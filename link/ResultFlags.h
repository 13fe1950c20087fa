#pragma once
// The run's result flags: seven bits; the lowest set bit becomes the process exit
// code 200 + its position. The link assigns them (it does not combine them).
#include <cstdint>

namespace exchange {

inline constexpr uint32_t kResultMissingConfigFile = 0x01;  // exit code 200
inline constexpr uint32_t kResultPortOpenFailed = 0x02;     // 201
inline constexpr uint32_t kResultExchangeError = 0x04;      // 202: a time-out
inline constexpr uint32_t kResultNoUsableReply = 0x08;      // 203
inline constexpr uint32_t kResultDeviceError = 0x10;        // 204
inline constexpr uint32_t kResultAborted = 0x20;            // 205
inline constexpr uint32_t kResultConnectFailed = 0x40;      // 206

}  // namespace exchange

#include <optional>

namespace exchange {

// The process exit code of the result flags: 200 + the position of the lowest set
// bit of the seven; none when no bit is set (the run's ordinary exit code applies).
inline std::optional<int> ExitCodeForResultFlags(uint32_t flags) {
  for (int bit = 0; bit < 7; ++bit)
    if (flags & (1u << bit)) return 200 + bit;
  return std::nullopt;
}

}  // namespace exchange
