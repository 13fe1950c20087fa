#pragma once
// The analog-output calibration dialog: the user picks an output's 4 mA or 20 mA
// point and adjusts its raw value while watching the output on a meter; closing
// ends the module's calibration mode.
#include <QDialog>

#include "calibration/AnalogOutput.h"

class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

namespace Dialogs {

class CCalibration : public QDialog {
  Q_OBJECT

 public:
  // outputCount: 8, or 6 on the model with six outputs.
  CCalibration(calibration::CalibrationLink& link, const calibration::OutputTypes& types, int outputCount,
               QWidget* parent = nullptr);

  QListWidget* pointList() const { return list_; }
  QLineEdit* valueEdit() const { return edit_; }
  QPushButton* StepButton(int step) const;
  QPushButton* finishButton() const { return finish_; }

  void accept() override;
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void PointChanged();
  void ValueEdited();
  void ShowHeldValue();
  void ShowCurrentPoint();
  void Step(int step);
  void Close();
  void EnableEditing(bool enabled);

  calibration::AnalogOutputCalibration calibration_;
  QListWidget* list_ = nullptr;  // 1336
  QLineEdit* edit_ = nullptr;    // 1328
  QPushButton* steps_[6] = {};   // 1329..1334
  QPushButton* finish_ = nullptr;
  QTimer* pause_ = nullptr;
  bool closing_ = false;
  bool choosing_ = false;     // a choice (and its box) is under way
  bool personActed_ = true;   // a key or click on the list since the last refusal
};

}  // namespace Dialogs
