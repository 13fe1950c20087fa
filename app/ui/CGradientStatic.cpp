#include "app/ui/CGradientStatic.h"

#include <QLinearGradient>
#include <QPainter>

namespace Dialogs {

CGradientStatic::CGradientStatic(const QString& text, QWidget* parent) : QLabel(text, parent) {
  QFont font(QStringLiteral("Palatino Linotype"));
  font.setPixelSize(20);
  font.setWeight(QFont::DemiBold);
  setFont(font);
}

void CGradientStatic::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QLinearGradient gradient(0, 0, 0, height());
  gradient.setColorAt(0, QColor(0x70, 0x70, 0x70));
  gradient.setColorAt(1, QColor(0xE8, 0xE8, 0xE8));
  painter.fillRect(rect(), gradient);
  painter.setPen(Qt::white);
  painter.setFont(font());
  painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
  painter.setPen(QColor(50, 50, 50));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace Dialogs
