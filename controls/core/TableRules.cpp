#include "controls/core/TableRules.h"

#include <algorithm>
#include <cmath>

#include "devices/TableControl.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "platform/Text.h"

namespace myClass::table {
namespace {
using T = myClass::TableControl;
constexpr const char* kShortNoData = "Н/Д";
constexpr int kMaxFittedRows = 16;
constexpr int kHeightMargin = 10;
}  // namespace

CellLook LookOfCell(std::uint16_t cellFlags, std::uint32_t rowColour, bool rowFocused) {
  CellLook look;
  const bool disabled = (cellFlags & T::kCellDisabled) != 0;
  look.focusFill = rowFocused && !disabled;
  if (disabled)
    look.text = kDisabledText;
  else if (cellFlags & T::kCellButton)
    look.button = true, look.text = kButtonText;
  else if (cellFlags & T::kCellRed)
    look.text = kRedText;
  else if (cellFlags & T::kCellGreen)
    look.text = kGreenText;
  else
    look.text = rowColour;
  return look;
}

bool CanBeginEdit(std::uint16_t rowFlags, std::uint16_t cellFlags) {
  if (rowFlags & T::kCellRowReadOnly) return false;
  return (cellFlags & (T::kCellDisabled | T::kCellNotEdited | T::kCellButton)) == 0;
}

EditorKind EditorForType(const std::string& typeText) {
  for (const char* number : {"float", "int", "int16", "stored_dot", "clk_frm"})
    if (platform::EqualsNoCase(typeText, number)) return EditorKind::Edit;
  return EditorKind::List;
}

std::vector<std::string> ListItemsOfType(const std::string& typeText) {
  std::vector<std::string> items;
  size_t start = 0;
  for (;;) {
    const size_t end = typeText.find(':', start);
    std::string item = typeText.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (item.empty()) break;
    items.push_back(std::move(item));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return items;
}

std::string EditorTextOf(const std::string& cellText, bool cellHasNoData) {
  return cellHasNoData ? std::string(kShortNoData) : cellText;
}

bool IsEdit(bool cellHasNoData, const std::string& editedText) { return !(cellHasNoData && editedText == kShortNoData); }

std::string RangeTipTitle(const Parameter& parameter) {
  return platform::Format("%s (%s)", parameter.description.c_str(), parameter.name.c_str());
}

std::string RangeTipText(const Parameter& parameter) {
  if (platform::EqualsNoCase(parameter.type, "float"))
    return platform::Format("Значение параметра должно быть вещественного типа, от %.3f до %.3f.", parameter.min,
                            parameter.max);
  return platform::Format("Значение параметра должно быть целого типа, от %.0f до %.0f.", parameter.min,
                          parameter.max);
}

int NextFocusRow(int rowCount, int lastLegal, int requested, const std::function<bool(int)>& disabled) {
  if (requested < 0 || requested >= rowCount) return -1;
  if (!disabled(requested)) return requested;
  if (lastLegal < 0 || lastLegal >= rowCount) lastLegal = requested;
  const int step = requested < lastLegal ? -1 : 1;
  for (int row = lastLegal + step; row >= 0 && row < rowCount; row += step)
    if (!disabled(row)) return row;
  return -1;
}

int FitHeight(int rowCount, int rowHeight, int headerHeight) {
  return std::min(std::max(rowCount, 0), kMaxFittedRows) * rowHeight + headerHeight + kHeightMargin;
}

std::vector<int> ColumnWidths(const std::vector<int>& designed, bool allFit, int scrollBarWidth) {
  std::vector<int> widths = designed;
  if (allFit || designed.empty()) return widths;
  const int less = static_cast<int>(std::lround(static_cast<double>(scrollBarWidth) / static_cast<double>(designed.size())));
  for (int& w : widths) w = std::max(0, w - less);
  return widths;
}

}  // namespace myClass::table
