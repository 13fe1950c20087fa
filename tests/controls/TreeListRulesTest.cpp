// The tree-list control's plain rules: row order, sort marks, elision, text colour
// and the horizontal scroll steps.
#include <gtest/gtest.h>

#include <string>

#include "controls/core/CTLItem.h"
#include "controls/core/TreeListRules.h"

using namespace TreeList;

namespace {

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

TEST(TreeListRules, CompareCellTextsOrdersNumbersByValueWithinTheSamePrefix) {
  struct Case {
    const char* a;
    const char* b;
    int expected;
  };
  const Case cases[] = {
      {"Канал 9", "Канал 10", -1},         // by value, not by text
      {"Канал 2", "Канал 10", -1},
      {"Вход", "Вход1", -1},               // no digits counts as 0
      {"abc 5", "xyz 1", -1},              // different prefixes: alphabetical
      {"Abc", "aBC", 0},                   // case-insensitive
      {"ВХОД", "вход", 0},                 // Cyrillic folds too
      {"вход", "Выход", -1},
      {"A07", "A7", -1},                   // equal values: the texts decide
      {"x99999999999999999999", "x100000000000000000000", -1},  // no overflow
      {"x18446744073709551617", "x18446744073709551616", 1},
      {"r1 b", "r1 a", 1},                 // equal numbers: whole text
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sign(CompareCellTexts(c.a, c.b)), c.expected) << c.a << " vs " << c.b;
    EXPECT_EQ(Sign(CompareCellTexts(c.b, c.a)), -c.expected) << c.b << " vs " << c.a;
  }
}

TEST(TreeListRules, CompareItemsUsesTheColumnAndTheDirection) {
  CTLItem a, b;
  a.SetText(2, "10");
  b.SetText(2, "9");
  EXPECT_GT(CompareItems(&a, &b, 2, true), 0);
  EXPECT_LT(CompareItems(&a, &b, 2, false), 0);
  EXPECT_EQ(CompareItems(&a, &b, 7, true), 0);  // both texts absent
  EXPECT_EQ(CompareItems(&a, nullptr, 2, true), 0);
}

TEST(TreeListRules, ClickOnAColumnFlipsItsMark) {
  EXPECT_FALSE(ClickSortsAscending(kMarkAscending));  // column 0 starts ascending: first click descends
  EXPECT_TRUE(ClickSortsAscending(kMarkDescending));
  EXPECT_TRUE(ClickSortsAscending(kNoMark));
}

TEST(TreeListRules, ElisionShortensToTheWidthLessEight) {
  auto extent = [](const std::string& s) {  // 5 pixels a character, UTF-8 aware
    int n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n * 5;
  };
  struct Case {
    std::string text;
    int width;
    std::string expected;
  };
  const Case cases[] = {
      {"abcd", 28, "abcd"},            // 20 fits in 20
      {"abcdef", 28, "abc..."},        // fits at 4 characters, one more off
      {"Значение", 28, "Зна..."},      // characters, not bytes
      {"", 100, ""},                   // nothing to draw
      {"abc", 8, ""},                  // no room at all
      {"abc", 0, ""},
      {"abc", 9, "..."},               // every character off, never past empty
  };
  for (const Case& c : cases) EXPECT_EQ(ElideCellText(c.text, c.width, extent), c.expected) << c.text << " " << c.width;
}

TEST(TreeListRules, RowTextColour) {
  EXPECT_EQ(RowTextColour(true, true, model::kRed), TextColour::Highlight);
  EXPECT_EQ(RowTextColour(false, true, model::kRed), TextColour::Own);  // red stays red
  EXPECT_EQ(RowTextColour(false, true, model::kChangedGreen), TextColour::Grey);
  EXPECT_EQ(RowTextColour(false, true, model::Rgb(255, 0, 1)), TextColour::Grey);
  EXPECT_EQ(RowTextColour(false, false, model::kChangedGreen), TextColour::Own);
}

TEST(TreeListRules, HorizontalScrollSteps) {
  struct Case {
    ScrollRequest request;
    int position, limit, page, thumb, expected;
  };
  const Case cases[] = {
      {ScrollRequest::LineLeft, 4, 100, 50, 0, 0},     {ScrollRequest::LineLeft, 40, 100, 50, 0, 34},
      {ScrollRequest::LineRight, 96, 100, 50, 0, 99},  {ScrollRequest::PageLeft, 30, 100, 50, 0, 0},
      {ScrollRequest::PageRight, 30, 100, 50, 0, 80},  {ScrollRequest::PageRight, 60, 100, 50, 0, 99},
      {ScrollRequest::LeftEnd, 60, 100, 50, 0, 0},     {ScrollRequest::RightEnd, 0, 100, 50, 0, 99},
      {ScrollRequest::Thumb, 0, 100, 50, 5, 6},        {ScrollRequest::Thumb, 50, 100, 50, 0, 0},
      {ScrollRequest::Thumb, 0, 100, 50, 97, 99},      {ScrollRequest::LineRight, 0, 0, 50, 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(HorizontalScrollTarget(c.request, c.position, c.limit, c.page, c.thumb), c.expected)
        << static_cast<int>(c.request) << " at " << c.position;
  EXPECT_EQ(NextMultipleAbove(250, 100), 300);
  EXPECT_EQ(NextMultipleAbove(300, 100), 400);
  EXPECT_EQ(NextMultipleAbove(300, 0), 300);
}

TEST(TreeListRules, RecordTextsAndCopy) {
  CTLItem a;
  EXPECT_EQ(a.GetText(3), "");
  a.SetText(3, "x");
  a.SetEditByList(true);
  a.bold = true;
  CTLItem b(a);
  EXPECT_EQ(b.GetText(3), "x");
  EXPECT_TRUE(b.bold);
  EXPECT_FALSE(b.EditByList());  // edit flags are not copied
  a.SetEditByText(true);
  EXPECT_FALSE(a.EditByList());
}

}  // namespace
