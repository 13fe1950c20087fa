// The main window without a document: the menu's drawing (sampled pixels), its
// command routing, the menu changes a device model makes, the placement lock and
// the splash window.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "app/MainFrameRules.h"
#include "app/ui/CDrawMenuInstall.h"
#include "app/ui/CHeadBandDlg.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/QtPrompter.h"
#include "controls/CComboEx.h"
#include "controls/CDrawMenu.h"
#include "devices/MainMenu.h"
#include "devices/SplashWindow.h"
#include "RealInput.h"

namespace {

bool IsShortcutGreen(QRgb pixel) { return qGreen(pixel) > 100 && qRed(pixel) < 90 && qBlue(pixel) < 90; }

TEST(MainWindowScreenshotTest, MenuToolbarAndStatusBar) {
  auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
  ASSERT_NE(application, nullptr);
  InstallMenuStyle(*application);
  CMainFrame frame(CMainFrame::Hooks{});
  frame.SetCommandHandler(139, [] {});
  frame.resize(900, 600);
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));

  // Toolbar of 20 slots, status bar with its indicators, five menus.
  EXPECT_EQ(frame.ToolBar()->actions().size(), 20);
  EXPECT_EQ(frame.menuBar()->actions().size(), 5);
  EXPECT_FALSE(frame.statusBar()->findChildren<QLabel*>().isEmpty());

  frame.grab().save(QString::fromLocal8Bit(qgetenv("Z580_BUILD_DIR")) + QStringLiteral("/main-window.png"));
  // Menu-bar items are as wide as their text in the menu's font.
  for (QAction* bar : frame.menuBar()->actions()) {
    QString text = bar->text();
    text.remove(QLatin1Char('&'));
    EXPECT_GE(frame.menuBar()->actionGeometry(bar).width(),
              QFontMetrics(CDrawMenu::MenuFont()).horizontalAdvance(text) + 15)
        << text.toStdString();
  }

  QMenu* device = frame.SubMenu(1);
  device->popup(frame.mapToGlobal(QPoint(10, 30)));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(device));
  const QImage shot = device->grab().toImage();
  shot.save(QString::fromLocal8Bit(qgetenv("Z580_BUILD_DIR")) + QStringLiteral("/menu-screenshot.png"));

  const QRect read = device->actionGeometry(frame.Action(139));
  ASSERT_TRUE(read.isValid());
  EXPECT_EQ(shot.pixel(read.left() + 1, read.center().y()) & 0xFFFFFF, CDrawMenu::kBackground);
  // The shortcut "Alt+R" right-aligned in green; the greyed items' shortcuts are not.
  int green = 0;
  for (int x = read.center().x(); x < read.right(); ++x)
    for (int y = read.top(); y <= read.bottom(); ++y) green += IsShortcutGreen(shot.pixel(x, y));
  EXPECT_GT(green, 5);
  const QRect write = device->actionGeometry(frame.Action(140));  // no handler: greyed
  int greyedGreen = 0;
  for (int x = write.center().x(); x < write.right(); ++x)
    for (int y = write.top(); y <= write.bottom(); ++y) greyedGreen += IsShortcutGreen(shot.pixel(x, y));
  EXPECT_EQ(greyedGreen, 0);
  // The text sits left of the shortcut, in the text colour, not green (the image
  // column before it may have any colour).
  int leftGreen = 0;
  for (int x = read.left() + 23; x < read.left() + 83; ++x)
    for (int y = read.top(); y <= read.bottom(); ++y) leftGreen += IsShortcutGreen(shot.pixel(x, y));
  EXPECT_EQ(leftGreen, 0);
  device->close();
}

TEST(MainWindowTest, CommandsRunThroughTheTableAndFollowTheirUpdateRules) {
  CMainFrame frame(CMainFrame::Hooks{});
  QAction* init = frame.Action(301);
  ASSERT_NE(init, nullptr);
  EXPECT_EQ(init->data().toInt(), 301);
  EXPECT_FALSE(init->isEnabled());  // no handler yet
  EXPECT_FALSE(frame.RunCommand(301));

  int runs = 0;
  bool allowed = false;
  frame.SetCommandHandler(301, [&] { ++runs; });
  frame.SetCommandEnabler(301, [&] { return allowed; });
  frame.UpdateCommandStates();
  EXPECT_FALSE(init->isEnabled());
  EXPECT_FALSE(frame.RunCommand(301));
  allowed = true;
  frame.UpdateCommandStates();
  EXPECT_TRUE(init->isEnabled());
  init->trigger();
  EXPECT_EQ(runs, 1);

  frame.PostCommand(301);
  EXPECT_EQ(runs, 1);  // queued for the window thread
  QCoreApplication::processEvents();
  EXPECT_EQ(runs, 2);
  EXPECT_FALSE(frame.Action(57667)->isEnabled());  // help has no handler
}

TEST(MainWindowTest, ModelMenuItemGoesBeforeItsCommandOnce) {
  BaseDevice::MainMenu* menu = nullptr;
  {
    CMainFrame frame(CMainFrame::Hooks{});
    menu = BaseDevice::GetMainMenu();
    ASSERT_EQ(menu, &frame);
    ASSERT_TRUE(menu->InsertItem(3, mainframe::kCmdCalibrate, 111, "Измерение веса тары"));
    EXPECT_FALSE(menu->InsertItem(3, mainframe::kCmdCalibrate, 111, "Измерение веса тары"));
    EXPECT_FALSE(menu->InsertItem(0, mainframe::kCmdCalibrate, 112, "x"));  // not in that menu
    EXPECT_TRUE(menu->HasItem(3, 111));
    EXPECT_FALSE(menu->HasItem(0, 111));
    const QList<QAction*> items = frame.SubMenu(3)->actions();
    const qsizetype at = items.indexOf(frame.Action(111));
    ASSERT_GE(at, 0);
    EXPECT_EQ(items[at + 1], frame.Action(mainframe::kCmdCalibrate));
    EXPECT_FALSE(menu->RemoveItem(0, 111));
    EXPECT_TRUE(menu->RemoveItem(3, 111));
    EXPECT_FALSE(menu->RemoveItem(3, 111));
    EXPECT_EQ(frame.Action(111), nullptr);
  }
  // A model deleted after the window finds no menu to change.
  EXPECT_EQ(BaseDevice::GetMainMenu(), nullptr);
}

TEST(MainWindowTest, PlacementLockHoldsTheWindowUntilReleased) {
  CMainFrame frame(CMainFrame::Hooks{});
  mainframe::Placement placement;
  placement.show = mainframe::WindowShow::Placed;
  placement.x = 10, placement.y = 20, placement.width = 640, placement.height = 480;
  placement.lock = true;
  frame.ApplyPlacement(placement);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  EXPECT_EQ(frame.size(), QSize(640, 480));
  EXPECT_EQ(frame.minimumSize(), frame.maximumSize());
  frame.setWindowState(Qt::WindowMaximized);
  QTest::qWait(50);
  EXPECT_FALSE(frame.isMaximized());
  frame.SetPlacementLock(false);
  EXPECT_NE(frame.minimumSize(), frame.maximumSize());
}

TEST(MainWindowTest, SplashCreatedAgainOnlyChangesItsText) {
  CHeadBandDlg splash;
  EXPECT_EQ(splash.Create(QStringLiteral("Инициализация..."), nullptr), 1);
  QWidget* window = splash.Window();
  EXPECT_EQ(splash.Create(QStringLiteral("Проверка значений..."), nullptr), 0);
  EXPECT_EQ(splash.Window(), window);
  EXPECT_EQ(splash.Picture()->Text(), QStringLiteral("Проверка значений..."));

  // It stays above every window: a message box (the port's at start-up) sends it away
  // rather than show under it.
  BaseDevice::SplashWindow* installed = BaseDevice::SetSplashWindow(&splash);
  QtPrompter prompter(false);
  bool splashUnderBox = true;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      splashUnderBox = splash.IsVisible();
      box->close();
    }
  });
  closer.start(10);
  prompter.Show({"Не удается открыть порт", "", platform::MessageIcon::Error});
  BaseDevice::SetSplashWindow(installed);
  EXPECT_FALSE(splashUnderBox);
  splash.Destroy();
  EXPECT_FALSE(splash.IsVisible());
}

// The start-up connection keeps the window thread: what the display shows of the
// splash window (mapped through the window manager) is what Create left there,
// read back from the X server.
TEST(MainWindowOpenbox, SplashIsOnTheScreenWhenCreateReturns) {
  Z580_REQUIRE_XCB();
  CHeadBandDlg splash;
  ASSERT_EQ(splash.Create(QStringLiteral("Инициализация..."), nullptr), 1);
  const QRect place = splash.Window()->frameGeometry();
  const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0, place.x(), place.y(), place.width(), 8).toImage();
  splash.Destroy();
  // The picture's top is near white; the bare screen of Xvfb is black.
  const QRgb top = shot.pixel(shot.width() / 2, 4);
  EXPECT_GT(qGray(top), 200) << std::hex << top;
}

TEST(MainWindowTest, ComboShowsItsMarkedItemInGreenAlsoWhenClosed) {
  CComboEx combo;
  combo.SetItems({QStringLiteral("4-20 мА"), QStringLiteral("0-20 мА"), QStringLiteral("0-5 мА")});
  combo.resize(160, 26);
  combo.setCurrentIndex(1);
  auto greenPixels = [&] {
    const QImage image = combo.grab().toImage();
    int green = 0;
    for (int x = 0; x < image.width(); ++x)
      for (int y = 0; y < image.height(); ++y) {
        const QRgb p = image.pixel(x, y);
        green += qGreen(p) > 120 && qRed(p) < 90 && qBlue(p) < 90;
      }
    return green;
  };
  EXPECT_EQ(greenPixels(), 0);  // no marked item
  combo.SetMarkedItem(1);
  EXPECT_GT(greenPixels(), 5);
  combo.setCurrentIndex(2);
  EXPECT_EQ(greenPixels(), 0);
  combo.SetItems({QStringLiteral("a")});
  EXPECT_EQ(combo.count(), 1);
}

}  // namespace
