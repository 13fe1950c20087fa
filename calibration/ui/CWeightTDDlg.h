#pragma once
// The tare-weight dialog: the current weight of the channel, refreshed five times
// a second, and "Да" to take it as the tare weight.
#include <QDialog>

class DescBranch;
class QComboBox;
class QLabel;
class QLineEdit;
class QTimer;

namespace calibration {
class CalibrationLink;
}

class CWeightTDDlg : public QDialog {
  Q_OBJECT

 public:
  CWeightTDDlg(calibration::CalibrationLink& link, DescBranch* tree, bool fourChannels, QWidget* parent = nullptr);

  QLineEdit* weightEdit() const { return weight_; }
  QComboBox* channelCombo() const { return channel_; }
  void accept() override;
  void done(int result) override;

 private:
  void Refresh();
  int Channel() const;

  calibration::CalibrationLink& link_;
  DescBranch* tree_;
  bool fourChannels_;
  QLineEdit* weight_ = nullptr;   // 1345
  QLabel* channelLabel_ = nullptr;  // 1338
  QComboBox* channel_ = nullptr;  // 1346
  QTimer* timer_ = nullptr;
};
