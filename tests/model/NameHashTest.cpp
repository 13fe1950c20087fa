#include <gtest/gtest.h>

#include "model/Parameter.h"

namespace {

std::uint16_t Hash(const char* name) { return Parameter::HashOfName(name); }

TEST(NameHash, KnownNamesHashToTheirWireCodes) {
  EXPECT_EQ(Hash("APLY"), 0x8403);
  EXPECT_EQ(Hash("n.Err"), 0x0233);
  EXPECT_EQ(Hash("INIT"), 0x00E9);
  EXPECT_EQ(Hash("Addr"), 0x9F62);
  EXPECT_EQ(Hash("bPS"), 0xB760);
  EXPECT_EQ(Hash("r.oe"), 0xE894);
  EXPECT_EQ(Hash("A"), 0xC36F);
  EXPECT_EQ(Hash(""), 0);
  EXPECT_EQ(Parameter("APLY").NameHash(), 0x8403);
}

TEST(NameHash, CaseExtraCharactersAndStrayDotsDoNotMatter) {
  EXPECT_EQ(Hash("addr"), Hash("Addr"));
  EXPECT_EQ(Hash("AB.CDE"), 0x0BCB);  // the fifth character is dropped
  EXPECT_EQ(Hash("AB.CD"), 0x0BCB);
  EXPECT_EQ(Hash("A*B"), 0xCA19);  // characters outside the alphabet are skipped
  EXPECT_EQ(Hash("AB"), 0xCA19);
  EXPECT_EQ(Hash(".A"), Hash("A"));  // a leading dot has no character to mark
  EXPECT_EQ(Hash("*.A"), Hash("A"));
  // Only the first eight characters are looked at.
  EXPECT_EQ(Hash("********AB"), Hash("    "));
  EXPECT_NE(Hash("********AB"), Hash("AB"));
  EXPECT_NE(Hash("A.B"), Hash("AB"));
  // Cyrillic letters are not in the alphabet, whatever their byte length.
  EXPECT_EQ(Hash("ЖA"), Hash("A"));
}

TEST(NameHash, StepShiftsBitsMostSignificantFirst) {
  // The frame checksum runs the same register over whole bytes.
  std::uint16_t reg = 0;
  Parameter::HashStep(0x80, 1, reg);
  EXPECT_EQ(reg, 0x8F57);
  reg = 0;
  Parameter::HashStep(0x01, 8, reg);
  EXPECT_EQ(reg, 0x8F57);
  reg = 0x8000;
  Parameter::HashStep(0x00, 1, reg);
  EXPECT_EQ(reg, 0x8F57);
}

}  // namespace
