// What a person reads in the windows, on a real X display: Qt's own texts in
// Russian, the selected tree row as one band, the sub-menu arrow, toolbar images
// that differ in shape, and captions that are not cut at the size a window opens
// with (the state dialog of three models, the first analog-input dialog).
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QToolBar>
#include <QTranslator>
#include <set>

#include "CalibrationTestSupport.h"
#include "RealInput.h"
#include "app/ui/CAboutDlg.h"
#include "ServiceDialogTestSupport.h"
#include "app/ui/CDrawMenuInstall.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CStateInOutDlg.h"
#include "app/ui/CStateTableCtrl.h"
#include "app/ui/QtTranslations.h"
#include "calibration/CalibrationLink.h"
#include "calibration/ui/CCalibrate1.h"
#include "calibration/ui/CSheetVI.h"
#include "controls/CNewTreeListCtrlView.h"
#include "controls/CTreeListCtrl.h"
#include "devices/CreateDeviceModel.h"
#include "link/AppState.h"

namespace {

QString Plain(QString text) { return text.remove(QLatin1Char('&')); }

TEST(LegibleWindowsXvfb, QtsOwnTextsAreRussian) {
  Z580_REQUIRE_XCB();
  auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
  QTranslator* translator = LoadQtTranslations(*application);
  ASSERT_NE(translator, nullptr) << "qtbase_ru.qm is not installed";

  QMessageBox box(QMessageBox::Question, QStringLiteral("Конфигуратор"), QStringLiteral("Сохранить?"),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  ASSERT_TRUE(realinput::ShowActive(box));
  EXPECT_EQ(Plain(box.button(QMessageBox::Yes)->text()), QStringLiteral("Да"));
  EXPECT_EQ(Plain(box.button(QMessageBox::No)->text()), QStringLiteral("Нет"));
  EXPECT_EQ(Plain(box.button(QMessageBox::Cancel)->text()), QStringLiteral("Отмена"));
  box.done(QMessageBox::Cancel);

  // The program's own file dialog: no English label or button.
  QFileDialog files(nullptr, QStringLiteral("Открыть"), QString(), QStringLiteral("*.z580"));
  files.setOption(QFileDialog::DontUseNativeDialog);
  ASSERT_TRUE(realinput::ShowActive(files));
  for (const QLabel* label : files.findChildren<QLabel*>())
    for (const char* english : {"Look in:", "File name:", "Files of type:"})
      EXPECT_NE(Plain(label->text()), QLatin1String(english));
  for (const QPushButton* button : files.findChildren<QPushButton*>())
    for (const char* english : {"Open", "Cancel"}) EXPECT_NE(Plain(button->text()), QLatin1String(english));
  files.reject();

  QApplication::removeTranslator(translator);
  delete translator;
}

TEST(LegibleWindowsXvfb, SelectedTreeRowIsOneBandOverItsImageSlots) {
  Z580_REQUIRE_XCB();
  auto* tree = new TreeList::CTreeListCtrl;
  TreeList::CNewTreeListCtrlView view(nullptr, tree);
  for (int i = 0; i < 2; ++i) tree->InsertColumn(i, i == 0 ? "Описание" : "Значение", 0, 200);
  view.resize(460, 160);
  view.Create();
  // Row images that leave their slot empty: what shows there is the row's ground.
  QPixmap clear(16, 17);
  clear.fill(Qt::transparent);
  const TreeList::ImageList images{clear};
  tree->SetImageList(&images);
  const model::TreeItem first = tree->InsertItem("Сетевые параметры", 0, 0, false, false, model::kNoItem);
  const model::TreeItem second = tree->InsertItem("Адрес", 0, 0, false, false, model::kNoItem);
  ASSERT_TRUE(realinput::ShowActive(view));

  // A person's click on the second row's label.
  const QRect label = tree->CellRect(second, 0);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, label.center());
  ASSERT_EQ(tree->SelectedItem(), second);
  QApplication::processEvents();
  const QImage shot = tree->viewport()->grab().toImage();
  const QColor highlight = tree->palette().color(QPalette::Active, QPalette::Highlight);
  // The image slot just left of the label is the highlight, like the label itself;
  // the row not selected stays white there.
  const int slotX = label.left() - 8;
  EXPECT_EQ(QColor(shot.pixel(slotX, label.center().y())), highlight);
  EXPECT_EQ(QColor(shot.pixel(label.left() + label.width() - 10, label.center().y())), highlight);
  EXPECT_EQ(QColor(shot.pixel(slotX, tree->CellRect(first, 0).center().y())), QColor(Qt::white));
}

TEST(LegibleWindowsXvfb, SubMenuArrowAndToolbarImagesThatDifferInShape) {
  Z580_REQUIRE_XCB();
  auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
  InstallMenuStyle(*application);
  CMainFrame frame(CMainFrame::Hooks{});
  frame.resize(900, 500);
  ASSERT_TRUE(realinput::ShowActive(frame));

  // "Настройки" opened by a click on the menu bar.
  QMenu* settings = frame.SubMenu(2);
  ASSERT_NE(settings, nullptr);
  QTest::mouseClick(frame.menuBar(), Qt::LeftButton, {},
                    frame.menuBar()->actionGeometry(settings->menuAction()).center());
  ASSERT_TRUE(WaitUntil([&] { return QApplication::activePopupWidget() == settings; }, 10000));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(settings));
  const QImage shot = settings->grab().toImage();
  QAction* converter = nullptr;
  for (QAction* a : settings->actions())
    if (a->menu()) converter = a;
  ASSERT_NE(converter, nullptr);
  EXPECT_EQ(converter->text(), QStringLiteral("Преобразователь RS-485"));
  auto inkAtRightEnd = [&](QAction* action) {
    const QRect r = settings->actionGeometry(action);
    int dark = 0;
    for (int x = r.right() - 18; x < r.right(); ++x)
      for (int y = r.top(); y <= r.bottom(); ++y) dark += qGray(shot.pixel(x, y)) < 110;
    return dark;
  };
  EXPECT_GT(inkAtRightEnd(converter), 6) << "no sub-menu arrow";
  EXPECT_EQ(inkAtRightEnd(frame.Action(mainframe::kCmdPortSetup)), 0);
  QTest::keyClick(settings, Qt::Key_Escape);

  // Every toolbar button's image has a shape of its own (not only a colour).
  std::set<QByteArray> shapes;
  int buttons = 0;
  for (QAction* action : frame.ToolBar()->actions()) {
    if (action->isSeparator()) continue;
    ++buttons;
    const QImage image = action->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(image.isNull()) << action->data().toInt();
    QByteArray shape;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const QRgb p = image.pixel(x, y);
        shape.append(qAlpha(p) < 128 ? '.' : qGray(p) < 128 ? '#' : '+');
      }
    EXPECT_TRUE(shapes.insert(shape).second) << "command " << action->data().toInt() << " looks like another";
  }
  EXPECT_EQ(buttons, 15);
}

TEST(LegibleWindowsXvfb, AboutBoxShowsTheProgramIconWithoutAnInstallation) {
  Z580_REQUIRE_XCB();
  Dialogs::CAboutDlg about;
  ASSERT_TRUE(realinput::ShowActive(about));
  int opaque = 0;
  for (const QLabel* label : about.findChildren<QLabel*>()) {
    const QImage icon = label->pixmap().toImage();
    for (int y = 0; y < icon.height(); ++y)
      for (int x = 0; x < icon.width(); ++x) opaque += qAlpha(icon.pixel(x, y)) > 128;
  }
  EXPECT_GT(opaque, 32 * 32 / 2);
  about.reject();
}

class LegibleDialogsXvfb : public ServiceDialogTest {
 protected:
  void Open(int model) {
    App().SetDeviceModel(nullptr);
    doc_.reset();
    if (sim_) sim_->Stop();
    ASSERT_NO_FATAL_FAILURE(StartModule(model));
    ASSERT_NO_FATAL_FAILURE(OpenDocument());
    App().SetDeviceModel(CreateDeviceModel(static_cast<signed char>(model), doc_.get()));
  }
  void TearDown() override {
    App().SetDeviceModel(nullptr);
    ServiceDialogTest::TearDown();
  }
};

TEST_F(LegibleDialogsXvfb, StateDialogCaptionsAreWhole) {
  Z580_REQUIRE_XCB();
  for (int model : {3, 15, 16}) {
    SCOPED_TRACE(model);
    ASSERT_NO_FATAL_FAILURE(Open(model));
    Dialogs::CStateInOutDlg dialog(*doc_, nullptr);
    ASSERT_TRUE(realinput::ShowActive(dialog));
    std::vector<QRect> shown;
    for (myClass::CStateTableCtrl* table : {dialog.InputsTable(), dialog.OutputsTable()}) {
      if (!table->isVisible()) continue;
      const QFontMetrics cells(table->font());
      const QFontMetrics captions(table->horizontalHeader()->font());
      for (int column = 0; column < table->GetColumnCount(); ++column) {
        const QString heading = table->model()->headerData(column, Qt::Horizontal).toString();
        EXPECT_GE(table->columnWidth(column), captions.horizontalAdvance(heading)) << heading.toStdString();
        // Cell texts start 3 pixels into the cell.
        for (int row = 0; row < table->GetItemCount(); ++row) {
          const std::string text = table->GetItemText(row, column);
          EXPECT_GE(table->columnWidth(column) - 3, cells.horizontalAdvance(QString::fromStdString(text))) << text;
        }
      }
      // The columns fit the table: no sideways scrolling hides a part of them.
      int columns = 0;
      for (int column = 0; column < table->GetColumnCount(); ++column) columns += table->columnWidth(column);
      EXPECT_LE(columns, table->viewport()->width());
      EXPECT_TRUE(dialog.rect().contains(table->geometry()));
      for (const QRect& other : shown) EXPECT_FALSE(other.intersects(table->geometry()));
      shown.push_back(table->geometry());
    }
    EXPECT_FALSE(shown.empty());
    dialog.reject();
    ASSERT_TRUE(WaitUntil([&] { return !dialog.isVisible(); }, 10000));
  }
}

// Run under a window manager, where the list pops up as a window of its own, and
// with the program's style, whose list items are drawn in the menus' larger font:
// the open sensor list shows every name whole.
class LegibleDialogsOpenbox : public LegibleDialogsXvfb {};

TEST_F(LegibleDialogsOpenbox, AnalogInputDialogShowsWholeSensorNamesAndDescription) {
  Z580_REQUIRE_XCB();
  InstallMenuStyle(*qobject_cast<QApplication*>(QCoreApplication::instance()));
  ASSERT_NO_FATAL_FAILURE(Open(0));
  calibration::DeviceCalibrationLink link(*doc_->GetDevice());
  Dialogs::CCalibrate1 dialog(link, doc_->rootBranch);
  ASSERT_TRUE(realinput::ShowActive(dialog));
  // Each type with a sensor list, chosen with the keyboard; the list opened with Alt+Down.
  dialog.typeCombo()->setFocus();
  for (int type = 1; type <= 4; ++type) {
    SCOPED_TRACE(type);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    ASSERT_EQ(dialog.typeCombo()->currentIndex(), type);
    QApplication::processEvents();
    QComboBox* sensor = dialog.sensorCombo();
    if (!sensor->isVisible()) continue;
    sensor->setFocus();
    QTest::keyClick(sensor, Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(realinput::Dropped(QPointer<QComboBox>(sensor)));
    QAbstractItemView* list = sensor->view();
    // The widest item as the list's own delegate measures it.
    EXPECT_GE(list->viewport()->width(), list->sizeHintForColumn(0));
    EXPECT_TRUE(list->window()->screen()->geometry().contains(list->window()->frameGeometry()));
    QTest::keyClick(list, Qt::Key_Escape);
    ASSERT_TRUE(realinput::Until([&] { return !list->isVisible(); }));
    dialog.typeCombo()->setFocus();
  }

  const auto* description = dialog.findChild<QLabel*>(QStringLiteral("id1175"));
  ASSERT_NE(description, nullptr);
  EXPECT_FALSE(description->text().isEmpty());
  // The window manager answers each resize the new types asked for in its own time,
  // an older answer possibly after a newer request: the description is measured
  // once the dialog has the size its layout asked for.
  EXPECT_TRUE(realinput::Until([&] { return description->height() >= description->heightForWidth(description->width()); }))
      << description->height() << " vs " << description->heightForWidth(description->width());
  dialog.reject();
}

TEST_F(LegibleDialogsXvfb, InductancePointsFitTheTableWithNumbersCentred) {
  Z580_REQUIRE_XCB();
  ASSERT_NO_FATAL_FAILURE(Open(12));
  calibration::DeviceCalibrationLink link(*doc_->GetDevice());
  CalibrationVI::CSheetVI sheet(&link, doc_->rootBranch, doc_->scannersBranch);
  sheet.Begin();
  auto* page = sheet.FindPageByClass<CalibrationVI::CUserMeasuringPage>();
  sheet.SetActivePage(page);
  ASSERT_TRUE(realinput::ShowActive(sheet));
  myClass::CPointsTableCtrl* table = page->table();
  int columns = 0;
  for (int column = 0; column < table->GetColumnCount(); ++column) columns += table->columnWidth(column);
  EXPECT_LE(columns, table->viewport()->width());
  EXPECT_FALSE(table->horizontalScrollBar()->isVisible());

  // The row number's ink sits in the middle of its cell.
  const QImage shot = table->viewport()->grab().toImage();
  const QRect cell = table->visualRect(table->model()->index(0, 0));
  int left = cell.right(), right = cell.left();
  for (int x = cell.left() + 1; x < cell.right(); ++x)
    for (int y = cell.top() + 2; y < cell.bottom() - 1; ++y)
      if (qGray(shot.pixel(x, y)) < 128) left = std::min(left, x), right = std::max(right, x);
  ASSERT_LE(left, right) << "no row number drawn";
  EXPECT_NEAR((left + right) / 2.0, cell.center().x(), 4.0);
  sheet.reject();
}

}  // namespace
