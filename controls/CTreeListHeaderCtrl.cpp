#include "controls/CTreeListHeaderCtrl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionHeader>
#include <QToolTip>

#include "controls/CTreeListCtrl.h"

namespace TreeList {

CTreeListHeaderCtrl::CTreeListHeaderCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  setSectionsClickable(true);
  setSectionsMovable(false);
  setStretchLastSection(false);
  setHighlightSections(false);
}

void CTreeListHeaderCtrl::SetSortMark(int column, int mark) {
  marks_[column] = mark;
  viewport()->update();
}

int CTreeListHeaderCtrl::GetSortMark(int column) const {
  auto it = marks_.find(column);
  return it == marks_.end() ? -1 : it->second;
}

const QVector<QPixmap>* CTreeListHeaderCtrl::SetMarkImages(const QVector<QPixmap>* images) {
  const QVector<QPixmap>* previous = markImages_;
  markImages_ = images;
  viewport()->update();
  return previous;
}

void CTreeListHeaderCtrl::InsertedColumn(int index) {
  std::map<int, int> moved;
  for (const auto& [column, mark] : marks_) moved[column >= index ? column + 1 : column] = mark;
  marks_ = std::move(moved);
}

void CTreeListHeaderCtrl::mousePressEvent(QMouseEvent* event) {
  if (tree_) tree_->CloseEditors();
  QHeaderView::mousePressEvent(event);
}

namespace {
QFont CaptionFont() {
  QFont font("Arial Cyr");
  font.setPixelSize(12);
  return font;
}
}  // namespace

int CTreeListHeaderCtrl::CaptionWidth(const QString& caption) const {
  // The text between its two margins, then the mark beside it.
  const QFontMetrics metrics(CaptionFont());
  const int margin = 2 * metrics.horizontalAdvance(' ');
  const int mark = markImages_ && !markImages_->isEmpty() ? markImages_->front().width() : 8;
  return metrics.horizontalAdvance(caption) + 3 * margin + mark + 2 * metrics.horizontalAdvance(caption.left(1));
}

void CTreeListHeaderCtrl::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  if (!rect.isValid()) return;
  painter->save();
  painter->setClipRect(rect);
  // The frame and background of the item as the style draws them, without text.
  QStyleOptionHeader frame;
  initStyleOption(&frame);
  frame.rect = rect;
  frame.section = logicalIndex;
  const bool pressed = sectionsClickable() && (frame.state & QStyle::State_Sunken);
  style()->drawControl(QStyle::CE_HeaderSection, &frame, painter, this);

  const QFont font = CaptionFont();
  painter->setFont(font);
  painter->setPen(palette().color(QPalette::ButtonText));
  const QFontMetrics metrics(font);
  const int margin = 2 * metrics.horizontalAdvance(' ');
  const QString text = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
  const int alignment = model()->headerData(logicalIndex, orientation(), Qt::TextAlignmentRole).toInt();
  const bool right = alignment & Qt::AlignRight;
  const Qt::Alignment h = right ? Qt::AlignRight : (alignment & Qt::AlignHCenter) ? Qt::AlignHCenter : Qt::AlignLeft;

  QRect r = rect;
  auto drawText = [&] {
    if (pressed) r.adjust(1, 2, 1, 0);
    r.adjust(margin, 0, -margin, 0);
    if (r.left() < r.right())
      painter->drawText(r, static_cast<int>(h | Qt::AlignVCenter | Qt::TextSingleLine),
                        metrics.elidedText(text, Qt::ElideRight, r.width()));
  };
  if (!right) drawText();
  const int mark = GetSortMark(logicalIndex);
  if (markImages_ && mark >= 0 && mark < markImages_->size()) {
    const QPixmap& image = (*markImages_)[mark];
    const int x = right ? r.left() + margin : r.right() - 2 * metrics.horizontalAdvance(text.isEmpty() ? QChar(' ') : text.at(0));
    painter->drawPixmap(x, rect.top() + margin / 3 + (rect.height() - image.height()) / 2, image);
    if (right) r.setLeft(r.left() + margin / 2 + image.width());
  }
  if (right) drawText();
  painter->restore();
}

void CTreeToolTipCtrl::AddTool(QWidget* tool, const QString& text, int delayMs) {
  tool_ = tool;
  text_ = text;
  delayMs_ = delayMs;
  tool->installEventFilter(this);
}

void CTreeToolTipCtrl::Pop() { QToolTip::hideText(); }

bool CTreeToolTipCtrl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tool_ && event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
    Pop();
  return QObject::eventFilter(watched, event);
}

}  // namespace TreeList
