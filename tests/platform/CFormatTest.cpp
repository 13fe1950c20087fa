#include <gtest/gtest.h>
#include <locale.h>

#include <climits>
#include <cmath>

#include "platform/CFormat.h"

using namespace platform;

TEST(Format, FormatsLikePrintfWhateverTheProcessLocale) {
  EXPECT_EQ(Format("%s '%s'", "Читаем ветвь", "Вход 1"), "Читаем ветвь 'Вход 1'");
  EXPECT_EQ(Format("%.3f", 1.23456), "1.235");
  EXPECT_EQ(Format("0x%02x", 5), "0x05");
  std::string longText(1000, 'x');
  EXPECT_EQ(Format("%s!", longText.c_str()).size(), 1001u);
  // A toolkit may switch the process to a locale with a decimal comma.
  const char* previous = setlocale(LC_NUMERIC, "ru_RU.UTF-8");
  EXPECT_EQ(Format("%f", 0.5), "0.500000");
  EXPECT_DOUBLE_EQ(Atof("2.5"), 2.5);
  if (previous) setlocale(LC_NUMERIC, "C");
}

TEST(IntegerParsing, ReadsTheCForms) {
  EXPECT_EQ(ScanInt("42"), 42);
  EXPECT_EQ(ScanInt("  -7xyz"), -7);
  EXPECT_EQ(ScanInt("0x1F"), 31);
  EXPECT_EQ(ScanInt("010"), 8);
  EXPECT_EQ(ScanInt("08"), 0);  // octal stops at the 8
  EXPECT_FALSE(ScanInt("abc").has_value());
  EXPECT_FALSE(ScanInt("").has_value());
  EXPECT_EQ(Atoi("010"), 10);
  EXPECT_EQ(Atoi(" +12abc"), 12);
  EXPECT_EQ(Atoi("x"), 0);
}

TEST(IntegerParsing, SaturatesInsteadOfOverflowing) {
  EXPECT_EQ(Atoi("99999999999"), INT_MAX);
  EXPECT_EQ(Atoi("-99999999999"), INT_MIN);
  EXPECT_EQ(ScanInt("0xFFFFFFFFFFFFFFFFFFFF"), INT_MAX);
  long long v = 0;
  EXPECT_EQ(ParseInteger("-9223372036854775808", 10, v), 20u);
  EXPECT_EQ(v, LLONG_MIN);
  EXPECT_EQ(ParseInteger("99999999999999999999999", 10, v), 23u);
  EXPECT_EQ(v, LLONG_MAX);
}

TEST(DoubleParsing, ReadsLikeStrtod) {
  EXPECT_DOUBLE_EQ(Atof("1.5e2"), 150.0);
  EXPECT_DOUBLE_EQ(Atof("  -0.25 "), -0.25);
  EXPECT_DOUBLE_EQ(Atof("junk"), 0.0);
  EXPECT_FALSE(ScanDouble("junk").has_value());
  EXPECT_TRUE(std::isinf(Atof("1e999")));
  double v;
  EXPECT_EQ(ParseDouble("3.5abc", v), 3u);
}
