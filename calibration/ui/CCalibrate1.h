#pragma once
// The analog-input calibration: the first dialog chooses the calibration type, the
// sensor and the channel and checks the type's access code; the second runs the
// module's calibration task step by step. The entry runs them in a loop (a repeat
// or a next channel opens the next dialog after the previous one closed).
#include <QDialog>
#include <optional>
#include <string>

#include "calibration/Calibrate2Machine.h"

class DescBranch;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace calibration {
class CalibrationLink;
}

namespace Dialogs {

// What the first dialog hands to the second.
struct CalibrationChoice {
  int type = 0;
  std::string instruction;
  int channel = 0;
};

class CCalibrate1 : public QDialog {
  Q_OBJECT

 public:
  CCalibrate1(calibration::CalibrationLink& link, DescBranch* tree, QWidget* parent = nullptr);

  // Set when the dialog closed with OK.
  const std::optional<CalibrationChoice>& choice() const { return choice_; }
  void accept() override;

  QComboBox* typeCombo() const { return type_; }
  QComboBox* sensorCombo() const { return sensor_; }
  QComboBox* channelCombo() const { return channel_; }
  QLineEdit* codeEdit() const { return code_; }

 private:
  void TypeChanged(int type);

  calibration::CalibrationLink& link_;
  DescBranch* tree_;
  std::optional<CalibrationChoice> choice_;
  QLabel* sensorLabel_ = nullptr;   // 1173
  QLabel* channelLabel_ = nullptr;  // 1184
  QComboBox* channel_ = nullptr;    // 1183
  QComboBox* sensor_ = nullptr;     // 1174
  QComboBox* type_ = nullptr;       // 1171
  QLineEdit* code_ = nullptr;       // 1176
  QSpinBox* spin_ = nullptr;        // 1177
  QLabel* description_ = nullptr;   // 1175
};

class CCalibrate2 : public QDialog {
  Q_OBJECT

 public:
  CCalibrate2(calibration::CalibrationLink& link, const CalibrationChoice& choice, QWidget* parent = nullptr);
  // The dialog goes: "CLB.A" once more.
  ~CCalibrate2() override;

  calibration::Calibrate2Machine& machine() { return machine_; }
  QPushButton* continueButton() const { return continue_; }
  QString Heading() const;
  QString MainText() const;
  void reject() override;

 private:
  void Continue();
  void Carry(calibration::Calibrate2Machine::Request request);
  void Show();

  calibration::Calibrate2Machine machine_;
  QLineEdit* heading_ = nullptr;   // 1205
  QLabel* main_ = nullptr;         // 1172
  QPushButton* continue_ = nullptr;  // 1
  QPushButton* cancel_ = nullptr;
  QTimer* timer_ = nullptr;
  QString ownCaption_;
};

// The whole analog-input calibration of the models of indexes 0 and 8 (firstModel:
// index 0), with the boxes before and after the second dialog.
void RunAnalogInputCalibration(calibration::CalibrationLink& link, DescBranch* tree, bool firstModel,
                               const std::string& displayName, QWidget* parent = nullptr);

}  // namespace Dialogs
