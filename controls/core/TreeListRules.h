#pragma once
// The tree-list control's rules that need no window: the order of rows, the sort
// marks of the header, shortening of cell texts, the colour of a row's texts and
// the steps of the horizontal scroll bar.
#include <functional>
#include <string>
#include <string_view>

#include "model/TreeRows.h"

namespace TreeList {

class CTLItem;

// Ascending order of two cell texts (negative, zero, positive). When the texts have
// the same prefix before their first digit run and the runs differ in value, the
// values decide (a text without digits counts as 0); otherwise the texts compare
// without regard to case. Digit runs of any length compare exactly.
int CompareCellTexts(std::string_view t1, std::string_view t2);
// The sort callback: the texts of the column; descending reverses the sign. A missing
// record compares equal.
int CompareItems(const CTLItem* item1, const CTLItem* item2, int column, bool ascending);

// Sort marks of the header: -1 none, 0 ascending, 1 descending.
inline constexpr int kNoMark = -1;
inline constexpr int kMarkAscending = 0;
inline constexpr int kMarkDescending = 1;
// Whether a click on a column whose mark is currentMark sorts ascending.
inline bool ClickSortsAscending(int currentMark) { return currentMark == kNoMark || currentMark == kMarkDescending; }

// The text drawn in a cell of the given width: the text itself when it fits in
// width - 8, else shortened from the end until it fits, one more character off, and
// "..." appended. Nothing ("") when the text is empty or width - 8 <= 0.
std::string ElideCellText(const std::string& text, int width, const std::function<int(const std::string&)>& extent);

// Which colour a row's texts take.
enum class TextColour { Highlight, Grey, Own };
TextColour RowTextColour(bool selected, bool disabled, model::ColorRef colour);

// Requests of the horizontal scroll bar.
enum class ScrollRequest { LineLeft, LineRight, PageLeft, PageRight, LeftEnd, RightEnd, Thumb };
inline constexpr int kScrollStep = 6;
// The new position; limit is the scroll bar's limit, page the tree's client width,
// thumb the dragged thumb position (for Thumb only).
int HorizontalScrollTarget(ScrollRequest request, int position, int limit, int page, int thumb);
// The smallest multiple of unit greater than total (total when unit <= 0).
int NextMultipleAbove(int total, int unit);

}  // namespace TreeList
