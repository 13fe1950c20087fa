#pragma once
// The program's own menu drawing, as a style over the desktop's: a light
// background, a tinted frame round the selected item, a check image, the item's
// image in a 16-pixel column, the shortcut right-aligned in green after the
// text, etched separators and fixed item heights. The main window's menu bar and
// popups and the tree's popups use it.
#include <QProxyStyle>

class QMenu;

class CDrawMenu : public QProxyStyle {
  Q_OBJECT

 public:
  explicit CDrawMenu(QStyle* base = nullptr);

  static constexpr QRgb kBackground = 0xF0F0F0;
  static constexpr QRgb kShortcut = 0x009600;  // as RGB: green
  static constexpr QRgb kSeparatorDark = 0x646464;
  static constexpr int kItemHeight = 20;
  static constexpr int kSeparatorHeight = 8;

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget = nullptr) const override;
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget = nullptr) const override;
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
  int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr) const override;
  // The overflow buttons' arrows are made when first drawn (see LazyIcon).
  QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option = nullptr,
                     const QWidget* widget = nullptr) const override;

  // The font items are measured and drawn in.
  static QFont MenuFont();

 private:
  // Draws a toolbar's background band without Qt's painting threads; false when the
  // base style is left to draw it.
  bool DrawToolBarBand(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
};
