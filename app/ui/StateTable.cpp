#include "app/ui/StateTable.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>

namespace Dialogs {
namespace {

QColor Colour(model::ColorRef c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// Tells the table when an edit starts and hands the typed text to it instead of
// storing it: the dialog writes the value and shows what the module took.
class EditDelegate : public QStyledItemDelegate {
 public:
  explicit EditDelegate(StateTable* table) : QStyledItemDelegate(table), table_(table) {}
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    emit table_->beginEdit(index.row());
    return QStyledItemDelegate::createEditor(parent, option, index);
  }
  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    emit table_->endEdit(index.row(), line ? line->text() : QString());
  }

 private:
  StateTable* table_;
};

}  // namespace

StateTable::StateTable(QWidget* parent) : QTableWidget(parent) {
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(kRowHeight);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  setItemDelegate(new EditDelegate(this));
}

void StateTable::SetExtendedStyle(unsigned style) {
  setSelectionBehavior(style & kStyleFullRowSelect ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

int StateTable::GetClientWidth() { return viewport()->width() > 0 ? viewport()->width() : width(); }

int StateTable::InsertColumn(int column, const std::string& heading, int format, int width) {
  if (column < 0) return -1;
  column = std::min(column, columnCount());
  insertColumn(column);
  auto* header = new QTableWidgetItem(QString::fromStdString(heading));
  header->setTextAlignment(format == kColumnCentre ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
  setHorizontalHeaderItem(column, header);
  setColumnWidth(column, width);
  for (auto& row : cells_) row.insert(row.begin() + column, Cell{});
  return column;
}

int StateTable::InsertItem(int row, const std::string& text) {
  if (row < 0) return -1;
  row = std::min(row, rowCount());
  insertRow(row);
  cells_.insert(cells_.begin() + row, std::vector<Cell>(static_cast<size_t>(columnCount())));
  colours_.insert(colours_.begin() + row, model::kBlack);
  for (int c = 0; c < columnCount(); ++c) {
    auto* item = new QTableWidgetItem;
    item->setTextAlignment(Qt::AlignCenter);
    setItem(row, c, item);
  }
  SetItemText(row, 0, text);
  return row;
}

bool StateTable::Valid(int row, int column) const {
  return row >= 0 && row < rowCount() && column >= 0 && column < columnCount();
}

bool StateTable::SetItemText(int row, int column, const std::string& text) {
  if (!Valid(row, column)) return false;
  item(row, column)->setText(QString::fromStdString(text));
  if (auto* button = qobject_cast<QPushButton*>(cellWidget(row, column))) button->setText(item(row, column)->text());
  return true;
}

bool StateTable::SetCell(int row, int column, CObject* object, std::uint16_t flags) {
  if (row < 0 || row >= rowCount() || column >= columnCount()) return false;
  const int first = column < 0 ? 0 : column;
  const int last = column < 0 ? columnCount() - 1 : column;
  for (int c = first; c <= last; ++c) {
    cells_[static_cast<size_t>(row)][static_cast<size_t>(c)] = Cell{object, flags};
    ApplyFlags(row, c);
  }
  return true;
}

bool StateTable::SetFlags(int row, int column, std::uint16_t value, std::uint16_t mask) {
  if (row < 0 || row >= rowCount() || column >= columnCount()) return false;
  const int first = column < 0 ? 0 : column;
  const int last = column < 0 ? columnCount() - 1 : column;
  for (int c = first; c <= last; ++c) {
    Cell& cell = cells_[static_cast<size_t>(row)][static_cast<size_t>(c)];
    cell.flags = static_cast<std::uint16_t>((cell.flags & ~mask) | (value & mask));
    ApplyFlags(row, c);
  }
  return true;
}

void StateTable::ApplyFlags(int row, int column) {
  const Cell& cell = cells_[static_cast<size_t>(row)][static_cast<size_t>(column)];
  QTableWidgetItem* it = item(row, column);
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  const bool readOnly = cell.flags & (kCellNotEdited | kCellRowReadOnly | kCellDisabled | kCellButton);
  if (!readOnly) f |= Qt::ItemIsEditable;
  it->setFlags(f);
  if ((cell.flags & kCellButton) && !cellWidget(row, column)) {
    auto* button = new QPushButton(it->text(), this);
    connect(button, &QPushButton::clicked, this, [this, button] {
      // The row the button sits in now (rows may have been inserted above).
      for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c)
          if (cellWidget(r, c) == button) return emit buttonCell(r);
    });
    setCellWidget(row, column, button);
  } else if (!(cell.flags & kCellButton) && cellWidget(row, column)) {
    removeCellWidget(row, column);
  }
}

bool StateTable::AutoSizeColumns(const std::vector<int>* widths) {
  if (widths)
    for (size_t c = 0; c < widths->size() && static_cast<int>(c) < columnCount(); ++c)
      setColumnWidth(static_cast<int>(c), (*widths)[c]);
  const int visibleRows = (viewport()->height() > 0 ? viewport()->height() : height()) / kRowHeight;
  return rowCount() > visibleRows;
}

CObject* StateTable::RowObject(int row) const {
  if (row < 0 || row >= static_cast<int>(cells_.size()) || cells_[static_cast<size_t>(row)].empty()) return nullptr;
  return cells_[static_cast<size_t>(row)][0].object;
}

void StateTable::SetRowColour(int row, model::ColorRef colour) {
  if (row < 0 || row >= rowCount()) return;
  colours_[static_cast<size_t>(row)] = colour;
  for (int c = 0; c < columnCount(); ++c) item(row, c)->setForeground(Colour(colour));
}

model::ColorRef StateTable::RowColour(int row) const {
  return row >= 0 && row < static_cast<int>(colours_.size()) ? colours_[static_cast<size_t>(row)] : model::kBlack;
}

void StateTable::FitHeightToRows() {
  const int header = horizontalHeader()->isVisible() ? horizontalHeader()->sizeHint().height() : 0;
  setFixedHeight(header + rowCount() * kRowHeight + 2 * frameWidth());
}

}  // namespace Dialogs
