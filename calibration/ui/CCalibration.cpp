#include "calibration/ui/CCalibration.h"

#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "link/AppState.h"
#include "platform/Prompter.h"

namespace Dialogs {

namespace {
const int kSteps[6] = {-2, 2, -5, 5, -10, 10};
}

CCalibration::CCalibration(calibration::CalibrationLink& link, const calibration::OutputTypes& types,
                           int outputCount, QWidget* parent)
    : QDialog(parent), calibration_(link) {
  setWindowTitle(QStringLiteral("Юстировка аналоговых выходов"));
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("Коэффициенты:"), this), 0, 0, 1, 2);
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("id1336"));
  grid->addWidget(list_, 1, 0, 4, 1);
  edit_ = new QLineEdit(this);
  edit_->setObjectName(QStringLiteral("id1328"));
  grid->addWidget(edit_, 1, 1, 1, 2);
  for (int i = 0; i < 6; ++i) {
    steps_[i] = new QPushButton(QString::asprintf("%+d", kSteps[i]), this);
    steps_[i]->setObjectName(QStringLiteral("id%1").arg(1329 + i));
    steps_[i]->setAutoDefault(false);
    grid->addWidget(steps_[i], 2 + i / 2, 1 + i % 2);
    const int step = kSteps[i];
    connect(steps_[i], &QPushButton::clicked, this, [this, step] { Step(step); });
  }
  finish_ = new QPushButton(QStringLiteral("Закончить"), this);
  finish_->setObjectName(QStringLiteral("id1"));
  finish_->setAutoDefault(false);
  grid->addWidget(finish_, 5, 1, 1, 2);
  connect(finish_, &QPushButton::clicked, this, &CCalibration::accept);
  pause_ = new QTimer(this);
  pause_->setSingleShot(true);
  connect(pause_, &QTimer::timeout, this, [this] { QDialog::accept(); });

  for (const calibration::OutputPoint& p : calibration::ListPoints(link, types, outputCount,
                                                                   App().automaticReading.load())) {
    auto* item = new QListWidgetItem(QString::fromStdString(p.text), list_);
    item->setData(Qt::UserRole, p.point);
  }
  EnableEditing(false);
  // A point is chosen by selecting it. The current row alone is no choice: the list
  // makes its first row current when it takes the focus as the dialog shows, and
  // nothing may go to the module before the user picks a point.
  connect(list_, &QListWidget::itemSelectionChanged, this, &CCalibration::PointChanged);
  list_->installEventFilter(this);
  list_->viewport()->installEventFilter(this);
  // Only a finished edit is written, never each keystroke: Return, or the focus
  // going elsewhere in the window (see eventFilter).
  connect(edit_, &QLineEdit::returnPressed, this, &CCalibration::ValueEdited);
  edit_->installEventFilter(this);
}

QPushButton* CCalibration::StepButton(int step) const {
  for (int i = 0; i < 6; ++i)
    if (kSteps[i] == step) return steps_[i];
  return nullptr;
}

void CCalibration::EnableEditing(bool enabled) {
  edit_->setEnabled(enabled);
  for (QPushButton* b : steps_) b->setEnabled(enabled);
}

bool CCalibration::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonPress) personActed_ = true;
  // Another program's window or a message box taking the activation for a while,
  // or the box's own menu, confirm nothing: the typed value stays unwritten.
  if (watched == edit_ && event->type() == QEvent::FocusOut && edit_->isModified()) {
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason)
      ValueEdited();
  }
  return QDialog::eventFilter(watched, event);
}

void CCalibration::PointChanged() {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty() || closing_ || choosing_) return;
  // After a refusal only a person's next key or click chooses again; what the list
  // does on its own (as its box closes) shows the point in force again instead.
  if (!personActed_) {
    ShowCurrentPoint();
    return;
  }
  QListWidgetItem* item = selected.front();
  choosing_ = true;
  const calibration::AnalogOutputCalibration::Selection selection =
      calibration_.SelectPoint(item->data(Qt::UserRole).toInt(), edit_->text().toStdString());
  choosing_ = false;
  if (selection == calibration::AnalogOutputCalibration::Selection::Refused) personActed_ = false;
  if (selection == calibration::AnalogOutputCalibration::Selection::Ended) {
    closing_ = true;
    QDialog::reject();
    return;
  }
  // A refused choice leaves the point the module still works on (or none): the
  // list shows that one, so the edit and the steps act on the point it shows.
  if (selection == calibration::AnalogOutputCalibration::Selection::Refused) ShowCurrentPoint();
  // Without a point the edit and the steps have no value of the module to work on.
  EnableEditing(calibration_.hasPoint());
  ShowHeldValue();
}

void CCalibration::ShowCurrentPoint() {
  const QSignalBlocker block(list_);
  for (int row = 0; row < list_->count(); ++row) {
    QListWidgetItem* item = list_->item(row);
    if (calibration_.hasPoint() && item->data(Qt::UserRole).toInt() == calibration_.currentPoint()) {
      list_->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
      return;
    }
  }
  list_->clearSelection();
}

void CCalibration::ValueEdited() {
  if (closing_ || !calibration_.hasPoint()) return;
  edit_->setModified(false);
  const std::optional<int> value = calibration::ParsePointValue(edit_->text().toStdString());
  if (!value) {
    platform::ShowMessage(calibration::kValueNotWrittenText, std::string(), platform::MessageIcon::Warning);
    ShowHeldValue();
    return;
  }
  if (!calibration_.WriteValue(*value)) ShowHeldValue();
}

void CCalibration::ShowHeldValue() {
  // What the edit shows is what the output is set to.
  const QSignalBlocker block(edit_);
  const std::optional<int> held = calibration_.heldValue();
  edit_->setText(held ? QString::number(*held) : QString());
}

void CCalibration::Step(int step) {
  // A step moves the value the module holds, never a text it was not given.
  const std::optional<int> value = calibration_.heldValue();
  if (!value || !calibration_.hasPoint()) return;
  const std::optional<int> next = calibration::StepValue(*value, step);
  if (!next) return;
  const QSignalBlocker block(edit_);
  edit_->setText(QString::number(*next));
  if (!calibration_.WriteValue(*next)) ShowHeldValue();
}

void CCalibration::Close() {
  if (closing_) return;
  closing_ = true;
  EnableEditing(false);
  finish_->setEnabled(false);
  const bool ended = calibration_.Finish(calibration::ParsePointValue(edit_->text().toStdString()));
  if (ended)
    pause_->start(calibration::AnalogOutputCalibration::kFinishPauseMs);
  else
    QDialog::accept();
}

void CCalibration::accept() { Close(); }

void CCalibration::reject() {
  if (closing_ && !pause_->isActive()) {
    QDialog::reject();
    return;
  }
  Close();
}

}  // namespace Dialogs
