#include "app/ui/TaskWindowQt.h"

#include <QApplication>
#include <QThread>
#include <QTimer>

#include "controls/CTreeListCtrl.h"
#include "link/Device.h"
#include "platform/Prompter.h"

TaskWindowQt::TaskWindowQt(QObject* parent) : QObject(parent) { previous_ = exchange::SetTaskWindow(this); }

TaskWindowQt::~TaskWindowQt() { exchange::SetTaskWindow(previous_); }

bool TaskWindowQt::RunTaskDialog(Device& device, int taskCode, int captionId, int total) {
  if (mainWindow_.isNull() || QThread::currentThread() != thread()) return false;
  Dialogs::TaskProgressDialog dialog(device, captionId, total, mainWindow_);
  dialog_ = &dialog;
  // The task starts once the dialog's loop runs, so that its end cannot come first.
  QTimer::singleShot(0, &dialog, [&device, taskCode] { device.OnTaskDialogCreated(taskCode); });
  dialog.exec();
  dialog_ = nullptr;
  return true;
}

void TaskWindowQt::EndEditing() {
  if (mainWindow_.isNull() || QThread::currentThread() != thread()) return;
  TreeList::CTreeListCtrl::EndEditorsIn(*mainWindow_);
}

void TaskWindowQt::PostProgressLine(exchange::ProgressLine line) {
  QMetaObject::invokeMethod(
      this,
      [this, line = std::move(line)] {
        if (dialog_) dialog_->AddLine(line);  // lines after the end are dropped
      },
      Qt::QueuedConnection);
}

void TaskWindowQt::PostEndDialog() {
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (!dialog_) return;
        emit dialogEnding(dialog_);
        dialog_->done(QDialog::Accepted);
      },
      Qt::QueuedConnection);
}

void TaskWindowQt::PostMessageBox(platform::MessageRequest request) {
  QMetaObject::invokeMethod(
      this, [request = std::move(request)] { platform::CurrentPrompter().Show(request); }, Qt::QueuedConnection);
}

void TaskWindowQt::PostApply() {
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (onApply) onApply();
      },
      Qt::QueuedConnection);
}

void TaskWindowQt::PostBatchSave() {
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (onBatchSave) onBatchSave();
      },
      Qt::QueuedConnection);
}

bool TaskWindowQt::MainWindowExists() const { return !mainWindow_.isNull(); }
