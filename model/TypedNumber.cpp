#include "model/TypedNumber.h"

#include <cmath>
#include <string>

#include "platform/CFormat.h"

namespace model {
namespace {

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

std::string_view Trimmed(std::string_view t) {
  while (!t.empty() && IsBlank(t.front())) t.remove_prefix(1);
  while (!t.empty() && IsBlank(t.back())) t.remove_suffix(1);
  return t;
}

size_t SkipDigits(std::string_view t, size_t i) {
  while (i < t.size() && IsDigit(t[i])) ++i;
  return i;
}

}  // namespace

std::string TypedNumberText(std::string_view text) {
  std::string s(Trimmed(text));
  for (char& c : s)
    if (c == ',') c = '.';
  return s;
}

std::optional<double> ReadTypedNumber(std::string_view input, const TypedNumberRules& rules) {
  const std::string t = TypedNumberText(input);
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  double v = 0;
  if (rules.hexadecimal && rules.whole && i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    size_t end = i + 2;
    while (end < t.size() && IsHexDigit(t[end])) ++end;
    if (end == i + 2 || end != t.size()) return std::nullopt;
    long long n = 0;
    platform::ParseInteger(t, 16, n);  // saturates; the range check below refuses it
    v = static_cast<double>(n);
  } else {
    const size_t intEnd = SkipDigits(t, i);
    size_t end = intEnd;
    size_t fracDigits = 0;
    if (end < t.size() && t[end] == '.') {
      const size_t fracEnd = SkipDigits(t, end + 1);
      fracDigits = fracEnd - end - 1;
      end = fracEnd;
    }
    if (intEnd == i && fracDigits == 0) return std::nullopt;
    // Exponents only for real numbers: an integer written "1e1" is no integer form.
    if (!rules.whole && end < t.size() && (t[end] == 'e' || t[end] == 'E')) {
      size_t e = end + 1;
      if (e < t.size() && (t[e] == '+' || t[e] == '-')) ++e;
      const size_t expEnd = SkipDigits(t, e);
      if (expEnd == e) return std::nullopt;
      end = expEnd;
    }
    if (end != t.size()) return std::nullopt;
    if (platform::ParseDouble(t, v) != t.size()) return std::nullopt;
  }
  if (!std::isfinite(v)) return std::nullopt;
  if (rules.whole) {
    if (std::fabs(v) - std::floor(std::fabs(v)) > 0.00001) return std::nullopt;
    v = std::trunc(v) + 0.0;  // no negative zero
  }
  if (v < rules.lowest || v > rules.highest) return std::nullopt;
  return v;
}

std::optional<int> ReadAddressText(std::string_view text) {
  const std::string_view t = Trimmed(text);
  long long value = 0;
  if (t.empty() || platform::ParseInteger(t, 0, value) != t.size()) return std::nullopt;
  // A number beyond int is none that any place could show as read.
  if (value < INT_MIN || value > INT_MAX) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace model
