#pragma once
// The one reading of a number a person types (tree cells, dialogs, wizards, the
// state window). The whole text must be the number, blanks around it allowed; a
// decimal comma reads as the point ("1,9"); hexadecimal only where the place asks
// for it; the value must be one the place can hold. Values from files and modules
// are not read here: they keep the converter's own reading.
#include <cfloat>
#include <climits>
#include <optional>
#include <string>
#include <string_view>

namespace model {

struct TypedNumberRules {
  double lowest = -FLT_MAX;
  double highest = FLT_MAX;
  // A whole number: no exponent, and a fraction only within 0.00001 of the
  // integer part ("7.000001" is 7); the result is that integer.
  bool whole = false;
  // "0x" and hexadecimal digits also read (whole numbers only).
  bool hexadecimal = false;
};

// Any real number a 4-byte float carries.
inline constexpr TypedNumberRules kSingleFloat{};
// What an "int" or "int16" value carries on the wire (unsigned, at most 2 bytes).
inline constexpr TypedNumberRules kUnsigned16{0, 65535, true, false};
// A whole number of the int range.
inline constexpr TypedNumberRules kWholeInt{INT_MIN, INT_MAX, true, false};

// The number, or nothing when the text is not one or the value lies outside
// [lowest, highest].
std::optional<double> ReadTypedNumber(std::string_view text, const TypedNumberRules& rules);

// The text without the blanks around it and with a decimal comma as the point: the
// form a typed number is kept in once read.
std::string TypedNumberText(std::string_view text);

// The one reading of a module address text, for every place that reads one (the
// settings cells, the held and stored settings, the link, the command line): the
// whole text, blanks around it allowed, is an integer as C's "%i" reads it (an
// optional sign, decimal, "0x" hexadecimal or octal with a leading 0). A fraction,
// an exponent or anything after the digits is no address. Cells keep and show it
// as the decimal number it is, so what is shown is what is sent and stored.
std::optional<int> ReadAddressText(std::string_view text);

}  // namespace model
