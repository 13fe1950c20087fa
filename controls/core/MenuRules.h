#pragma once
// The rules the program's menu drawing follows, without a window: the frame
// colour of a selected item and the split of an item's text from its shortcut.
#include <string>
#include <string_view>
#include <utility>

namespace menu {

struct Rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};
// The frame colour of a selected menu item from the highlight colour's components.
Rgb SelectionTint(Rgb highlight);

// A menu string split at its first tab: the text and the shortcut.
std::pair<std::string, std::string> SplitAtTab(std::string_view text);

}  // namespace menu
