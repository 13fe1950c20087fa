#pragma once
// The C formats the program's texts are defined by ("%i", "%.3f", "%f", atoi, atof),
// independent of the process locale and without undefined behaviour on overflow.
#include <cstdarg>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// printf-style formatting into a string, always with the "C" locale's decimal point.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* fmt, va_list args);

// Reads an integer the way C's strtol does with the given base (0: decimal,
// "0x" hexadecimal, leading-zero octal): leading white space, an optional sign,
// then as many digits as fit the base. Returns the number of characters consumed
// (0 when no digit was read). The value saturates at the range of long long.
size_t ParseInteger(std::string_view text, int base, long long& value);

// Saturates to the range of int.
int ClampToInt(long long v);

// C's sscanf "%i": the number, or nothing when no digit could be read.
std::optional<int> ScanInt(std::string_view text);

// C's atoi: decimal, 0 when nothing parses, saturating instead of overflowing.
int Atoi(std::string_view text);

// C's strtod in the "C" locale: leading white space, sign, decimal or hexadecimal
// forms, "inf" and "nan". Returns the number of characters consumed (0: nothing read).
size_t ParseDouble(std::string_view text, double& value);

// C's atof: 0 when nothing parses.
double Atof(std::string_view text);

// C's sscanf "%f": the value, or nothing when no number could be read.
std::optional<double> ScanDouble(std::string_view text);

}  // namespace platform
