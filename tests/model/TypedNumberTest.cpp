#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "model/TypedNumber.h"

namespace {

using model::ReadTypedNumber;
using model::TypedNumberRules;

constexpr TypedNumberRules kHexUnsigned16{0, 65535, true, true};

// What a person types, read by the rules of each kind of place; nullopt: refused.
TEST(ReadTypedNumber, TextsPerKind) {
  struct Case {
    const char* text;
    std::optional<double> real;       // kSingleFloat
    std::optional<double> unsigned16;  // kUnsigned16 (decimal)
    std::optional<double> hexWord;     // kUnsigned16 with hexadecimal
  };
  const std::optional<double> no;
  const Case cases[] = {
      {"1.9", 1.9, no, no},
      {"1,9", 1.9, no, no},  // a decimal comma is the point
      {"-2,5", -2.5, no, no},
      {" 12 ", 12, 12, 12},  // blanks around
      {"+3", 3, 3, 3},
      {".5", 0.5, no, no},
      {"7.000001", 7.000001, 7, 7},  // within 0.00001 of a whole number
      {"6.99999", 6.99999, no, no},
      {"-0.000001", -0.000001, 0, 0},
      {"1e6", 1e6, no, no},  // exponents only for real numbers
      {"0x10", no, no, 16},  // hexadecimal only where asked for
      {"0x", no, no, no},
      {"0x1p3", no, no, no},
      {"65535", 65535, 65535, 65535},
      {"65536", 65536, no, no},  // beyond the two bytes of the wire
      {"-1", -1, no, no},
      {"1e39", no, no, no},  // beyond a 4-byte float
      {"abc", no, no, no},
      {"", no, no, no},
      {"12abc", no, no, no},
      {"1 2", no, no, no},
      {"1.2.3", no, no, no},
      {".", no, no, no},
      {"inf", no, no, no},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadTypedNumber(c.text, model::kSingleFloat), c.real) << '"' << c.text << '"';
    EXPECT_EQ(ReadTypedNumber(c.text, model::kUnsigned16), c.unsigned16) << '"' << c.text << '"';
    EXPECT_EQ(ReadTypedNumber(c.text, kHexUnsigned16), c.hexWord) << '"' << c.text << '"';
  }
}

TEST(ReadTypedNumber, TheRangeOfThePlaceHolds) {
  const TypedNumberRules points{2, 21, true, false};
  EXPECT_EQ(ReadTypedNumber("1", points), std::nullopt);
  EXPECT_EQ(ReadTypedNumber("2", points), 2);
  EXPECT_EQ(ReadTypedNumber("21", points), 21);
  EXPECT_EQ(ReadTypedNumber("22", points), std::nullopt);
  EXPECT_EQ(ReadTypedNumber("2147483648", model::kWholeInt), std::nullopt);
}

}  // namespace
