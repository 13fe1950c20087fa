#include "app/ui/QtPrompter.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <cstdio>

#include "devices/SplashWindow.h"
#include "link/AppState.h"
#include "resources/StringTable.h"

namespace {

int DefaultAnswer(platform::MessageButtons buttons) {
  switch (buttons) {
    case platform::MessageButtons::YesNo:
    case platform::MessageButtons::YesNoCancel: return platform::kAnswerNo;
    case platform::MessageButtons::RetryCancel:
    case platform::MessageButtons::OkCancel: return platform::kAnswerCancel;
    default: return platform::kAnswerOk;
  }
}

}  // namespace

QtPrompter::QtPrompter(bool silentRun) : silentRun_(silentRun), previous_(platform::SetPrompter(this)) {}

QtPrompter::~QtPrompter() { platform::SetPrompter(previous_); }

int QtPrompter::Show(const platform::MessageRequest& r) {
  const std::string caption = r.caption.empty() ? resources::LoadString(kStrAppTitle) : r.caption;
  if (silentRun_ || App().batchRun || QApplication::instance() == nullptr ||
      QThread::currentThread() != QApplication::instance()->thread()) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), r.text.c_str());
    std::fflush(stderr);
    // Nothing is decided for the user without asking: questions get the cautious answer.
    return DefaultAnswer(r.buttons);
  }
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (r.icon) {
    case platform::MessageIcon::Error: icon = QMessageBox::Critical; break;
    case platform::MessageIcon::Warning: icon = QMessageBox::Warning; break;
    case platform::MessageIcon::Question: icon = QMessageBox::Question; break;
    case platform::MessageIcon::Information: icon = QMessageBox::Information; break;
    case platform::MessageIcon::None: break;
  }
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  switch (r.buttons) {
    case platform::MessageButtons::Ok: break;
    case platform::MessageButtons::OkCancel: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
    case platform::MessageButtons::YesNo: buttons = QMessageBox::Yes | QMessageBox::No; break;
    case platform::MessageButtons::YesNoCancel:
      buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
      break;
    case platform::MessageButtons::RetryCancel: buttons = QMessageBox::Retry | QMessageBox::Cancel; break;
  }
  // The splash window stays above every other window (a window manager keeps it
  // there): it goes before a box that it would cover, and start-up goes on without it.
  if (BaseDevice::SplashWindow* splash = BaseDevice::CurrentSplashWindow()) splash->Destroy();
  QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(r.text), buttons, mainWindow_);
  switch (box.exec()) {
    case QMessageBox::Ok: return platform::kAnswerOk;
    case QMessageBox::Yes: return platform::kAnswerYes;
    case QMessageBox::No: return platform::kAnswerNo;
    case QMessageBox::Retry: return platform::kAnswerRetry;
    default: return platform::kAnswerCancel;
  }
}
