#pragma once
// A table control that only records: style, columns, rows with their texts, cell
// objects and flags, and the widths handed to AutoSizeColumns. Rows are inserted
// the way a list control inserts them (a position beyond the end appends).
#include <cstdint>
#include <string>
#include <vector>

#include "devices/TableControl.h"

class FakeTableControl : public myClass::TableControl {
 public:
  struct Column {
    std::string heading;
    int format = 0;
    int width = 0;
  };
  struct Row {
    std::vector<std::string> texts;  // column i at index i
    std::vector<CObject*> objects;   // empty until the first SetCell
    std::vector<std::uint16_t> flags;
    std::string Text(size_t column) const { return column < texts.size() ? texts[column] : std::string(); }
  };

  int clientWidth = 302;
  bool notAllFit = false;  // what AutoSizeColumns answers

  unsigned style = 0;
  std::vector<Column> columns;
  std::vector<Row> rows;
  std::vector<std::vector<int>> autoSizeCalls;  // one entry per call (empty: no widths)

  void SetExtendedStyle(unsigned value) override { style = value; }
  int GetClientWidth() override { return clientWidth; }
  int InsertColumn(int column, const std::string& heading, int format, int width) override;
  int InsertItem(int row, const std::string& text) override;
  bool SetItemText(int row, int column, const ValueText& text) override;
  bool SetCell(int row, int column, CObject* object, std::uint16_t flags) override;
  bool SetFlags(int row, int column, std::uint16_t value, std::uint16_t mask) override;
  bool AutoSizeColumns(const std::vector<int>* widths) override;

  std::vector<std::string> Headings() const;
  std::vector<std::string> ColumnTexts(size_t column) const;

 private:
  bool ValidRow(int row) const { return row >= 0 && row < static_cast<int>(rows.size()); }
  void EnsureRecord(Row& row);
};
