#pragma once
// One table of the input/output state dialog: a report list whose rows the device
// model fills through myClass::TableControl (cell objects and flags), with button
// cells (a counter reset) and in-place editing of the value column. It reports a
// pressed button, the start of an edit and its end, and lets the dialog colour a
// row and fit its height to the rows.
#include <QTableWidget>
#include <cstdint>
#include <vector>

#include "devices/TableControl.h"
#include "model/TreeRows.h"

namespace Dialogs {

class StateTable : public QTableWidget, public myClass::TableControl {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 20;

  explicit StateTable(QWidget* parent);

  // myClass::TableControl.
  void SetExtendedStyle(unsigned style) override;
  int GetClientWidth() override;
  int InsertColumn(int column, const std::string& heading, int format, int width) override;
  int InsertItem(int row, const std::string& text) override;
  bool SetItemText(int row, int column, const std::string& text) override;
  bool SetCell(int row, int column, CObject* object, std::uint16_t flags) override;
  bool SetFlags(int row, int column, std::uint16_t value, std::uint16_t mask) override;
  bool AutoSizeColumns(const std::vector<int>* widths) override;

  // The object of a row's first cell, or null.
  CObject* RowObject(int row) const;
  void SetRowColour(int row, model::ColorRef colour);
  model::ColorRef RowColour(int row) const;
  // The height that shows every row (and the header).
  void FitHeightToRows();

 signals:
  void buttonCell(int row);
  void beginEdit(int row);
  void endEdit(int row, const QString& text);

 private:
  struct Cell {
    CObject* object = nullptr;
    std::uint16_t flags = 0;
  };
  bool Valid(int row, int column) const;
  void ApplyFlags(int row, int column);
  std::vector<std::vector<Cell>> cells_;
  std::vector<model::ColorRef> colours_;
};

}  // namespace Dialogs
