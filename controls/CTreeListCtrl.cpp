#include "controls/CTreeListCtrl.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <functional>

#include "controls/CTreeListEditors.h"
#include "controls/CTreeListHeaderCtrl.h"
#include "controls/ListEditorPopup.h"
#include "controls/core/TreeListRules.h"
#include "model/Parameter.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"

namespace TreeList {

namespace {
constexpr int kImageWidth = 16;
constexpr int kRowImageHeight = 17;

Qt::BrushStyle HatchStyle(int windowsHatch) {
  switch (windowsHatch) {
    case 0: return Qt::HorPattern;
    case 1: return Qt::VerPattern;
    case 2: return Qt::FDiagPattern;
    case 3: return Qt::BDiagPattern;
    case 4: return Qt::CrossPattern;
    default: return Qt::DiagCrossPattern;
  }
}
}  // namespace

QColor ToQColor(model::ColorRef c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// A native row: its handle, record, images and state image.
class RowItem : public QTreeWidgetItem {
 public:
  RowItem(model::TreeItem handle, int image, int selectedImage)
      : handle(handle), image(image), selectedImage(selectedImage) {}
  // The tree's sort asks "less" in both directions (a descending sort with the
  // rows swapped), so the rule that a heading row stays first needs the direction.
  bool operator<(const QTreeWidgetItem& other) const override {
    const auto& that = static_cast<const RowItem&>(other);
    const auto* tree = static_cast<const CTreeListCtrl*>(treeWidget());
    const bool ascending = tree ? tree->sortAscending_ : true;
    if (heading != that.heading) return ascending ? heading : that.heading;
    return CompareItems(&record, &that.record, tree ? tree->sortColumn_ : 0, true) < 0;
  }
  model::TreeItem handle;
  CTLItem record;
  int image;
  int selectedImage;
  int stateImage = 0;
  bool heading = false;  // inserted as its parent's first row: it stays first
};

namespace {

// Paints every cell from the row's record: colours, bold rows, alignment, shortened
// texts, grid lines, and in column 0 the state image and the row image.
class RowDelegate : public QStyledItemDelegate {
 public:
  explicit RowDelegate(CTreeListCtrl* tree) : QStyledItemDelegate(tree), tree_(tree) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    return QSize(option.rect.width(), std::max(kRowImageHeight, option.fontMetrics.height() + 2));
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const RowItem* item = tree_->RowOf(index);
    if (!item) return;
    const CTLItem& record = item->record;
    const int column = index.column();
    const QRect cell = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();

    // A selected row is one band across the row: the image slots of column 0 are
    // filled too, and the images drawn over the band.
    if (selected) painter->fillRect(cell, option.palette.highlight());
    int labelLeft = cell.left();
    if (column == 0) {
      if (const ImageList* states = tree_->StateImages()) {
        if (item->stateImage > 0 && item->stateImage < states->size())
          painter->drawPixmap(labelLeft, cell.top() + (cell.height() - (*states)[item->stateImage].height()) / 2,
                              (*states)[item->stateImage]);
        labelLeft += kImageWidth;
      }
      if (const ImageList* images = tree_->Images()) {
        const int n = selected ? item->selectedImage : item->image;
        if (n >= 0 && n < images->size())
          painter->drawPixmap(labelLeft, cell.top() + (cell.height() - (*images)[n].height()) / 2, (*images)[n]);
        labelLeft += kImageWidth;
      }
    }
    const QRect fill = cell;

    QColor textColour;
    switch (RowTextColour(selected, record.disabled, record.colour)) {
      case TextColour::Highlight:
        textColour = option.palette.highlightedText().color();
        break;
      case TextColour::Grey: textColour = option.palette.color(QPalette::Disabled, QPalette::Text); break;
      case TextColour::Own: textColour = ToQColor(record.colour); break;
    }
    if (tree_->GetGridLines() && cell.top() > 1) {
      const int from = column == 0 ? cell.left() - tree_->header()->sectionViewportPosition(0) : 0;
      painter->fillRect(QRect(cell.left() - from, cell.top(), cell.width() + from, 1),
                        QBrush(ToQColor(tree_->GetGridColour()), HatchStyle(tree_->GridStyle())));
    }

    QFont font = option.font;
    if (record.bold) font.setBold(true);
    painter->setFont(font);
    painter->setPen(textColour);
    QRect textRect;
    if (column == 0) {
      const int right = tree_->header()->sectionViewportPosition(0) + tree_->GetColumnWidth(0) - 4;
      textRect = QRect(labelLeft + 2, cell.top(), right - labelLeft - 2, cell.height());
    } else {
      textRect = QRect(cell.left(), cell.top(), cell.width() - 4, cell.height());
    }
    const QFontMetrics metrics(font);
    const std::string& text = record.GetText(column);
    QString shown = QString::fromStdString(text);
    // Most texts fit: they are measured once and drawn as they are.
    if (!text.empty() && textRect.width() > 8 && metrics.horizontalAdvance(shown) > textRect.width() - 8)
      shown = QString::fromStdString(ElideCellText(text, textRect.width(), [&](const std::string& s) {
        return metrics.horizontalAdvance(QString::fromStdString(s));
      }));
    if (!shown.isEmpty() && textRect.width() > 8) {
      const int alignment = tree_->GetColumnAlignment(column);
      const Qt::Alignment h = alignment == 1 ? Qt::AlignRight : alignment == 2 ? Qt::AlignHCenter : Qt::AlignLeft;
      painter->drawText(textRect, static_cast<int>(h | Qt::AlignVCenter | Qt::TextSingleLine), shown);
    }
    if (selected) {  // the focus frame along the band (the indent before it is the view's)
      painter->setPen(QPen(textColour, 1, Qt::DotLine));
      painter->drawLine(fill.left(), fill.top(), fill.right(), fill.top());
      painter->drawLine(fill.left(), fill.bottom(), fill.right(), fill.bottom());
      if (column == tree_->GetColumnCount() - 1) painter->drawLine(fill.right(), fill.top(), fill.right(), fill.bottom());
    }
    if (!selected && tree_->GetGridLines())
      painter->fillRect(QRect(cell.right(), cell.top(), 1, cell.height()),
                        QBrush(ToQColor(tree_->GetGridColour()), Qt::CrossPattern));
    painter->restore();
  }

 private:
  CTreeListCtrl* tree_;
};

}  // namespace

CTreeListCtrl::CTreeListCtrl(QWidget* parent) : QTreeWidget(parent), header_(new CTreeListHeaderCtrl(this)) {
  setHeader(header_);
  // The tree view makes the header it is given unclickable (sorting is not its own
  // here): a click on a caption sorts through the host view.
  header_->setSectionsClickable(true);
  header_->SetTree(this);
  setColumnCount(0);
  setItemDelegate(new RowDelegate(this));
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setUniformRowHeights(true);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // A click on the scroll bar scrolls; it does not take the focus from an open editor
  // (which would end the editing).
  verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
  verticalScrollBar()->installEventFilter(this);
  setRootIsDecorated(true);
  setExpandsOnDoubleClick(false);  // the double click is handled here
  setSelectionMode(QAbstractItemView::SingleSelection);
  QPalette p = palette();
  p.setColor(QPalette::Base, Qt::white);
  p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
  p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
  setPalette(p);
  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
    if (!expandingFromProgram_) OnItemExpanding(static_cast<RowItem*>(item)->handle);
  });
}

CTreeListCtrl::~CTreeListCtrl() {
  // Editors open at the end are discarded: nothing is stored into rows that go.
  CloseEditors();
}

int CTreeListCtrl::InsertColumn(int index, const QString& text, int alignment, int width) {
  index = std::clamp(index, 0, columnCount_);
  QStringList labels;
  for (int i = 0; i < columnCount_; ++i) labels << headerItem()->text(i);
  labels.insert(index, text);
  alignments_.insert(alignments_.begin() + index, alignment);
  ++columnCount_;
  setColumnCount(columnCount_);
  setHeaderLabels(labels);
  for (int i = 0; i < columnCount_; ++i) {
    const int a = alignments_[static_cast<size_t>(i)];
    headerItem()->setTextAlignment(
        i, (a == 1 ? Qt::AlignRight : a == 2 ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
  }
  if (width != -1) header_->resizeSection(index, width);
  header_->InsertedColumn(index);
  if (columnCount_ == 1) header_->SetSortMark(0, kMarkAscending);
  RecalcTotalWidth();
  return index;
}

int CTreeListCtrl::GetColumnWidth(int i) const { return i >= 0 && i < columnCount_ ? header_->sectionSize(i) : 0; }

int CTreeListCtrl::GetColumnAlignment(int i) const {
  return i >= 0 && i < columnCount_ ? alignments_[static_cast<size_t>(i)] : 0;
}

void CTreeListCtrl::RecalcTotalWidth() {
  totalWidth_ = 0;
  for (int i = 0; i < columnCount_; ++i) totalWidth_ += GetColumnWidth(i);
}

RowItem* CTreeListCtrl::Row(model::TreeItem row) const {
  auto it = rows_.find(row);
  return it == rows_.end() ? nullptr : it->second;
}

RowItem* CTreeListCtrl::RowOf(const QModelIndex& index) const { return static_cast<RowItem*>(itemFromIndex(index)); }

const CTLItem* CTreeListCtrl::Record(model::TreeItem row) const {
  const RowItem* item = Row(row);
  return item ? &item->record : nullptr;
}

model::TreeItem CTreeListCtrl::Insert(CObject* object, const std::string& text, int image, int selectedImage,
                                      bool editByText, bool editByList, model::TreeItem parent, bool first) {
  QTreeWidgetItem* parentItem = invisibleRootItem();
  if (parent != model::kNoItem) {
    parentItem = Row(parent);
    if (!parentItem) return model::kNoItem;
  }
  auto* item = new RowItem(nextHandle_++, image, selectedImage);
  item->record.SetText(0, text);
  if (editByList)
    item->record.SetEditByList(true);
  else if (editByText)
    item->record.SetEditByText(true);
  item->record.object = object;
  item->heading = first;
  if (first)
    parentItem->insertChild(0, item);
  else
    parentItem->addChild(item);
  rows_[item->handle] = item;
  ++rowCount_;
  return item->handle;
}

model::TreeItem CTreeListCtrl::InsertItem(const std::string& text, int image, int selectedImage, bool editByText,
                                          bool editByList, model::TreeItem parent) {
  emit layoutRequested();
  return Insert(nullptr, text, image, selectedImage, editByText, editByList, parent);
}

model::TreeItem CTreeListCtrl::InsertItemFast(CObject* object, const std::string& text, int image, int selectedImage,
                                              bool editByText, bool editByList, model::TreeItem parent) {
  return Insert(object, text, image, selectedImage, editByText, editByList, parent);
}

model::TreeItem CTreeListCtrl::InsertItemFirst(CObject* object, const std::string& text, int image,
                                               int selectedImage, model::TreeItem parent) {
  return Insert(object, text, image, selectedImage, false, false, parent, true);
}

model::TreeItem CTreeListCtrl::InsertItem(CObject* object, const std::string& text, int image, int selectedImage,
                                          model::RowEditor editor, model::TreeItem parent, bool fast) {
  const bool byText = editor == model::RowEditor::EditBox;
  const bool byList = editor == model::RowEditor::DropDownList;
  if (fast) return InsertItemFast(object, text, image, selectedImage, byText, byList, parent);
  const model::TreeItem row = InsertItem(text, image, selectedImage, byText, byList, parent);
  SetItemObject(row, object);
  return row;
}

void CTreeListCtrl::Forget(QTreeWidgetItem* item) {
  for (int i = 0; i < item->childCount(); ++i) Forget(item->child(i));
  auto* row = static_cast<RowItem*>(item);
  if (rows_.erase(row->handle)) --rowCount_;
  if (current_ == row->handle) current_ = model::kNoItem;
  // An editor on a row that goes is discarded, never stored into it.
  if ((editBox_ && editBox_->Row() == row->handle) || (listEditor_ && listEditor_->Row() == row->handle))
    CloseEditors();
}

bool CTreeListCtrl::DeleteItem(model::TreeItem row) {
  RowItem* item = Row(row);
  if (!item) return false;
  Forget(item);
  delete item;
  return true;
}

bool CTreeListCtrl::DeleteChildren(model::TreeItem row) {
  RowItem* item = Row(row);
  if (!item) return true;
  bool failed = false;
  while (item->childCount() > 0)
    if (!DeleteItem(static_cast<RowItem*>(item->child(0))->handle)) failed = true;
  return failed;
}

void CTreeListCtrl::DeleteAllItems() {
  CloseEditors();
  setUpdatesEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  rowCount_ -= static_cast<int>(rows_.size());
  rows_.clear();
  current_ = model::kNoItem;
  clear();
  QApplication::restoreOverrideCursor();
  setUpdatesEnabled(true);
}

void CTreeListCtrl::Redraw(model::TreeItem row) {
  if (RowItem* item = Row(row)) {
    const QModelIndex first = indexFromItem(item, 0);
    viewport()->update(QRect(0, visualRect(first).top(), viewport()->width(), visualRect(first).height()));
  }
}

void CTreeListCtrl::SetItemTexts(model::TreeItem row, const std::string* t1, const std::string* t2,
                                 const std::string* t3, const std::string* t4, const std::string* t5,
                                 model::ColorRef colour) {
  RowItem* item = Row(row);
  if (!item) return;
  if (t5) item->record.SetText(5, *t5);
  if (t4) item->record.SetText(4, *t4);
  if (t3) item->record.SetText(3, *t3);
  if (t2) item->record.SetText(2, *t2);
  if (t1 && !KeepsColumn1(row)) item->record.SetText(1, *t1);
  item->record.colour = colour;
  Redraw(row);
}

void CTreeListCtrl::SetItemText(model::TreeItem row, int column, const std::string& text) {
  RowItem* item = Row(row);
  if (!item) return;
  item->record.SetText(column, text);
  Redraw(row);
}

std::string CTreeListCtrl::GetItemText(model::TreeItem row, int column) const {
  const CTLItem* record = Record(row);
  return record ? record->GetText(column) : std::string();
}

void CTreeListCtrl::SetItemStateImage(model::TreeItem row, int image) {
  if (RowItem* item = Row(row)) {
    item->stateImage = image;
    Redraw(row);
  }
}

int CTreeListCtrl::GetItemStateImage(model::TreeItem row) const {
  const RowItem* item = Row(row);
  return item ? item->stateImage : 0;
}

model::TreeItem CTreeListCtrl::GetChildItem(model::TreeItem row) {
  QTreeWidgetItem* parent = row == model::kNoItem ? invisibleRootItem() : Row(row);
  if (!parent || parent->childCount() == 0) return model::kNoItem;
  return static_cast<RowItem*>(parent->child(0))->handle;
}

model::TreeItem CTreeListCtrl::GetNextSiblingItem(model::TreeItem row) {
  RowItem* item = Row(row);
  if (!item) return model::kNoItem;
  QTreeWidgetItem* parent = item->parent() ? item->parent() : invisibleRootItem();
  const int next = parent->indexOfChild(item) + 1;
  return next < parent->childCount() ? static_cast<RowItem*>(parent->child(next))->handle : model::kNoItem;
}

model::TreeItem CTreeListCtrl::ParentItem(model::TreeItem row) const {
  RowItem* item = Row(row);
  return item && item->parent() ? static_cast<RowItem*>(item->parent())->handle : model::kNoItem;
}

model::TreeItem CTreeListCtrl::PrevSiblingItem(model::TreeItem row) const {
  RowItem* item = Row(row);
  if (!item) return model::kNoItem;
  const QTreeWidgetItem* parent = item->parent() ? item->parent() : invisibleRootItem();
  const int previous = parent->indexOfChild(item) - 1;
  return previous >= 0 ? static_cast<RowItem*>(parent->child(previous))->handle : model::kNoItem;
}

model::TreeItem CTreeListCtrl::SelectedItem() const {
  const auto* item = static_cast<const RowItem*>(currentItem());
  return item && item->isSelected() ? item->handle : model::kNoItem;
}

void CTreeListCtrl::SelectRow(model::TreeItem row) {
  RowItem* item = Row(row);
  if (!item) return;
  setCurrentItem(item);
  scrollToItem(item);
  current_ = row;
}

void CTreeListCtrl::ExpandRow(model::TreeItem row, bool expand) {
  RowItem* item = Row(row);
  if (!item) return;
  expandingFromProgram_ = true;
  item->setExpanded(expand);
  expandingFromProgram_ = false;
  emit layoutRequested();
}

CObject* CTreeListCtrl::GetItemObject(model::TreeItem row) {
  RowItem* item = Row(row);
  return item ? item->record.object : nullptr;
}

bool CTreeListCtrl::SetItemObject(model::TreeItem row, CObject* object) {
  RowItem* item = Row(row);
  if (!item) return false;
  item->record.object = object;
  return true;
}

bool CTreeListCtrl::SetItemDisabled(model::TreeItem row, bool disabled, bool redraw, bool recursive) {
  RowItem* item = Row(row);
  if (!item) return false;
  item->record.disabled = disabled;
  if (recursive)
    for (int i = 0; i < item->childCount(); ++i)
      SetItemDisabled(static_cast<RowItem*>(item->child(i))->handle, disabled, false, true);
  if (redraw) viewport()->update();
  return true;
}

bool CTreeListCtrl::SetItemColor(model::TreeItem row, model::ColorRef colour, bool redraw) {
  RowItem* item = Row(row);
  if (!item) return false;
  item->record.colour = colour;
  if (redraw) Redraw(row);
  return true;
}

bool CTreeListCtrl::SetItemBold(model::TreeItem row, bool bold, bool redraw) {
  RowItem* item = Row(row);
  if (!item) return false;
  item->record.bold = bold;
  if (redraw) Redraw(row);
  return true;
}

bool CTreeListCtrl::SetEditByText(model::TreeItem row, bool v) {
  RowItem* item = Row(row);
  if (!item) return false;
  item->record.SetEditByText(v);
  return true;
}

bool CTreeListCtrl::SetEditByList(model::TreeItem row, bool v) {
  RowItem* item = Row(row);
  if (!item) return false;
  item->record.SetEditByList(v);
  return true;
}

void CTreeListCtrl::SetGridLines(bool on) {
  gridLines_ = on;
  viewport()->update();
}

void CTreeListCtrl::SetGridColour(model::ColorRef c) {
  gridColour_ = c;
  viewport()->update();
}

void CTreeListCtrl::SetImageList(const ImageList* images) {
  images_ = images;
  viewport()->update();
}

void CTreeListCtrl::SetStateImageList(const ImageList* images) {
  stateImages_ = images;
  viewport()->update();
}

void CTreeListCtrl::SortTree(int column, bool ascending) {
  // One sort of the whole model: the top level and every row with children, with a
  // single relayout of the view.
  sortColumn_ = column;
  sortAscending_ = ascending;
  sortItems(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

model::TreeItem CTreeListCtrl::RowAt(const QPoint& point) const {
  auto* item = static_cast<RowItem*>(itemAt(point));
  return item ? item->handle : model::kNoItem;
}

QRect CTreeListCtrl::StateImageRect(model::TreeItem row) const {
  RowItem* item = Row(row);
  if (!item || !stateImages_) return {};
  const QRect cell = visualRect(indexFromItem(item, 0));
  return QRect(cell.left(), cell.top(), kImageWidth, cell.height());
}

QRect CTreeListCtrl::CellRect(model::TreeItem row, int column) const {
  RowItem* item = Row(row);
  if (!item || column < 0 || column >= columnCount_) return {};
  QRect cell = visualRect(indexFromItem(item, column));
  if (column == 0) cell.setLeft(cell.left() + (stateImages_ ? kImageWidth : 0) + (images_ ? kImageWidth : 0));
  return cell;
}

void CTreeListCtrl::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  current_ = RowAt(pos);
  // Anywhere but on the expand button the row is selected.
  if (RowItem* item = Row(current_); item && pos.x() >= visualRect(indexFromItem(item, 0)).left())
    setCurrentItem(item);
  QTreeWidget::mousePressEvent(event);
}

void CTreeListCtrl::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  current_ = RowAt(pos);
  if (RowItem* item = Row(current_)) setCurrentItem(item);
  QTreeWidget::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && current_ != model::kNoItem && StateImageRect(current_).contains(pos)) {
    const model::TreeItem row = current_;
    QMetaObject::invokeMethod(this, [this, row] { OnStateImageClick(row); }, Qt::QueuedConnection);
  }
}

void CTreeListCtrl::OnStateImageClick(model::TreeItem row) {
  if (!Row(row)) return;
  const int state = GetItemStateImage(row);
  if (state == 1)
    SetItemStateImage(row, 3);
  else if (state >= 2)
    SetItemStateImage(row, 1);
}

void CTreeListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const int column0Right = header_->sectionViewportPosition(0) + GetColumnWidth(0);
  if (columnCount_ == 0 || pos.x() < column0Right) {
    if (RowItem* item = Row(RowAt(pos)); item && item->childCount() > 0) item->setExpanded(!item->isExpanded());
    emit layoutRequested();
  }
  setFocus();
  current_ = RowAt(pos);
  if (current_ != model::kNoItem) BeginEdit(pos.x(), pos.y());
}

void CTreeListCtrl::keyPressEvent(QKeyEvent* event) {
  // Enter and F2 edit the selected row, so that a branch can be edited by keyboard
  // alone: Enter in the editor ends it, Down goes to the next row.
  const int key = event->key();
  const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier));
  if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_F2) && plain && currentItem() != nullptr) {
    current_ = static_cast<RowItem*>(currentItem())->handle;
    BeginEditByKey();
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
  emit layoutRequested();
  auto* item = static_cast<RowItem*>(currentItem());
  current_ = item ? item->handle : model::kNoItem;
}

void CTreeListCtrl::contextMenuEvent(QContextMenuEvent* event) {
  setFocus();
  const model::TreeItem row = RowAt(event->pos());
  if (RowItem* item = Row(row)) setCurrentItem(item);
  OnRightClick(row, event->globalPos());
  event->accept();
}

int CTreeListCtrl::sizeHintForColumn(int column) const {
  if (column < 0 || column >= columnCount_) return -1;
  const QFontMetrics normal(font());
  QFont boldFont = font();
  boldFont.setBold(true);
  const QFontMetrics bold(boldFont);
  // The painting shortens a text that does not leave 8 pixels free in its cell,
  // whose text area ends 4 pixels before the cell's right edge; in column 0 it
  // starts after the indent, the images and 2 pixels.
  const int images = (stateImages_ ? kImageWidth : 0) + (images_ ? kImageWidth : 0);
  int widest = -1;
  std::function<void(const QTreeWidgetItem*, int)> measure = [&](const QTreeWidgetItem* parent, int depth) {
    for (int i = 0; i < parent->childCount(); ++i) {
      const auto* item = static_cast<const RowItem*>(parent->child(i));
      const std::string& text = item->record.GetText(column);
      if (!text.empty()) {
        const int advance = (item->record.bold ? bold : normal).horizontalAdvance(QString::fromStdString(text));
        const int indent = column == 0 ? indentation() * (depth + (rootIsDecorated() ? 1 : 0)) + images + 2 : 0;
        widest = std::max(widest, indent + advance + 4 + 8);
      }
      if (item->isExpanded()) measure(item, depth + 1);
    }
  };
  measure(invisibleRootItem(), 0);
  // No text to fit: the column keeps its width. Otherwise its caption stays whole too.
  if (widest < 0) return GetColumnWidth(column);
  return std::max(widest, header_->CaptionWidth(headerItem()->text(column)));
}

void CTreeListCtrl::scrollContentsBy(int dx, int dy) {
  // Scrolling confirms nothing: an open editor stays open with its text or shown
  // item and goes along with its cell (a long scroll only repaints the rows, so it
  // is placed again rather than moved with them).
  QTreeWidget::scrollContentsBy(dx, dy);
  PlaceEditors();
}

bool CTreeListCtrl::eventFilter(QObject* watched, QEvent* event) {
  // A press on the scroll bar has handed the focus to the tree first (the bar takes
  // none): the open editor keeps it and goes on.
  if (watched == verticalScrollBar() && event->type() == QEvent::MouseButtonPress) {
    if (editBox_) editBox_->KeepEditing();
    if (listEditor_) listEditor_->KeepEditing();
  }
  return QTreeWidget::eventFilter(watched, event);
}

void CTreeListCtrl::PlaceEditors() {
  if (editBox_) {
    const QRect cell = CellRect(editBox_->Row(), editBox_->Column());
    editBox_->move(cell.topLeft());
  }
  if (listEditor_) {
    const QRect cell = CellRect(listEditor_->Row(), listEditor_->Column());
    listEditor_->move(cell.left(), cell.top() - 2);
  }
}

EditorRequest CTreeListCtrl::MakeEditorRequest(model::TreeItem row, int column, const std::string& cellText) const {
  EditorRequest request;
  request.column = column;
  request.cellText = cellText;
  if (const CTLItem* record = Record(row)) {
    request.editByText = record->EditByText();
    request.editByList = record->EditByList();
    request.disabled = record->disabled;
    request.parameter = dynamic_cast<Parameter*>(record->object);
  }
  return request;
}

EditorChoice CTreeListCtrl::ChooseEditor(model::TreeItem row, int column, const std::string& cellText) {
  return TreeList::ChooseEditor(MakeEditorRequest(row, column, cellText));
}

void CTreeListCtrl::BeginEdit(int x, int /*y*/) {
  // An editor whose focus went to this press has not reported its end yet.
  if (editBox_) editBox_->ReportPendingEnd();
  if (listEditor_) listEditor_->ReportPendingEnd();
  CloseEditors();
  BeginEditCell(current_, columnAt(x));
}

bool CTreeListCtrl::BeginEditCell(model::TreeItem row, int column) {
  const CTLItem* record = Record(row);
  if (!record || record->disabled) return false;
  if (column < 0 || column >= columnCount_) return false;
  const std::string cellText = record->GetText(column);
  const EditorChoice choice = ChooseEditor(row, column, cellText);
  if (choice.kind == EditorKind::None) return false;
  if (choice.warnPolling)
    platform::ShowMessage(resources::LoadString(kStrPolledWarning), "", platform::MessageIcon::Warning);
  const QRect cell = CellRect(row, column);
  if (choice.kind == EditorKind::EditBox) {
    editBox_ = new CTreeListEditBox(this, row, column, cellText, column == 0 ? Qt::AlignLeft : Qt::AlignHCenter);
    editBox_->setGeometry(cell);
    editBox_->Open();
  } else {
    listEditor_ = new CTreeListComboBox(this, row, column, cellText);
    for (const std::string& item : choice.items) listEditor_->addItem(QString::fromStdString(item));
    const int height = listEditor_->sizeHint().height();
    listEditor_->setGeometry(cell.left(), cell.top() - 2, cell.width(), height);
    listEditor_->setMaxVisibleItems(std::max(1, 100 / std::max(1, height)));
    listEditor_->Open();
    controls::FitListWidth(*listEditor_);
  }
  return true;
}

void CTreeListCtrl::BeginEditByKey() {
  CloseEditors();
  const model::TreeItem row = current_;
  RowItem* item = Row(row);
  if (!item) return;
  scrollToItem(item);
  // The value first; a row whose value is not edited offers its other cells.
  for (int column : {2, 1, 3, 4})
    if (BeginEditCell(row, column)) return;
}

void CTreeListCtrl::CloseEditors() {
  if (editBox_) {
    editBox_->Dismiss();
    editBox_ = nullptr;
  }
  if (listEditor_) {
    listEditor_->Dismiss();
    listEditor_ = nullptr;
  }
}

void CTreeListCtrl::EndEditors() {
  if (editBox_) editBox_->ReportEnd();
  if (listEditor_) listEditor_->ReportEnd();
}

void CTreeListCtrl::EndEditorsIn(const QWidget& window) {
  for (CTreeListCtrl* tree : window.findChildren<CTreeListCtrl*>()) tree->EndEditors();
}

void CTreeListCtrl::CloseEditorsIn(const QWidget& window) {
  for (CTreeListCtrl* tree : window.findChildren<CTreeListCtrl*>()) tree->CloseEditors();
}

void CTreeListCtrl::OnEndLabelEdit(const EditEnd& end) {
  if (!editBox_) return;
  editBox_->Dismiss();
  editBox_ = nullptr;
  if (end.hasText && !end.cancelled) SetItemText(end.row, end.column, end.text);
}

void CTreeListCtrl::OnComboItemChanged(const EditEnd& end) {
  if (!listEditor_) return;
  listEditor_->Dismiss();
  listEditor_ = nullptr;
  if (end.hasText && !end.cancelled) SetItemText(end.row, end.column, end.text);
}

}  // namespace TreeList
