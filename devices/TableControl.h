#pragma once
// The table control (an owner-drawn report list whose cells carry an object and
// flags) as the device models and the brand fill it. The window layer's table
// implements it; tests use a recording fake.
#include <cstdint>
#include <string>
#include <vector>

#include "model/MyConverter.h"

class CObject;

namespace myClass {

class TableControl {
 public:
  // Extended list styles.
  static constexpr unsigned kStyleFullRowSelect = 0x20;
  static constexpr unsigned kStyleInfoTip = 0x400;
  // Column formats.
  static constexpr int kColumnLeft = 0;
  static constexpr int kColumnCentre = 2;
  // Cell flags.
  static constexpr std::uint16_t kCellDisabled = 0x01;
  static constexpr std::uint16_t kCellRowReadOnly = 0x02;
  static constexpr std::uint16_t kCellNotEdited = 0x04;
  static constexpr std::uint16_t kCellRed = 0x08;
  static constexpr std::uint16_t kCellOwnsObject = 0x10;
  static constexpr std::uint16_t kCellButton = 0x20;
  static constexpr std::uint16_t kCellGreen = 0x40;
  static constexpr std::uint16_t kCellNoRangeTip = 0x80;

  virtual ~TableControl() = default;

  virtual void SetExtendedStyle(unsigned style) = 0;
  // Width of the client area in pixels.
  virtual int GetClientWidth() = 0;
  // Returns the new column's index, -1 on failure.
  virtual int InsertColumn(int column, const std::string& heading, int format, int width) = 0;
  // Inserts a row with its column-0 text at row (appended when beyond the last);
  // returns the row it got, -1 on failure.
  virtual int InsertItem(int row, const std::string& text) = 0;
  // The cell keeps whether the value has no data; a plain text has data.
  virtual bool SetItemText(int row, int column, const ValueText& text) = 0;
  // Object and flags of a cell; column -1 sets every column of the row.
  virtual bool SetCell(int row, int column, CObject* object, std::uint16_t flags) = 0;
  // flags := (flags & ~mask) | value; column -1 every column.
  virtual bool SetFlags(int row, int column, std::uint16_t value, std::uint16_t mask) = 0;
  // Replaces the designed column widths (when given) and sizes the columns; true
  // when the rows do not all fit on one page.
  virtual bool AutoSizeColumns(const std::vector<int>* widths) = 0;
};

}  // namespace myClass
