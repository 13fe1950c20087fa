#include "controls/CTableCtrl.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>

#include "controls/ListEditorPopup.h"
#include "controls/core/TableRules.h"
#include "model/Parameter.h"

namespace myClass {
namespace {

constexpr int kTipWidth = 250;
constexpr int kTipShowMs = 15000;

QColor FromColorRef(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

QString Q(const std::string& s) { return QString::fromStdString(s); }

QFont TableFont() {
  QFont font(QStringLiteral("MS Shell Dlg"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(12);
  font.setWeight(QFont::Normal);
  return font;
}

// Draws every cell through the table, which knows the flags.
class CellDelegate : public QStyledItemDelegate {
 public:
  explicit CellDelegate(CTableCtrl* table) : QStyledItemDelegate(table), table_(table) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    table_->PaintCell(painter, option.rect, index.row(), index.column());
  }

 private:
  CTableCtrl* table_;
};

}  // namespace

// ---------------------------------------------------------------- CmyEdit

CmyEdit::CmyEdit(QWidget* parent) : QLineEdit(parent) { setAlignment(Qt::AlignCenter); }

CmyEdit::~CmyEdit() { delete tip_; }

bool CmyEdit::Create(const QRect& rect, QWidget* owner, int id, const Parameter* parameter, bool showRangeTip) {
  owner_ = owner;
  setObjectName(QStringLiteral("edit%1").arg(id));
  setGeometry(rect);
  commit = true;
  tipOver_ = false;
  if (showRangeTip && parameter != nullptr) {
    tipTitle_ = Q(table::RangeTipTitle(*parameter));
    tipText_ = Q(table::RangeTipText(*parameter));
    tip_ = new QLabel(QStringLiteral("<b>%1</b><br>%2").arg(tipTitle_.toHtmlEscaped(), tipText_.toHtmlEscaped()),
                      nullptr, Qt::ToolTip);
    tip_->setWordWrap(true);
    tip_->setMaximumWidth(kTipWidth);
    tip_->setStyleSheet(QStringLiteral("QLabel { background: #ffffe1; border: 1px solid #767676; padding: 4px; }"));
    QTimer::singleShot(kTipShowMs, tip_, [this] {
      tipOver_ = true;
      tip_->hide();
    });
  }
  show();
  PlaceTip();
  return true;
}

void CmyEdit::Close() {
  delete tip_;
  tip_ = nullptr;
  hide();
}

void CmyEdit::PlaceTip() {
  if (!tip_ || !isVisible()) return;
  // Once its time is up, or while the box is scrolled out of sight, it is not shown.
  const QWidget* parent = parentWidget();
  if (tipOver_ || (parent != nullptr && !parent->rect().intersects(geometry()))) {
    tip_->hide();
    return;
  }
  tip_->adjustSize();
  tip_->move(mapToGlobal(QPoint(0, height())));
  tip_->show();
}

void CmyEdit::moveEvent(QMoveEvent* event) {
  QLineEdit::moveEvent(event);
  PlaceTip();
}

void CmyEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
    if (event->key() == Qt::Key_Escape) commit = false;
    QWidget* target = owner_ ? owner_ : parentWidget();
    if (target) target->setFocus(Qt::OtherFocusReason);
    // Some platforms give no focus to the table (offscreen, no active window):
    // the editing ends all the same.
    if (hasFocus()) emit focusLost();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void CmyEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // As the list's: the box's own menu, the menu bar and another window becoming
  // active for a while (Alt+Tab, a message box) confirm nothing; the focus comes back.
  if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::MenuBarFocusReason ||
      event->reason() == Qt::ActiveWindowFocusReason)
    return;
  emit focusLost();
}

// ---------------------------------------------------------------- CmyComboBox

CmyComboBox::CmyComboBox(QWidget* parent) : QComboBox(parent) {
  // Escape in the open list closes it and then the editing, without a change.
  controls::OnListEscape(*this, [this] { emit cancelled(); });
  // A choice in the open list is confirmed; a key that only moves the shown item is not.
  connect(this, &QComboBox::activated, this, [this](int item) {
    if (!moving_) emit chosen(item);
  });
}

bool CmyComboBox::event(QEvent* event) {
  // Tab ends the editing with the shown item; the focus then goes back to the table.
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
      event->accept();
      if (currentIndex() >= 0)
        emit chosen(currentIndex());
      else
        emit cancelled();
      return true;
    }
  }
  return QComboBox::event(event);
}

void CmyComboBox::keyPressEvent(QKeyEvent* event) {
  // Escape ends the editing on its release; it must not reach the dialog and close it.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  // Enter takes the shown item; it must not reach the table (which would open the
  // editor again) or the dialog's default button.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    if (currentIndex() >= 0) emit chosen(currentIndex());
    return;
  }
  moving_ = true;
  QComboBox::keyPressEvent(event);
  moving_ = false;
}

void CmyComboBox::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    emit cancelled();
    return;
  }
  QComboBox::keyReleaseEvent(event);
}

void CmyComboBox::focusOutEvent(QFocusEvent* event) {
  QComboBox::focusOutEvent(event);
  // Opening the drop-down, and the drop-down taking the focus, are not the end; nor
  // is another window becoming active for a while (the focus comes back).
  if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason ||
      controls::FocusInOwnList(*this))
    return;
  emit left(currentIndex());
}

void CmyComboBox::wheelEvent(QWheelEvent* event) {
  // The wheel over the closed list picks nothing (each notch would be a choice).
  event->accept();
}

// ---------------------------------------------------------------- CTableCtrl

CTableCtrl::CTableCtrl(QWidget* parent) : QTableView(parent), model_(new QStandardItemModel(this)) {
  setModel(model_);
  setItemDelegate(new CellDelegate(this));
  setFont(TableFont());
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setShowGrid(false);
  setWordWrap(false);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setStretchLastSection(false);
  // Scrolling confirms nothing: the edit box stays open over its cell with its text
  // (see scrollContentsBy); the list closes without a change.
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
    if (list_) CancelList();
  });
  // The bars take no focus, so a click on them leaves an open editor editing.
  verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
  horizontalScrollBar()->setFocusPolicy(Qt::NoFocus);
}

CTableCtrl::~CTableCtrl() {
  // The editors must not report to a table that is going.
  if (edit_) edit_->disconnect(this);
  if (list_) list_->disconnect(this);
}

void CTableCtrl::SetExtendedStyle(unsigned style) {
  setSelectionBehavior((style & kStyleFullRowSelect) ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

int CTableCtrl::GetClientWidth() {
  // Also right after construction, before the first layout sized the viewport.
  return contentsRect().width() - (verticalScrollBar()->isVisible() ? verticalScrollBar()->width() : 0);
}

int CTableCtrl::GetColumnCount() const { return model_->columnCount(); }

int CTableCtrl::GetItemCount() const { return model_->rowCount(); }

int CTableCtrl::InsertColumn(int column, const std::string& heading, int format, int width) {
  const int at = std::clamp(column, 0, GetColumnCount());
  if (!model_->insertColumn(at)) return -1;
  model_->setHeaderData(at, Qt::Horizontal, Q(heading), Qt::DisplayRole);
  model_->setHeaderData(at, Qt::Horizontal,
                        QVariant::fromValue(format == kColumnCentre ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter),
                        Qt::TextAlignmentRole);
  widths_.insert(widths_.begin() + at, width);
  setColumnWidth(at, width);
  return at;
}

int CTableCtrl::InsertItem(int row, const std::string& text) {
  if (row < 0) return -1;
  if (GetColumnCount() == 0) InsertColumn(0, std::string(), kColumnLeft, 100);
  const int at = std::min(row, GetItemCount());
  if (!model_->insertRow(at)) return -1;
  cells_.InsertRow(at);
  model_->setData(model_->index(at, 0), Q(text));
  return at;
}

bool CTableCtrl::SetItemText(int row, int column, const ValueText& text) {
  if (row < 0 || row >= GetItemCount() || column < 0 || column >= GetColumnCount()) return false;
  const QModelIndex index = model_->index(row, column);
  return model_->setData(index, Q(text)) && model_->setData(index, text.HasNoData(), kNoDataRole);
}

std::string CTableCtrl::GetItemText(int row, int column) const {
  if (row < 0 || row >= GetItemCount() || column < 0 || column >= GetColumnCount()) return {};
  return model_->index(row, column).data().toString().toStdString();
}

bool CTableCtrl::SetCell(int row, int column, CObject* object, std::uint16_t flags) {
  const bool done = cells_.SetCell(row, column, GetColumnCount(), object, flags);
  if (done) UpdateRow(row);
  return done;
}

CObject* CTableCtrl::GetCell(int row, int column) const { return cells_.GetCell(row, column); }

void CTableCtrl::GetRowCells(int row, std::vector<CObject*>& cells) const { cells = cells_.GetRowCells(row); }

std::uint16_t CTableCtrl::GetFlags(int row, int column) const {
  if (GetItemCount() == 0) return 0;
  return cells_.GetFlags(row, column);
}

bool CTableCtrl::SetFlags(int row, int column, std::uint16_t value, std::uint16_t mask) {
  if (!cells_.HasRecord(row)) return false;
  if (cells_.SetFlags(row, column, GetColumnCount(), value, mask)) UpdateRow(row);
  return true;
}

void CTableCtrl::SetRowColor(int row, std::uint32_t colour) {
  if (cells_.SetRowColor(row, colour)) UpdateRow(row);
}

bool CTableCtrl::DeleteItem(int row) {
  if (row < 0 || row >= GetItemCount()) return false;
  if (row == editRow_) DropEditors();
  model_->removeRow(row);
  cells_.RemoveRow(row);
  if (focusRow_ >= GetItemCount()) focusRow_ = -1;
  return true;
}

void CTableCtrl::DeleteAllItems() {
  DropEditors();
  model_->removeRows(0, GetItemCount());
  cells_.Clear();
  focusRow_ = -1;
}

int CTableCtrl::GetSelectedRow() const {
  if (!selectionModel()) return -1;
  const QModelIndexList rows = selectionModel()->selectedRows();
  int first = -1;
  for (const QModelIndex& i : rows)
    if (first < 0 || i.row() < first) first = i.row();
  return first;
}

int CTableCtrl::GetFocusRow() const { return currentIndex().isValid() ? currentIndex().row() : -1; }

void CTableCtrl::SetRowHeight(int pixels) { verticalHeader()->setDefaultSectionSize(pixels); }

void CTableCtrl::FitHeightToRows() {
  const int rowHeight = GetItemCount() > 0 ? this->rowHeight(0) : verticalHeader()->defaultSectionSize();
  const int headerHeight = horizontalHeader()->sizeHint().height();
  resize(width(), table::FitHeight(GetItemCount(), rowHeight, headerHeight));
}

bool CTableCtrl::AutoSizeColumns(const std::vector<int>* widths) {
  if (widths) {
    widths_.assign(GetColumnCount(), 0);
    for (size_t i = 0; i < widths_.size() && i < widths->size(); ++i) widths_[i] = (*widths)[i];
  }
  const int rowHeight = verticalHeader()->defaultSectionSize();
  const bool allFit = GetItemCount() * rowHeight <= viewport()->height();
  const std::vector<int> sized =
      table::ColumnWidths(widths_, allFit, style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this));
  // The designed widths are the least a column gets: a caption is never cut.
  for (size_t i = 0; i < sized.size(); ++i)
    setColumnWidth(static_cast<int>(i), std::max(sized[i], ContentWidth(static_cast<int>(i))));
  return !allFit;
}

int CTableCtrl::ContentWidth(int column) const {
  if (column < 0 || column >= GetColumnCount()) return 0;
  const QFontMetrics metrics(font());
  const QFontMetrics headerMetrics(horizontalHeader()->font());
  const int headerMargin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, horizontalHeader());
  int width = headerMetrics.horizontalAdvance(model_->headerData(column, Qt::Horizontal).toString()) +
              2 * headerMargin + 2;
  for (int row = 0; row < GetItemCount(); ++row) {
    // The text starts 3 pixels in; a few more keep it off the grid line (and a
    // button's text off its frame).
    const int pad = (GetFlags(row, column) & kCellButton) ? 14 : 10;
    width = std::max(width, metrics.horizontalAdvance(model_->index(row, column).data().toString()) + pad);
  }
  return width;
}

void CTableCtrl::FitWidthToColumns() {
  int width = 2 * frameWidth();
  for (int i = 0; i < GetColumnCount(); ++i) width += columnWidth(i);
  const int rowHeight = GetItemCount() > 0 ? this->rowHeight(0) : verticalHeader()->defaultSectionSize();
  const int rowsHeight = height() - 2 * frameWidth() - horizontalHeader()->sizeHint().height();
  if (GetItemCount() * rowHeight > rowsHeight) width += style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  resize(width, height());
}

bool CTableCtrl::viewportEvent(QEvent* event) {
  // A cell too narrow for its text shows the whole text as its tip.
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString text = index.isValid() ? index.data().toString() : QString();
    if (!text.isEmpty() && QFontMetrics(font()).horizontalAdvance(text) > visualRect(index).width() - 6) {
      QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
    } else {
      QToolTip::hideText();
      event->ignore();
    }
    return true;
  }
  return QTableView::viewportEvent(event);
}

void CTableCtrl::UpdateRow(int row) {
  if (row < 0 || row >= GetItemCount()) return;
  const QRect rect = visualRect(model_->index(row, 0));
  viewport()->update(QRect(0, rect.top(), viewport()->width(), rect.height()));
}

bool CTableCtrl::RowDisabled(int row) const { return (GetFlags(row, -1) & kCellDisabled) != 0; }

int CTableCtrl::AllowedRow(int requested) const {
  return table::NextFocusRow(GetItemCount(), focusRow_, requested, [this](int row) { return RowDisabled(row); });
}

// ---------------------------------------------------------------- focus and mouse

QModelIndex CTableCtrl::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  const QModelIndex next = QTableView::moveCursor(action, modifiers);
  if (!next.isValid() || !RowDisabled(next.row())) return next;
  const int row = AllowedRow(next.row());
  // A refused move keeps the focus where it was.
  if (row < 0) return currentIndex();
  return model_->index(row, next.column());
}

void CTableCtrl::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  if (current.isValid() && !RowDisabled(current.row())) focusRow_ = current.row();
  QTableView::currentChanged(current, previous);
  if (previous.isValid()) UpdateRow(previous.row());
  if (current.isValid()) UpdateRow(current.row());
}

void CTableCtrl::mousePressEvent(QMouseEvent* event) {
  const QModelIndex hit = indexAt(event->position().toPoint());
  if (hit.isValid()) {
    pressedRow_ = hit.row();
    pressedColumn_ = hit.column();
    UpdateRow(hit.row());
    if (RowDisabled(hit.row())) {
      // The disabled row does not take the focus; it goes on to an allowed one.
      const int row = AllowedRow(hit.row());
      if (row >= 0 && row != GetFocusRow())
        setCurrentIndex(model_->index(row, hit.column()));
      setFocus(Qt::MouseFocusReason);
      return;
    }
  }
  QTableView::mousePressEvent(event);
}

void CTableCtrl::mouseReleaseEvent(QMouseEvent* event) {
  QTableView::mouseReleaseEvent(event);
  if (pressedRow_ < 0) return;
  const int row = pressedRow_, column = pressedColumn_;
  pressedRow_ = pressedColumn_ = -1;
  UpdateRow(row);
  const std::uint16_t flags = GetFlags(row, column);
  if ((flags & kCellButton) && !(flags & kCellDisabled)) OnButtonCell(row, column);
}

void CTableCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click presses no button: a double click on a
  // button cell acts once, as its first click.
  const QModelIndex hit = indexAt(event->position().toPoint());
  QTableView::mouseDoubleClickEvent(event);
  if (hit.isValid() && !RowDisabled(hit.row())) BeginEdit(hit.row(), hit.column());
}

void CTableCtrl::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
    const int row = currentIndex().row(), focused = currentIndex().column();
    BeginEdit(row, focused);
    // The arrows select whole rows: a cell that is not edited leaves Enter to the
    // row's first cell that is.
    for (int column = 0; column < GetColumnCount() && !edit_ && !list_; ++column)
      if (column != focused) BeginEdit(row, column);
    // A row that opens no editor leaves Enter to the dialog (its default button).
    if (edit_ || list_) return;
  }
  QTableView::keyPressEvent(event);
}

void CTableCtrl::focusInEvent(QFocusEvent* event) {
  // Taking the focus picks no row by itself: a row that looks focused but is not
  // selected would invite an OK that then asks for a selection.
  const bool hadRow = currentIndex().isValid();
  QTableView::focusInEvent(event);
  if (!hadRow && currentIndex().isValid() && event->reason() != Qt::MouseFocusReason)
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

void CTableCtrl::scrollContentsBy(int dx, int dy) {
  QTableView::scrollContentsBy(dx, dy);
  // The open editor goes along with its cell (a long scroll only repaints the
  // rows, so it is placed again rather than moved with them).
  const QRect cell = visualRect(model_->index(editRow_, editColumn_));
  if (edit_) edit_->move(cell.topLeft());
  if (list_) list_->move(cell.left(), cell.top() - 2);
}

void CTableCtrl::wheelEvent(QWheelEvent* event) {
  if (edit_) {
    event->accept();
    return;
  }
  QTableView::wheelEvent(event);
}

// ---------------------------------------------------------------- editing

void CTableCtrl::BeginEdit(int row, int column) {
  if (row < 0 || row >= GetItemCount() || column < 0 || column >= GetColumnCount()) return;
  if (GetFlags(row, -1) & kCellRowReadOnly) return;
  editRow_ = row;
  editColumn_ = column;
  if (!table::CanBeginEdit(0, GetFlags(row, column))) return;

  std::vector<CObject*> objects;
  GetRowCells(row, objects);
  auto* parameter = column < static_cast<int>(objects.size()) ? dynamic_cast<Parameter*>(objects[column]) : nullptr;
  // Without a parameter there is no type to choose an editor by.
  if (parameter == nullptr) return;

  const QModelIndex index = model_->index(row, column);
  scrollTo(index);
  const QRect rect = visualRect(index);
  editCellNoData_ = index.data(kNoDataRole).toBool();
  const QString text = Q(table::EditorTextOf(GetItemText(row, column), editCellNoData_));

  DropEditors();
  if (table::EditorForType(parameter->type) == table::EditorKind::Edit) {
    auto* edit = new CmyEdit(viewport());
    edit_ = edit;
    edit->Create(rect, this, kEditId, parameter, !(GetFlags(row, column) & kCellNoRangeTip));
    edit->setFont(font());
    edit->setText(text);
    edit->selectAll();
    edit->setFocus(Qt::OtherFocusReason);
    connect(edit, &CmyEdit::focusLost, this, &CTableCtrl::EndEditBox);
    KeepFocusOnBars(edit);
  } else {
    auto* list = new CmyComboBox(viewport());
    list_ = list;
    list->setObjectName(QStringLiteral("list%1").arg(kListId));
    list->setGeometry(rect.adjusted(0, -2, 0, 0));
    list->setFont(font());
    for (const std::string& item : table::ListItemsOfType(parameter->type)) list->addItem(Q(item));
    controls::FitListWidth(*list);
    list->setCurrentIndex(list->findText(text));
    list->show();
    list->setFocus(Qt::OtherFocusReason);
    connect(list, &CmyComboBox::chosen, this, &CTableCtrl::EndList);
    connect(list, &CmyComboBox::cancelled, this, &CTableCtrl::CancelList);
    connect(list, &CmyComboBox::left, this, &CTableCtrl::LeaveList);
    KeepFocusOnBars(list);
  }
  OnBeginEdit(parameter);
  if (list_) listStart_ = list_->currentIndex();
}

void CTableCtrl::KeepFocusOnBars(QWidget* editor) {
  // A press gives the focus to the first widget up from the pressed one that takes
  // it by a click (here the table, which would end the editing), unless one on the
  // way or its proxy has it already: with the editor as the bars' proxy the focus
  // stays where it is.
  verticalScrollBar()->setFocusProxy(editor);
  horizontalScrollBar()->setFocusProxy(editor);
}

void CTableCtrl::CloseEditors() {
  KeepFocusOnBars(nullptr);
  // A focused editor that is hidden passes the focus on as a Tab would, and the
  // table takes that Tab as a move to the next row: the focus comes back first.
  if (CmyEdit* edit = edit_) {
    edit_ = nullptr;
    edit->disconnect(this);
    if (edit->hasFocus()) setFocus(Qt::OtherFocusReason);
    edit->Close();
    edit->deleteLater();
  }
  if (CmyComboBox* list = list_) {
    list_ = nullptr;
    list->disconnect(this);
    if (list->hasFocus()) setFocus(Qt::OtherFocusReason);
    list->hide();
    list->deleteLater();
  }
}

void CTableCtrl::DropEditors() {
  if (!edit_ && !list_) return;
  CloseEditors();
  OnCancelEdit();
}

void CTableCtrl::EndEditBox() {
  CmyEdit* edit = edit_;
  if (!edit || ending_) return;
  ending_ = true;
  const std::string text = edit->text().toStdString();
  const bool commit = edit->commit && table::IsEdit(editCellNoData_, text);
  CloseEditors();
  if (commit)
    OnEndEdit(text);
  else
    OnCancelEdit();
  ending_ = false;
}

void CTableCtrl::EndList(int item) {
  CmyComboBox* list = list_;
  if (!list || ending_) return;
  ending_ = true;
  const std::string text = list->itemText(item).toStdString();
  SetItemText(editRow_, editColumn_, text);
  // A click elsewhere keeps the focus where it went; the list's own ends give it
  // back to the table.
  const QWidget* focus = QApplication::focusWidget();
  const bool focusElsewhere =
      focus != nullptr && focus != list && focus != this && !controls::FocusInOwnList(*list);
  CloseEditors();
  if (!focusElsewhere) setFocus(Qt::OtherFocusReason);
  OnEndEdit(text);
  ending_ = false;
}

void CTableCtrl::CancelList() {
  if (!list_ || ending_) return;
  ending_ = true;
  CloseEditors();
  OnCancelEdit();
  ending_ = false;
}

void CTableCtrl::LeaveList(int item) {
  // A click elsewhere takes another shown item, as Enter does; an item not moved
  // is no edit.
  if (item >= 0 && item != listStart_)
    EndList(item);
  else
    CancelList();
}

void CTableCtrl::OnButtonCell(int, int) {}
void CTableCtrl::OnBeginEdit(CObject*) {}
void CTableCtrl::OnEndEdit(const std::string&) {}
void CTableCtrl::OnCancelEdit() {}
int CTableCtrl::SetCellText(int, int, const std::string&) { return 0; }

// ---------------------------------------------------------------- drawing

void CTableCtrl::PaintCell(QPainter* painter, const QRect& rect, int row, int column) const {
  painter->save();
  painter->fillRect(rect, Qt::white);
  painter->setFont(font());
  const std::uint16_t flags = GetFlags(row, column);
  const bool rowFocused = row == GetFocusRow();
  const bool rowDisabled = RowDisabled(row);
  const table::CellLook look = table::LookOfCell(flags, cells_.RowColor(row), rowFocused);
  if (look.focusFill) painter->fillRect(rect, FromColorRef(table::kFocusFill));
  const QString text = model_->index(row, column).data().toString();
  if (look.button) {
    DrawButtonCell(painter, rect, row, column, text);
  } else {
    painter->setPen(FromColorRef(look.text));
    const QRect textRect = rect.adjusted(3, 0, 0, 0);
    if (column == 0 && !centredFirstColumn_) {
      painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                        painter->fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
    } else {
      // A text wider than its cell keeps both ends (a device path's start and
      // its port), with dots in the middle; its tip shows it whole.
      painter->drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine,
                        painter->fontMetrics().elidedText(text, Qt::ElideMiddle, textRect.width() - 3));
    }
  }
  painter->setPen(QPen(FromColorRef(table::kGridLine), 1));
  painter->drawLine(rect.right(), rect.top(), rect.right(), rect.bottom());
  painter->drawLine(rect.left(), rect.top(), rect.right(), rect.top());
  painter->drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
  if (rowFocused && !rowDisabled) {
    painter->setPen(QPen(FromColorRef(table::kFocusFrame), 1));
    painter->drawLine(rect.left(), rect.top(), rect.right(), rect.top());
    painter->drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
    if (column == 0) painter->drawLine(rect.left(), rect.top(), rect.left(), rect.bottom());
    if (column == GetColumnCount() - 1) painter->drawLine(rect.right(), rect.top(), rect.right(), rect.bottom());
  }
  painter->restore();
}

void CTableCtrl::DrawButtonCell(QPainter* painter, const QRect& rect, int row, int column, const QString& text) const {
  QStyleOptionButton option;
  option.rect = rect.adjusted(1, 1, -1, -1);
  option.features = QStyleOptionButton::Flat;
  const bool pressed = row == pressedRow_ && column == pressedColumn_;
  option.state = QStyle::State_Enabled | (pressed ? QStyle::State_Sunken : QStyle::State_Raised);
  style()->drawControl(QStyle::CE_PushButtonBevel, &option, painter, this);
  painter->setPen(FromColorRef(table::kButtonText));
  const QRect textRect = pressed ? option.rect.translated(1, 1) : option.rect;
  painter->drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, text);
}

}  // namespace myClass
