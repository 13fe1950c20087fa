#include "app/ui/CommandImages.h"

#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace {

QPixmap Render(QSvgRenderer& renderer, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  renderer.render(&painter);
  return pixmap;
}

// Drawn by Qt's own SVG renderer, so that no image plug-in needs to be installed.
QIcon FromSvg(const QString& path) {
  QSvgRenderer renderer(path);
  if (!renderer.isValid()) return {};
  QIcon icon;
  for (int size : {16, 32}) icon.addPixmap(Render(renderer, size));
  return icon;
}

}  // namespace

QIcon CommandImage(int imageNumber) {
  if (imageNumber <= 0) return {};
  const QString prefix = QStringLiteral("%1-").arg(imageNumber, 2, 10, QLatin1Char('0'));
  const QStringList files = QDir(QStringLiteral(":/images")).entryList({prefix + QStringLiteral("*.svg")}, QDir::Files);
  return files.isEmpty() ? QIcon() : FromSvg(QStringLiteral(":/images/") + files.front());
}

QIcon ProgramIcon() {
  return QIcon::fromTheme(QStringLiteral("zt580"), FromSvg(QStringLiteral(":/linux/zt580.svg")));
}
