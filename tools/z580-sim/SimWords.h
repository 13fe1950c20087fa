#pragma once
// Small readers and writers that the calibration sides of the simulated module share.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "SimFrameCodec.h"

namespace z580sim {

// A count of a fault command: a C integer, or "all"/"never" for -1 (without end).
inline bool ReadFaultNumber(const std::string& word, long& out) {
  if (word == "all" || word == "never") {
    out = -1;
    return true;
  }
  char* end = nullptr;
  errno = 0;
  out = std::strtol(word.c_str(), &end, 0);
  return !word.empty() && errno == 0 && *end == '\0';
}

// A float as the modules send it: IEEE single, most significant byte first.
inline Bytes FloatBytes(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return {static_cast<uint8_t>(bits >> 24), static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 8),
          static_cast<uint8_t>(bits)};
}

}  // namespace z580sim
