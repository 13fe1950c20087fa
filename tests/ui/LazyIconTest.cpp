// Icons made on first use: the menus' and toolbars' images and the bars' overflow
// arrows, kept out of the way of the main window's first paint.
#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QMainWindow>
#include <QPainter>
#include <QPixmap>
#include <QStyleFactory>
#include <QStyleOption>
#include <QStyleOptionToolBar>
#include <QToolBar>
#include <memory>

#include "controls/CDrawMenu.h"
#include "controls/LazyIcon.h"

namespace {

TEST(LazyIcon, MakesItsPicturesOnceOnFirstUseForAllCopies) {
  int made = 0;
  const QIcon icon = LazyIcon([&made] {
    ++made;
    QPixmap red(16, 16);
    red.fill(Qt::red);
    return QIcon(red);
  });
  // Being handed round, stored in an action and asked whether it is null makes nothing.
  QIcon copy = icon;
  QAction action;
  action.setIcon(copy);
  EXPECT_FALSE(icon.isNull());
  EXPECT_FALSE(action.icon().isNull());
  EXPECT_EQ(made, 0);

  EXPECT_EQ(action.icon().pixmap(16, 16).toImage().pixel(8, 8), QColor(Qt::red).rgb());
  EXPECT_EQ(icon.pixmap(16, 16).toImage().pixel(3, 12), QColor(Qt::red).rgb());
  EXPECT_TRUE(copy.availableSizes().contains(QSize(16, 16)));
  EXPECT_EQ(made, 1);

  // A maker that finds nothing leaves a null icon, as an eager one would be.
  const QIcon empty = LazyIcon([] { return QIcon(); });
  EXPECT_TRUE(empty.pixmap(16, 16).isNull());
  EXPECT_TRUE(empty.isNull());
}

TEST(LazyIcon, MenuStyleDrawsTheOverflowArrowsOfItsBase) {
  std::unique_ptr<QStyle> reference(QStyleFactory::create(QStringLiteral("Fusion")));
  ASSERT_NE(reference, nullptr);
  CDrawMenu style(QStyleFactory::create(QStringLiteral("Fusion")));
  QStyleOption rightToLeft;
  rightToLeft.direction = Qt::RightToLeft;
  for (QStyle::StandardPixmap arrow : {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton}) {
    for (const QStyleOption* option : {static_cast<const QStyleOption*>(nullptr), static_cast<const QStyleOption*>(&rightToLeft)}) {
      const QImage drawn = style.standardIcon(arrow, option).pixmap(16, 16).toImage();
      ASSERT_FALSE(drawn.isNull()) << arrow;
      EXPECT_EQ(drawn, reference->standardIcon(arrow, option).pixmap(16, 16).toImage()) << arrow;
    }
  }
  // The option's direction is kept until the arrow is drawn.
  EXPECT_NE(style.standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton, &rightToLeft).pixmap(16, 16).toImage(),
            style.standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton).pixmap(16, 16).toImage());
}

// The toolbar's band is drawn without Qt's painting threads, and looks as the base
// style draws it: at every edge, in every place of its row, and not at all off a
// main window.
TEST(FirstPaint, ToolBarBandIsTheBaseStyles) {
  std::unique_ptr<QStyle> reference(QStyleFactory::create(QStringLiteral("Fusion")));
  ASSERT_NE(reference, nullptr);
  CDrawMenu style(QStyleFactory::create(QStringLiteral("Fusion")));
  QMainWindow window;
  QToolBar* docked = window.addToolBar(QStringLiteral("docked"));
  QToolBar loose;
  const auto draw = [](const QStyle& by, const QStyleOptionToolBar& option, const QWidget* widget) {
    QImage image(220, 120, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    by.drawControl(QStyle::CE_ToolBar, &option, &painter, widget);
    return image;
  };
  for (const Qt::ToolBarArea area : {Qt::TopToolBarArea, Qt::BottomToolBarArea, Qt::LeftToolBarArea, Qt::RightToolBarArea}) {
    for (const auto line : {QStyleOptionToolBar::Beginning, QStyleOptionToolBar::Middle, QStyleOptionToolBar::End,
                            QStyleOptionToolBar::OnlyOne}) {
      QStyleOptionToolBar option;
      option.initFrom(docked);
      const bool horizontal = area == Qt::TopToolBarArea || area == Qt::BottomToolBarArea;
      option.rect = horizontal ? QRect(3, 5, 200, 28) : QRect(7, 2, 30, 110);
      if (horizontal) option.state |= QStyle::State_Horizontal;
      option.toolBarArea = area;
      option.positionOfLine = line;
      EXPECT_EQ(draw(style, option, docked), draw(*reference, option, docked)) << area << " " << line;
      EXPECT_EQ(draw(style, option, &loose), draw(*reference, option, &loose)) << area << " " << line;
    }
  }
}

}  // namespace
