#include "app/ui/CommandImages.h"

#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <initializer_list>

#include "controls/LazyIcon.h"

namespace {

QPixmap Render(QSvgRenderer& renderer, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  renderer.render(&painter);
  return pixmap;
}

// Drawn by Qt's own SVG renderer, so that no image plug-in needs to be installed.
QIcon FromSvg(const QString& path, std::initializer_list<int> sizes) {
  QSvgRenderer renderer(path);
  if (!renderer.isValid()) return {};
  QIcon icon;
  for (int size : sizes) icon.addPixmap(Render(renderer, size));
  return icon;
}

}  // namespace

QIcon CommandImage(int imageNumber) {
  if (imageNumber <= 0) return {};
  const QString prefix = QStringLiteral("%1-").arg(imageNumber, 2, 10, QLatin1Char('0'));
  static const QStringList files = QDir(QStringLiteral(":/images")).entryList({QStringLiteral("*.svg")}, QDir::Files);
  for (const QString& file : files)
    // Drawn when first shown: most menu images wait until their menu opens.
    if (file.startsWith(prefix))
      return LazyIcon([path = QStringLiteral(":/images/") + file] { return FromSvg(path, {16}); });  // menus and toolbar
  return {};
}

QIcon ProgramIcon() {
  // Drawn when a window first asks for it.
  return QIcon::fromTheme(QStringLiteral("zt580"),
                          LazyIcon([] { return FromSvg(QStringLiteral(":/linux/zt580.svg"), {16, 32, 64}); }));
}
