#include <gtest/gtest.h>

#include "resources/StringTable.h"

TEST(StringTable, EveryLineReadsAndNoIdHasTwoTexts) {
  for (const auto& problem : resources::StringTableProblems()) ADD_FAILURE() << problem;
}

TEST(StringTable, KnownAndUnknownIds) {
  EXPECT_EQ(resources::LoadString(kStrAppTitle), "Z580");
  EXPECT_FALSE(resources::HasString(-12345));
  EXPECT_EQ(resources::LoadString(-12345), "");
}
