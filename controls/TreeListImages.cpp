#include "controls/TreeListImages.h"

#include <QPainter>
#include <QPolygon>

namespace TreeList {

namespace {

QPixmap Blank(int w, int h) {
  QPixmap p(w, h);
  p.fill(Qt::transparent);
  return p;
}

// A folder for element and branch rows.
QPixmap Folder(QColor colour) {
  QPixmap p = Blank(16, 17);
  QPainter g(&p);
  g.setPen(colour.darker(160));
  g.setBrush(colour);
  g.drawRect(1, 5, 13, 9);
  g.drawRect(1, 3, 5, 2);
  return p;
}

// A sheet for parameter rows; lines mark a value typed in, a list a value chosen.
QPixmap Sheet(QColor colour, bool list) {
  QPixmap p = Blank(16, 17);
  QPainter g(&p);
  g.setPen(QColor(90, 90, 90));
  g.setBrush(Qt::white);
  g.drawRect(3, 1, 10, 14);
  g.setPen(colour);
  for (int y = 4; y <= 12; y += 3) g.drawLine(list ? 8 : 5, y, 11, y);
  if (list)
    for (int y = 4; y <= 12; y += 3) g.drawPoint(5, y);
  return p;
}

// A clock for polled rows.
QPixmap Clock() {
  QPixmap p = Blank(16, 17);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  g.setPen(QColor(0, 90, 160));
  g.setBrush(QColor(220, 235, 250));
  g.drawEllipse(2, 2, 12, 12);
  g.drawLine(8, 8, 8, 4);
  g.drawLine(8, 8, 11, 9);
  return p;
}

}  // namespace

QVector<QPixmap> MakeRowImages() {
  QVector<QPixmap> images;
  for (int i = 0; i < 40; ++i) {
    if (i == 26)
      images << Clock();
    else if (i == 27)
      images << Sheet(QColor(0, 120, 0), true);
    else if (i == 28)
      images << Sheet(QColor(0, 0, 160), false);
    else if (i == 30)
      images << Sheet(QColor(150, 150, 150), false);
    else if (i >= 29)
      images << Sheet(QColor(120, 120, 120), false);
    else
      images << Folder(QColor::fromHsv((i * 37) % 360, 90, 235));
  }
  return images;
}

QVector<QPixmap> MakeStateImages() {
  QVector<QPixmap> images;
  for (int i = 0; i < 4; ++i) {
    QPixmap p = Blank(16, 16);
    if (i > 0) {
      QPainter g(&p);
      g.setPen(QColor(60, 60, 60));
      g.setBrush(Qt::white);
      g.drawRect(2, 3, 11, 11);
      if (i == 3) {  // on: a tick
        g.setPen(QPen(QColor(0, 128, 0), 2));
        g.drawPolyline(QPolygon({QPoint(4, 8), QPoint(7, 11), QPoint(12, 5)}));
      } else if (i == 2) {
        g.fillRect(5, 6, 6, 6, QColor(120, 120, 120));
      }
    }
    images << p;
  }
  return images;
}

QVector<QPixmap> MakeMarkImages() {
  QVector<QPixmap> images;
  for (int i = 0; i < 2; ++i) {
    QPixmap p = Blank(16, 12);
    QPainter g(&p);
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(60, 60, 110));  // not a grey, so it never mixes with text
    g.drawPolygon(i == 0 ? QPolygon({QPoint(4, 8), QPoint(12, 8), QPoint(8, 3)})
                         : QPolygon({QPoint(4, 3), QPoint(12, 3), QPoint(8, 8)}));
    images << p;
  }
  return images;
}

}  // namespace TreeList
