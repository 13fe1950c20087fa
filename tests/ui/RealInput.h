// Tests that drive windows with real input events: they run on the xcb platform
// under Xvfb (the tests_ui_xvfb run picks the suites named *Xvfb*) and are skipped
// on the offscreen platform, where there is no focus and no popup to speak of.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <functional>

#define Z580_REQUIRE_XCB()                                    \
  do {                                                        \
    if (QGuiApplication::platformName() != QLatin1String("xcb")) \
      GTEST_SKIP() << "needs a real X display (tests_ui_xvfb)"; \
  } while (false)

namespace realinput {

// Shows the window, makes it the active one and waits until the X server agrees:
// key events then reach the focus widget the way a person's typing does.
inline ::testing::AssertionResult ShowActive(QWidget& window) {
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return ::testing::AssertionFailure() << "window not exposed";
  window.raise();
  window.activateWindow();
  if (!QTest::qWaitForWindowActive(&window)) return ::testing::AssertionFailure() << "window not active";
  QApplication::processEvents();
  return ::testing::AssertionSuccess();
}

// Waits (at most 3 s) until the condition holds, with events delivered meanwhile.
inline bool Until(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 3000); }

// Rolls the mouse wheel over a point of the screen through the X server (QTest has
// no wheel): notches > 0 roll down, < 0 up.
inline ::testing::AssertionResult Wheel(QPoint global, int notches) {
  QStringList args{"mousemove", QString::number(global.x()), QString::number(global.y())};
  for (int i = 0; i < std::abs(notches); ++i) args << "click" << (notches > 0 ? "5" : "4");
  QProcess xdotool;
  xdotool.start("xdotool", args);
  if (!xdotool.waitForFinished(5000) || xdotool.exitCode() != 0)
    return ::testing::AssertionFailure() << "xdotool failed: " << xdotool.readAllStandardError().toStdString();
  // The events come back through the X connection.
  QTest::qWait(300);
  return ::testing::AssertionSuccess();
}

// A list editor as a person drives it: a click on its arrow drops the list down, a
// click on an item of the dropped list takes it.
inline void ClickArrow(QComboBox* box) {
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 6, box->height() / 2));
}
inline void ClickListItem(QAbstractItemView* list, int row) {
  // A release right after the list opened is taken for the opening click's own.
  QTest::qWait(QApplication::doubleClickInterval() + 50);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(row, 0)).center());
}
// Waits until the box (still there) shows its list dropped down.
template <class Box>
bool Dropped(const QPointer<Box>& box) {
  return Until([&] { return box && box->isVisible() && box->view()->isVisible(); });
}

}  // namespace realinput
