// A filled tree-list view as it appears on screen, checked by sampling pixels: a
// red row, a green row, a bold row, a shortened cell ending in "..." and the sort
// mark. CTest also runs it under Xvfb; the image is kept in the build folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <cstdlib>
#include <functional>
#include <string>

#include "controls/CNewTreeListCtrlView.h"
#include "controls/CTreeListCtrl.h"
#include "controls/CTreeListHeaderCtrl.h"

namespace {

using namespace TreeList;

bool Dark(QRgb c) { return qGray(c) < 140; }

// Pixels of the rectangle that satisfy the test.
int Count(const QImage& image, const QRect& r, const std::function<bool(QRgb)>& test) {
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (image.rect().contains(x, y) && test(image.pixel(x, y))) ++n;
  return n;
}

TEST(TreeListScreenshot, FilledViewShowsColoursBoldElisionAndMark) {
  auto* tree = new CTreeListCtrl;
  CNewTreeListCtrlView view(nullptr, tree);
  const char* captions[] = {"Описание", "Имя", "Значение", "Атрибут"};
  const int widths[] = {220, 70, 110, 120};
  for (int i = 0; i < 4; ++i) tree->InsertColumn(i, captions[i], i == 2 ? 2 : 0, widths[i]);
  view.resize(560, 220);
  view.Create();

  auto row = [&](const char* text, const char* value, model::ColorRef colour) {
    const model::TreeItem r = tree->InsertItem(text, 28, 28, true, false, model::kNoItem);
    const std::string v = value;
    const std::string name = "Addr";
    tree->SetItemTexts(r, &name, &v, nullptr, nullptr, nullptr, colour);
    return r;
  };
  const model::TreeItem red = row("Ошибка чтения", "Нет данных", model::kRed);
  const model::TreeItem green = row("Изменён", "115200", model::kChangedGreen);
  const model::TreeItem bold = row("Параметры сети", "", model::kBlack);
  const model::TreeItem normal = row("Параметры сети", "", model::kBlack);
  const model::TreeItem longCell = row("Длинный", "", model::kBlack);
  tree->SetItemBold(bold, true, true);
  tree->SetItemText(longCell, 3, "Очень длинный текст, который не помещается в столбец");
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view) || qgetenv("QT_QPA_PLATFORM") == "offscreen");
  QApplication::processEvents();

  const QImage image = view.grab().toImage();
  if (const char* dir = std::getenv("Z580_BUILD_DIR"))
    image.save(QString::fromLocal8Bit(dir) + "/treelist-screenshot-" + QApplication::platformName() + ".png");
  const QPoint origin = tree->viewport()->mapTo(&view, QPoint(0, 0));
  auto cell = [&](model::TreeItem r, int column) { return tree->CellRect(r, column).translated(origin); };

  EXPECT_GT(Count(image, cell(red, 2), [](QRgb c) { return qRed(c) > 180 && qGreen(c) < 90 && qBlue(c) < 90; }), 10);
  EXPECT_GT(Count(image, cell(green, 2), [](QRgb c) { return qGreen(c) > 120 && qRed(c) < 90 && qBlue(c) < 90; }), 10);
  EXPECT_EQ(Count(image, cell(green, 2), [](QRgb c) { return qRed(c) > 180 && qGreen(c) < 90; }), 0);

  const int boldInk = Count(image, cell(bold, 0), Dark);
  const int normalInk = Count(image, cell(normal, 0), Dark);
  EXPECT_GT(normalInk, 20);
  EXPECT_GT(boldInk, normalInk * 115 / 100);

  // The shortened cell ends in three dots: its last ink sits low and flat, and
  // nothing is drawn into the cell's last 4 pixels.
  const QRect shortened = cell(longCell, 3);
  int lastInk = -1;
  for (int x = shortened.left(); x <= shortened.right(); ++x)
    if (Count(image, QRect(x, shortened.top() + 1, 1, shortened.height() - 2), Dark) > 0) lastInk = x;
  ASSERT_GT(lastInk, shortened.left() + shortened.width() / 2);
  EXPECT_LE(lastInk, shortened.right() - 4);
  int top = shortened.bottom(), bottom = shortened.top();
  for (int y = shortened.top() + 1; y < shortened.bottom(); ++y)
    if (Count(image, QRect(lastInk - 8, y, 9, 1), Dark) > 0) top = std::min(top, y), bottom = std::max(bottom, y);
  EXPECT_LE(bottom - top, 3) << "the end of the cell is not a row of dots";
  EXPECT_GT(bottom, shortened.center().y());

  // Column 0 carries the ascending mark near its right edge.
  QHeaderView* header = tree->Header();
  const QPoint headerOrigin = header->viewport()->mapTo(&view, QPoint(0, 0));
  const QRect section0(headerOrigin.x() + widths[0] / 2, headerOrigin.y(), widths[0] / 2, header->height());
  EXPECT_GT(Count(image, section0, [](QRgb c) { return qRed(c) == 60 && qGreen(c) == 60 && qBlue(c) == 110; }), 5);
  const QRect section1(headerOrigin.x() + widths[0], headerOrigin.y(), widths[1], header->height());
  EXPECT_EQ(Count(image, section1, [](QRgb c) { return qRed(c) == 60 && qGreen(c) == 60 && qBlue(c) == 110; }), 0);
}

}  // namespace
