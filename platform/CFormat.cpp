#include "platform/CFormat.h"

#include <locale.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace platform {
namespace {

// A "C" locale object made once; uselocale() makes it the calling thread's locale
// for the duration of one formatting or parsing call, whatever the toolkit set globally.
locale_t CLocale() {
  static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

class ScopedCLocale {
 public:
  ScopedCLocale() : previous_(CLocale() ? uselocale(CLocale()) : static_cast<locale_t>(nullptr)) {}
  ~ScopedCLocale() {
    if (previous_) uselocale(previous_);
  }
  ScopedCLocale(const ScopedCLocale&) = delete;
  ScopedCLocale& operator=(const ScopedCLocale&) = delete;

 private:
  locale_t previous_;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

}  // namespace

std::string FormatV(const char* fmt, va_list args) {
  ScopedCLocale c;
  va_list copy;
  va_copy(copy, args);
  char small[256];
  int n = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), fmt, args);
  out.resize(static_cast<size_t>(n));
  return out;
}

std::string Format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string s = FormatV(fmt, args);
  va_end(args);
  return s;
}

size_t ParseInteger(std::string_view text, int base, long long& value) {
  value = 0;
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  size_t digitsStart = i;
  if ((base == 0 || base == 16) && i + 1 < text.size() && text[i] == '0' &&
      (text[i + 1] == 'x' || text[i + 1] == 'X') && i + 2 < text.size() && DigitValue(text[i + 2]) < 16) {
    base = 16;
    i += 2;
    digitsStart = i;
  } else if (base == 0) {
    base = (i < text.size() && text[i] == '0') ? 8 : 10;
  }
  unsigned long long magnitude = 0;
  bool overflow = false;
  const unsigned long long limit = negative ? static_cast<unsigned long long>(LLONG_MAX) + 1ULL
                                            : static_cast<unsigned long long>(LLONG_MAX);
  while (i < text.size() && DigitValue(text[i]) < base) {
    unsigned long long d = static_cast<unsigned long long>(DigitValue(text[i]));
    if (!overflow) {
      if (magnitude > (limit - d) / static_cast<unsigned long long>(base)) {
        overflow = true;
        magnitude = limit;
      } else {
        magnitude = magnitude * static_cast<unsigned long long>(base) + d;
      }
    }
    ++i;
  }
  if (i == digitsStart) {
    // "0x" without hex digits still reads the "0", as strtol does.
    return 0;
  }
  if (negative) {
    value = magnitude == static_cast<unsigned long long>(LLONG_MAX) + 1ULL ? LLONG_MIN
                                                                            : -static_cast<long long>(magnitude);
  } else {
    value = static_cast<long long>(magnitude);
  }
  return i;
}

int ClampToInt(long long v) {
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

std::optional<int> ScanInt(std::string_view text) {
  long long v;
  if (ParseInteger(text, 0, v) == 0) return std::nullopt;
  return ClampToInt(v);
}

int Atoi(std::string_view text) {
  long long v;
  ParseInteger(text, 10, v);
  return ClampToInt(v);
}

size_t ParseDouble(std::string_view text, double& value) {
  value = 0;
  // strtod needs a terminated string; the copy also keeps us inside the view.
  std::string copy(text);
  ScopedCLocale c;
  char* end = nullptr;
  double v = std::strtod(copy.c_str(), &end);
  size_t consumed = static_cast<size_t>(end - copy.c_str());
  if (consumed == 0) return 0;
  value = v;
  return consumed;
}

double Atof(std::string_view text) {
  double v;
  ParseDouble(text, v);
  return v;
}

std::optional<double> ScanDouble(std::string_view text) {
  double v;
  if (ParseDouble(text, v) == 0) return std::nullopt;
  return v;
}

}  // namespace platform
