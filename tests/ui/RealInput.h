// Tests that drive windows with real input events: they run on the xcb platform
// under Xvfb (the tests_ui_xvfb run picks the suites named *Xvfb*) and are skipped
// on the offscreen platform, where there is no focus and no popup to speak of.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QTest>
#include <QWidget>

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

}  // namespace realinput
