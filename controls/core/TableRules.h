#pragma once
// The rules of the table control that need no window: cell colours, when a cell
// may be edited and with which editor, the editor's texts, where the focus may
// go, and the sizes the control takes. The Qt table applies them.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class Parameter;

namespace myClass::table {

// Colours as COLORREF values (0x00BBGGRR).
inline constexpr std::uint32_t kDisabledText = 0xAAAAAA;
inline constexpr std::uint32_t kRedText = 0x0000FF;
inline constexpr std::uint32_t kGreenText = 0x00B400;
inline constexpr std::uint32_t kButtonText = 0x960000;
inline constexpr std::uint32_t kFocusFill = 0xD2D2D2;
inline constexpr std::uint32_t kGridLine = 0xE3F4F3;
inline constexpr std::uint32_t kFocusFrame = 0x646464;

// How a cell's text is drawn.
struct CellLook {
  bool button = false;        // drawn as a push button (its text in kButtonText)
  std::uint32_t text = 0;     // text colour
  bool focusFill = false;     // the focused row's grey fill
};
// Disabled wins over everything, then the button, red, green, the row's colour.
CellLook LookOfCell(std::uint16_t cellFlags, std::uint32_t rowColour, bool rowFocused);

// Whether BeginEdit opens an editor: not on a read-only row (rowFlags is the OR
// of the row's cells) and not on a disabled, not-edited or button cell.
bool CanBeginEdit(std::uint16_t rowFlags, std::uint16_t cellFlags);

enum class EditorKind { Edit, List };
// Number types get the edit box; every other type the drop-down list.
EditorKind EditorForType(const std::string& typeText);
// The list's items: the type text taken apart at ':', up to the first empty item.
std::vector<std::string> ListItemsOfType(const std::string& typeText);
// What the editor starts with: a value with no data is shown as "Н/Д".
std::string EditorTextOf(const std::string& cellText, bool cellHasNoData);
// Whether an edit that ends with text changes anything: an untouched "Н/Д" over
// a value with no data is no edit.
bool IsEdit(bool cellHasNoData, const std::string& editedText);

// The edit box's range tip: its title and text.
std::string RangeTipTitle(const Parameter& parameter);
std::string RangeTipText(const Parameter& parameter);

// Where the focus goes when it is asked to move to requested: requested when it
// may take the focus; otherwise the next row that may, going from lastLegal in the
// direction of the move; -1 when there is none (the focus stays where it was).
int NextFocusRow(int rowCount, int lastLegal, int requested, const std::function<bool(int)>& disabled);

// The control's height for its rows: at most 16 rows, the header and a margin.
int FitHeight(int rowCount, int rowHeight, int headerHeight);
// Column widths from the designed ones: each less round(scroll bar width / column
// count) when the rows do not all fit on one page.
std::vector<int> ColumnWidths(const std::vector<int>& designed, bool allFit, int scrollBarWidth);

}  // namespace myClass::table
