#include <gtest/gtest.h>
#include <iconv.h>

#include "platform/Text.h"

using namespace platform;

namespace {
// The C library's own converter is the reference for the code page table.
std::string IconvCp1251ToUtf8(const std::string& in) {
  iconv_t cd = iconv_open("UTF-8", "CP1251");
  if (cd == reinterpret_cast<iconv_t>(-1)) return "<no iconv>";
  std::string out(in.size() * 4 + 4, '\0');
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return "<fail>";
  out.resize(out.size() - dstLeft);
  return out;
}
}  // namespace

TEST(Cp1251, EveryDefinedByteRoundTripsAndMatchesTheCLibrary) {
  for (int b = 1; b < 256; ++b) {
    if (b == 0x98) continue;
    std::string byte(1, static_cast<char>(b));
    std::string utf8 = Cp1251ToUtf8(byte);
    EXPECT_EQ(utf8, IconvCp1251ToUtf8(byte)) << "byte " << b;
    std::string back;
    EXPECT_TRUE(Utf8ToCp1251(utf8, back)) << "byte " << b;
    EXPECT_EQ(back, byte) << "byte " << b;
  }
}

TEST(Cp1251, UnrepresentableAndMalformedInputBecomesQuestionMark) {
  std::string out;
  EXPECT_FALSE(Utf8ToCp1251("a\xE4\xB8\xAD" "b", out));  // a CJK character
  EXPECT_EQ(out, "a?b");
  EXPECT_FALSE(Utf8ToCp1251("x\xC3", out));  // cut sequence
  EXPECT_EQ(out, "x?");
  EXPECT_FALSE(Utf8ToCp1251("\xC0\x80", out));  // overlong NUL
  EXPECT_FALSE(IsCp1251Representable("\xEF\xBF\xBD"));
  EXPECT_TRUE(IsCp1251Representable("Сетевые параметры №1"));
  EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xEF\xBF\xBD");
}

TEST(CaseFolding, AsciiAndCyrillicFoldLikeTheCodePage) {
  EXPECT_TRUE(EqualsNoCase("Addr", "aDDR"));
  EXPECT_TRUE(EqualsNoCase("Сетевые_Параметры", "сЕТЕВЫЕ_пАРАМЕТРЫ"));
  EXPECT_TRUE(EqualsNoCase("ёЁ", "ЁЁ"));
  EXPECT_TRUE(EqualsNoCase("їіґєў", "ЇІҐЄЎ"));
  EXPECT_FALSE(EqualsNoCase("Addr", "Addr "));
  EXPECT_FALSE(EqualsNoCase("е", "ё"));
  EXPECT_LT(CompareNoCase("abc", "ABD"), 0);
  EXPECT_GT(CompareNoCase("abcd", "ABC"), 0);
  EXPECT_EQ(ToUpper("r.oe.s Ввод"), "R.OE.S ВВОД");
  EXPECT_EQ(ToLower("APLY Ж"), "aply ж");
  EXPECT_TRUE(StartsWithNoCase("БУИМ 9", "буим"));
  EXPECT_FALSE(StartsWithNoCase("БУ", "буим"));
}

TEST(CaseFolding, BytesThatAreNoUtf8CompareByValue) {
  // Windows-1251 bytes that slipped through unconverted ("Порт", "Прог") must not all
  // look alike: every one of them decodes as a replacement character.
  EXPECT_FALSE(EqualsNoCase("\xCF\xEE\xF0\xF2", "\xCF\xF0\xEE\xE3"));
  EXPECT_TRUE(EqualsNoCase("\xCF\xEE\xF0\xF2", "\xCF\xEE\xF0\xF2"));
  EXPECT_LT(CompareNoCase("a\xC0", "a\xC1"), 0);
  EXPECT_FALSE(EqualsNoCase("\xFF", "\xEF\xBF\xBD"));  // a stray byte is not a real U+FFFD
  EXPECT_FALSE(StartsWithNoCase("\xC0\xC1x", "\xC2"));
  EXPECT_TRUE(StartsWithNoCase("\xC0\xC1x", "\xC0\xC1"));
}
