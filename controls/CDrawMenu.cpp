#include "controls/CDrawMenu.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QStyleOptionMenuItem>
#include <QStyleOptionToolBar>
#include <optional>

#include "controls/LazyIcon.h"
#include "controls/core/MenuRules.h"

namespace {

constexpr int kCheckColumn = 18;

QColor Tint(const QColor& highlight) {
  const menu::Rgb t = menu::SelectionTint({highlight.red(), highlight.green(), highlight.blue()});
  return QColor(t.r, t.g, t.b);
}

void DrawCheck(QPainter* painter, const QRect& item, const QColor& colour) {
  // The check image: 12x12 at (left + 3, top + 1).
  const QRect box(item.left() + 3, item.top() + 1 + (item.height() - 14) / 2, 12, 12);
  QPen pen(colour, 2);
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setPen(pen);
  painter->drawPolyline(QPolygon({QPoint(box.left() + 2, box.center().y()), QPoint(box.left() + 5, box.bottom() - 2),
                                  QPoint(box.right() - 1, box.top() + 2)}));
  painter->restore();
}

// The mark of an item that opens a sub-menu: a small triangle pointing right at
// the item's right end, where a command has its shortcut.
void DrawSubMenuArrow(QPainter* painter, const QRect& item, const QColor& colour) {
  const int x = item.right() - 12, y = item.center().y();
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setPen(Qt::NoPen);
  painter->setBrush(colour);
  painter->drawPolygon(QPolygon({QPoint(x, y - 4), QPoint(x + 4, y), QPoint(x, y + 4)}));
  painter->restore();
}

}  // namespace

CDrawMenu::CDrawMenu(QStyle* base) : QProxyStyle(base) {}

QFont CDrawMenu::MenuFont() {
  QFont font(QStringLiteral("MS Shell Dlg"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(14);
  font.setWeight(QFont::Normal);
  return font;
}

int CDrawMenu::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
  switch (metric) {
    case PM_MenuPanelWidth: return 1;
    case PM_MenuHMargin:
    case PM_MenuVMargin: return 1;
    default: return QProxyStyle::pixelMetric(metric, option, widget);
  }
}

QIcon CDrawMenu::standardIcon(StandardPixmap standardIcon, const QStyleOption* option, const QWidget* widget) const {
  // Every menu bar and toolbar asks for its overflow arrow as it is made, and the
  // arrow is an image file: reading the first one loads all of Qt's image-format
  // plug-ins, some milliseconds before the first paint for a button that shows
  // only when the bar does not fit.
  const bool overflowArrow =
      standardIcon == SP_ToolBarHorizontalExtensionButton || standardIcon == SP_ToolBarVerticalExtensionButton;
  if (!overflowArrow) return QProxyStyle::standardIcon(standardIcon, option, widget);
  // The option only tells the direction the arrow points in: a plain copy keeps it.
  std::optional<QStyleOption> optionCopy;
  if (option != nullptr) optionCopy = *option;
  return LazyIcon([base = QPointer<QStyle>(baseStyle()), standardIcon, optionCopy = std::move(optionCopy),
                   widget = QPointer<const QWidget>(widget)] {
    return base ? base->standardIcon(standardIcon, optionCopy ? &*optionCopy : nullptr, widget.data()) : QIcon();
  });
}

bool CDrawMenu::DrawToolBarBand(const QStyleOption* option, QPainter* painter, const QWidget* widget) const {
  // The desktop's default style edges its toolbars with translucent lines; Qt blends
  // a translucent line longer than some ninety pixels on a pool of painting threads,
  // which it starts on first use, milliseconds before the first paint. That band is
  // the same all along its length: it is drawn once across, one pixel long, and
  // repeated. Other styles draw their own way.
  const auto* bar = qstyleoption_cast<const QStyleOptionToolBar*>(option);
  if (bar == nullptr || baseStyle()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0) return false;
  const QRect band = option->rect;
  if (band.isEmpty()) return true;
  const bool horizontal = option->state & State_Horizontal;
  QStyleOptionToolBar across = *bar;
  across.rect = horizontal ? QRect(0, 0, 1, band.height()) : QRect(0, 0, band.width(), 1);
  const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
  QImage strip((QSizeF(across.rect.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
  strip.setDevicePixelRatio(ratio);
  strip.fill(Qt::transparent);
  {
    QPainter stripPainter(&strip);
    QProxyStyle::drawControl(CE_ToolBar, &across, &stripPainter, widget);
  }
  painter->drawImage(QRectF(band), strip);
  return true;
}

void CDrawMenu::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                              const QWidget* widget) const {
  if (element == PE_PanelMenu || element == PE_FrameMenu) {
    painter->fillRect(option->rect, QColor::fromRgb(kBackground));
    if (element == PE_FrameMenu) {
      painter->setPen(QColor::fromRgb(kSeparatorDark));
      painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
    }
    return;
  }
  QProxyStyle::drawPrimitive(element, option, painter, widget);
}

QSize CDrawMenu::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                  const QWidget* widget) const {
  if (type == CT_MenuItem) {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (!item) return QProxyStyle::sizeFromContents(type, option, size, widget);
    if (item->menuItemType == QStyleOptionMenuItem::Separator) return {size.width(), kSeparatorHeight};
    const QFontMetrics metrics(MenuFont());
    QString text = item->text;
    text.replace(QLatin1Char('&'), QString());
    // The text and its shortcut, a gap between them, the check and image column.
    const int width = metrics.horizontalAdvance(text) + 28 + 24;
    return {width, kItemHeight};
  }
  if (type == CT_MenuBarItem) {
    // Measured in the font the item is drawn in.
    const QSize base = QProxyStyle::sizeFromContents(type, option, size, widget);
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    QString text = item ? item->text : QString();
    text.replace(QLatin1Char('&'), QString());
    const int width = QFontMetrics(MenuFont()).horizontalAdvance(text) + 15;
    return {std::max(base.width(), width), std::max(base.height(), kItemHeight)};
  }
  return QProxyStyle::sizeFromContents(type, option, size, widget);
}

void CDrawMenu::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                            const QWidget* widget) const {
  if (element == CE_ToolBar && DrawToolBarBand(option, painter, widget)) return;
  const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
  if (!item || (element != CE_MenuItem && element != CE_MenuBarItem && element != CE_MenuBarEmptyArea)) {
    QProxyStyle::drawControl(element, option, painter, widget);
    return;
  }
  const bool barItem = element != CE_MenuItem;
  const QPalette& palette = option->palette;
  const QColor background = barItem ? palette.color(QPalette::Button) : QColor::fromRgb(kBackground);
  const QColor highlight = palette.color(QPalette::Highlight);
  const bool enabled = option->state & State_Enabled;
  const QColor grey = palette.color(QPalette::Disabled, QPalette::WindowText);
  const QColor textColour = enabled ? palette.color(QPalette::WindowText) : grey;
  const QColor shortcutColour = enabled ? QColor::fromRgb(kShortcut) : grey;

  QRect r = option->rect;
  painter->save();
  painter->fillRect(r, background);
  if (element == CE_MenuBarEmptyArea) {
    painter->restore();
    return;
  }
  if (item->menuItemType == QStyleOptionMenuItem::Separator) {
    const QRect etch = r.adjusted(10, 3, -10, -3);
    painter->setPen(Qt::white);
    painter->drawLine(etch.topLeft(), etch.topRight());
    painter->drawLine(etch.topLeft(), etch.bottomLeft());
    painter->setPen(QColor::fromRgb(kSeparatorDark));
    painter->drawLine(etch.bottomLeft(), etch.bottomRight());
    painter->drawLine(etch.topRight(), etch.bottomRight());
    painter->restore();
    return;
  }
  const bool selected = (option->state & State_Selected) && enabled;
  if (selected || (barItem && (option->state & State_Sunken))) {
    painter->fillRect(r, Tint(highlight));
    painter->setPen(highlight);
    painter->drawRect(r.adjusted(0, 0, -1, -1));
  }
  if (!barItem) {
    // A checked item with an image shows both: the check, then the image over it.
    if (item->checked) DrawCheck(painter, r, textColour);
    if (!item->icon.isNull())
      painter->drawPixmap(r.left() + 3, r.top() + 2,
                          item->icon.pixmap(16, 16, enabled ? QIcon::Normal : QIcon::Disabled));
    if (item->menuItemType == QStyleOptionMenuItem::SubMenu) DrawSubMenuArrow(painter, r, textColour);
  }
  QRect textRect = r;
  if (!barItem) textRect.setLeft(textRect.left() + kCheckColumn);
  textRect.adjust(5, 2, -5, -2);
  painter->setFont(MenuFont());
  const auto [text, shortcut] = menu::SplitAtTab(item->text.toStdString());
  painter->setPen(textColour);
  const int align = (barItem ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter | Qt::TextSingleLine |
                    Qt::TextShowMnemonic;
  painter->drawText(textRect, align, QString::fromStdString(text));
  if (!shortcut.empty()) {
    painter->setPen(shortcutColour);
    painter->drawText(textRect, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                      QString::fromStdString(shortcut));
  }
  painter->restore();
}
