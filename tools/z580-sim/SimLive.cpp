#include "SimLive.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace z580sim {

namespace {

bool SameName(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// Bytes of the float at the front of a value: 4, or 3 for the three-byte float.
size_t FloatBytes(const ParameterSpec& spec) {
  if (spec.kind == ValueKind::Float) return spec.length == 3 ? 3 : 4;
  return 4;  // the six-byte reading: a float and two status bytes
}

bool IsReading(const ParameterSpec& spec) {
  return (spec.kind == ValueKind::Float && (spec.length == 4 || spec.length == 3)) ||
         (spec.kind == ValueKind::Bytes && spec.length == 6);
}

float FloatAt(const Bytes& b) {
  uint32_t bits = 0;
  for (size_t i = 0; i < 4; ++i) bits = (bits << 8) | (i < b.size() ? b[i] : 0);
  return std::bit_cast<float>(bits);
}

void PutFloat(Bytes& b, size_t width, float f) {
  const uint32_t bits = std::bit_cast<uint32_t>(f);
  if (b.size() < width) b.resize(width, 0);
  for (size_t i = 0; i < width; ++i) b[i] = static_cast<uint8_t>(bits >> (24 - 8 * i));
}

uint64_t Number(const Bytes& b) {
  uint64_t v = 0;
  for (uint8_t x : b) v = (v << 8) | x;
  return v;
}

Bytes Width(uint64_t v, size_t width) {
  Bytes b(width, 0);
  for (size_t i = 0; i < width; ++i) b[width - 1 - i] = static_cast<uint8_t>(v >> (8 * i));
  return b;
}

}  // namespace

LiveKind LiveKindOf(const ParameterSpec& spec) {
  if (spec.channels <= 0) return LiveKind::Fixed;
  // A writable one (an output's level) holds what the program wrote.
  if (IsReading(spec)) return spec.readOnly ? LiveKind::Reading : LiveKind::Fixed;
  if (spec.kind != ValueKind::Unsigned) return LiveKind::Fixed;
  if (SameName(spec.name, "r.Cou")) return LiveKind::Counter;
  if (SameName(spec.name, "r.cn") || SameName(spec.name, "s.do")) return LiveKind::Bits;
  return LiveKind::Fixed;  // status words stay as they are: a changing one would report faults
}

Bytes LiveValue(LiveKind kind, const Bytes& base, int slot, double seconds) {
  if (seconds < 0) seconds = 0;
  switch (kind) {
    case LiveKind::Fixed:
      return base;
    case LiveKind::Reading: {
      // A wave of 10 % around the start value (around 10, 20, ... when that is 0), each
      // channel with its own period of half a minute and more.
      float centre = FloatAt(base);
      if (!std::isfinite(centre) || centre == 0) centre = 10.0f * static_cast<float>(slot + 1);
      const double amplitude = std::fabs(centre) * 0.1;
      const double period = 30.0 + 7.0 * slot;
      const double value = centre + amplitude * std::sin(2 * M_PI * seconds / period);
      Bytes out = base;
      const size_t width = base.size() == 3 ? 3 : 4;
      PutFloat(out, width, static_cast<float>(value));
      return out;
    }
    case LiveKind::Counter: {
      // Channel n counts n + 1 pulses a second.
      const uint64_t pulses = static_cast<uint64_t>(seconds) * static_cast<uint64_t>(slot + 1);
      const size_t width = base.empty() ? 1 : base.size();
      const uint64_t mask = width >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * width)) - 1;
      return Width((Number(base) + pulses) & mask, width);
    }
    case LiveKind::Bits: {
      // A Gray code of a step every two seconds: inputs switch one at a time.
      const uint64_t step = static_cast<uint64_t>(seconds / 2) + static_cast<uint64_t>(slot);
      const size_t width = base.empty() ? 1 : base.size();
      const uint64_t mask = width >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * width)) - 1;
      return Width((Number(base) ^ step ^ (step >> 1)) & mask, width);
    }
  }
  return base;
}

bool ValueFromText(const ParameterSpec& spec, const std::string& text, const Bytes& current, Bytes& out) {
  if (text.empty()) return false;
  if (text.rfind("hex:", 0) == 0) {
    const std::string digits = text.substr(4);
    if (digits.empty() || digits.size() % 2 != 0 || digits.size() / 2 > 8) return false;
    Bytes b;
    for (size_t i = 0; i < digits.size(); i += 2) {
      char pair[3] = {digits[i], digits[i + 1], 0};
      char* end = nullptr;
      const unsigned long v = std::strtoul(pair, &end, 16);
      if (*end != '\0' || !std::isxdigit(static_cast<unsigned char>(pair[0]))) return false;
      b.push_back(static_cast<uint8_t>(v));
    }
    out = std::move(b);
    return true;
  }
  const size_t length = static_cast<size_t>(spec.length);
  if (IsReading(spec)) {
    char* end = nullptr;
    const float f = std::strtof(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(f)) return false;
    out = current;
    if (out.size() < length) out.resize(length, 0);
    PutFloat(out, FloatBytes(spec), f);
    return true;
  }
  switch (spec.kind) {
    case ValueKind::Unsigned:
    case ValueKind::Enum: {
      // An item's text before its number: "19200" is the speed, not item 19200.
      if (spec.kind == ValueKind::Enum) {
        const auto item = std::find(spec.enumTexts.begin(), spec.enumTexts.end(), text);
        if (item != spec.enumTexts.end()) {
          out = {static_cast<uint8_t>(item - spec.enumTexts.begin())};
          return true;
        }
      }
      char* end = nullptr;
      errno = 0;
      const long long v = std::strtoll(text.c_str(), &end, 0);
      if (errno != 0 || *end != '\0' || v < 0 || length == 0 || length > 8) return false;
      if (length < 8 && static_cast<uint64_t>(v) >> (8 * length)) return false;
      if (spec.kind == ValueKind::Enum && spec.enumItems > 0 && v >= spec.enumItems) return false;
      out = Width(static_cast<uint64_t>(v), length);
      return true;
    }
    case ValueKind::Text:
      // Stored as the module sends it: the last character first.
      if (text.size() > length) return false;
      out.assign(text.rbegin(), text.rend());
      return true;
    default:
      return false;  // no text form: give the bytes
  }
}

}  // namespace z580sim
