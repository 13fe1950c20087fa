#pragma once
// The progress dialog "Прибор <==> программа" of a link task: shows the task's
// lines, the elapsed time and the count of parameters done; its button "Прервать!"
// asks the link to abort. It closes when the task ends (never by itself).
#include <QDialog>
#include <QStringList>

#include "link/TaskWindow.h"

class Device;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace Dialogs {

class TaskProgressDialog : public QDialog {
  Q_OBJECT

 public:
  TaskProgressDialog(Device& device, int captionId, int total, QWidget* parent);

  void AddLine(const exchange::ProgressLine& line);
  QStringList Lines() const;
  QString ElapsedText() const;
  QString CountsText() const;
  int ProgressValue() const;

  // Escape and the window's close button abort the task like the button; the
  // dialog still closes only when the task has ended.
  void reject() override;

 private:
  void Abort();

  Device& device_;
  QPushButton* abort_ = nullptr;
  QListWidget* list_ = nullptr;      // 1000
  QLabel* elapsed_ = nullptr;        // 1100
  QProgressBar* progress_ = nullptr; // 1302
  QLabel* counts_ = nullptr;         // 1303
};

}  // namespace Dialogs
