// The menu drawing's plain rules: the selected item's frame colour and the split of
// an item's text from its shortcut.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "controls/core/MenuRules.h"

namespace {

using namespace menu;

TEST(MenuRules, SelectionTintFromTheHighlight) {
  EXPECT_EQ(SelectionTint({0, 120, 215}), (Rgb{174, 204, 227}));
  EXPECT_EQ(SelectionTint({255, 255, 255}), (Rgb{229, 229, 229}));
  EXPECT_EQ(SelectionTint({0, 0, 0}), (Rgb{220, 220, 220}));
  EXPECT_EQ(SelectionTint({51, 153, 255}), (Rgb{178, 204, 229}));
}

TEST(MenuRules, MenuTextsSplitAtTheFirstTab) {
  EXPECT_EQ(SplitAtTab("Прочитать\tAlt+R"), (std::pair<std::string, std::string>{"Прочитать", "Alt+R"}));
  EXPECT_EQ(SplitAtTab("a\tb\tc"), (std::pair<std::string, std::string>{"a", "b\tc"}));
  EXPECT_EQ(SplitAtTab("Выход"), (std::pair<std::string, std::string>{"Выход", ""}));
}

}  // namespace
