#include "controls/core/MenuRules.h"

#include <algorithm>

namespace menu {

Rgb SelectionTint(Rgb highlight) {
  const int r = highlight.r / 4, g = highlight.g / 4, b = highlight.b / 4;
  const int k = 255 - std::max({r, g, b});
  const int shift = k + static_cast<int>(k * -0.14);
  return {(r + shift) & 0xFF, (g + shift) & 0xFF, (b + shift) & 0xFF};
}

std::pair<std::string, std::string> SplitAtTab(std::string_view text) {
  const size_t tab = text.find('\t');
  if (tab == std::string_view::npos) return {std::string(text), std::string()};
  return {std::string(text.substr(0, tab)), std::string(text.substr(tab + 1))};
}

}  // namespace menu
