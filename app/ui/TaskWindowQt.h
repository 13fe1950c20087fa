#pragma once
// The link's window layer in Qt: runs the progress dialog of a task on the window
// thread and turns the calls of the link's threads into queued calls to the
// window thread (never waiting for it).
#include <QObject>
#include <QPointer>
#include <functional>

#include "app/ui/TaskProgressDialog.h"
#include "link/TaskWindow.h"

class TaskWindowQt : public QObject, public exchange::TaskWindow {
  Q_OBJECT

 public:
  // Installs itself as the link's window layer; the destructor removes it.
  explicit TaskWindowQt(QObject* parent = nullptr);
  ~TaskWindowQt() override;

  // The window the dialogs and messages belong to; none: no task can run.
  void SetMainWindow(QWidget* window) { mainWindow_ = window; }
  // What the main window does on the link's notices.
  std::function<void()> onApply;
  std::function<void()> onBatchSave;

  bool RunTaskDialog(Device& device, int taskCode, int captionId, int total) override;
  // Ends the open edits of the main window's trees.
  void EndEditing() override;
  void PostProgressLine(exchange::ProgressLine line) override;
  void PostEndDialog() override;
  void PostMessageBox(platform::MessageRequest request) override;
  void PostApply() override;
  void PostBatchSave() override;
  bool MainWindowExists() const override;

 signals:
  // The task ended; the dialog closes after this.
  void dialogEnding(Dialogs::TaskProgressDialog* dialog);

 private:
  QPointer<QWidget> mainWindow_;
  QPointer<Dialogs::TaskProgressDialog> dialog_;
  exchange::TaskWindow* previous_ = nullptr;
};
