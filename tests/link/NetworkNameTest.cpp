#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/NetworkName.h"
#include "resources/StringTable.h"

using namespace exchange;

namespace {

std::vector<int> Codes(const std::string& name) {
  const NetworkNameCodes c = EncodeNetworkName(name);
  EXPECT_EQ(c.result, 0) << name;
  return {c.codes, c.codes + kNetworkNameCodes};
}

int Refused(const std::string& name) {
  const NetworkNameCodes c = EncodeNetworkName(name);
  EXPECT_EQ(c.result, 4) << name;
  return c.textId;
}

std::string Read(std::vector<int> codes) {
  std::string value;
  for (int code : codes) {
    std::string ch;
    EXPECT_TRUE(NetworkNameCharacter(code, ch)) << code;
    value += ch;
  }
  return value;
}

}  // namespace

TEST(NetworkName, WriteCodes) {
  EXPECT_EQ(Codes("AB.C"), (std::vector<int>{20, 23, 24, 78}));
  EXPECT_EQ(Codes("abcde"), Codes("ABCD"));
  EXPECT_EQ(Codes("ABCD.E"), (std::vector<int>{20, 22, 24, 27}));
  EXPECT_EQ(Codes("1A._ "), (std::vector<int>{2, 21, 74, 78}));
  EXPECT_EQ(Codes("9-Z"), (std::vector<int>{18, 72, 70, 78}));
  EXPECT_EQ(Codes("ABCDE*"), Codes("ABCD"));  // scanning stops at the fifth symbol
}

TEST(NetworkName, RefusedNames) {
  EXPECT_EQ(Refused(""), 414);
  EXPECT_EQ(Refused("ABCDEFGHI"), 403);
  EXPECT_EQ(Refused(".A"), 402);
  EXPECT_EQ(Refused("A*B"), 402);
  EXPECT_EQ(Refused("A/B"), 402);
  EXPECT_EQ(Refused("A..B"), 402);  // would otherwise turn A into B
  EXPECT_EQ(Refused("АБ"), 402);    // Cyrillic letters have no code
  EXPECT_EQ(Refused("АБВГДЕЖЗ"), 402);  // eight characters, though sixteen bytes
  EXPECT_EQ(NetworkNameErrorText(402), resources::LoadString(kStrBadNameCode) + " (CHAr)");
}

TEST(NetworkName, ReadCodes) {
  EXPECT_EQ(Read({2, 21, 74, 78}), "1A._ ");
  EXPECT_EQ(Read({72, 76, 77, 79}), "-//. .");
  EXPECT_EQ(Read({0, 19, 20, 71}), "09.AZ.");
  std::string ch = "x";
  EXPECT_FALSE(NetworkNameCharacter(80, ch));
  EXPECT_EQ(ch, "");
  EXPECT_FALSE(NetworkNameCharacter(-2, ch));
}
