#include "controls/CComboEx.h"

#include <QPainter>
#include <QStyledItemDelegate>
#include <QStylePainter>

namespace {

class MarkedItemDelegate : public QStyledItemDelegate {
 public:
  MarkedItemDelegate(const CComboEx* combo, QObject* parent) : QStyledItemDelegate(parent), combo_(combo) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem o(option);
    if (index.row() == combo_->MarkedItem()) {
      o.palette.setColor(QPalette::Text, QColor::fromRgb(CComboEx::kMarkedColour));
      o.palette.setColor(QPalette::HighlightedText, QColor::fromRgb(CComboEx::kMarkedColour));
    }
    QStyledItemDelegate::paint(painter, o, index);
  }

 private:
  const CComboEx* combo_;
};

}  // namespace

CComboEx::CComboEx(QWidget* parent) : QComboBox(parent) { setItemDelegate(new MarkedItemDelegate(this, this)); }

void CComboEx::SetItems(const QStringList& texts) {
  clear();
  addItems(texts);
}

void CComboEx::SetMarkedItem(int index) {
  marked_ = index;
  update();
}

void CComboEx::paintEvent(QPaintEvent* /*event*/) {
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  if (currentIndex() >= 0 && currentIndex() == marked_)
    option.palette.setColor(QPalette::ButtonText, QColor::fromRgb(kMarkedColour));
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}
