#pragma once
// "Произвольный доступ к отдельным параметрам (Single Point)": reads or writes
// any one parameter by its protocol name and lists every byte of the exchange.
#include <QDialog>

#include "app/SinglePointCommand.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace Dialogs {

class CSinglePoint : public QDialog {
  Q_OBJECT

 public:
  CSinglePoint(const std::vector<DescParameter>& catalogue, DeviceIO* link, QWidget* parent);

  const SinglePointFields& Fields() const { return fields_; }

  // The handlers of the controls (public for the window tests).
  void OnCommandUpdate();
  void OnOperationUpdate();
  void OnIndexUpdate();
  void OnExecute();

 private:
  // Controls -> fields, fields -> controls.
  void ReadControls();
  void WriteControls();

  SinglePointFields fields_;
  SinglePointCommand command_;
  QComboBox* commandBox_ = nullptr;    // 1047
  QLineEdit* hash_ = nullptr;          // 1048
  QLineEdit* description_ = nullptr;   // 1070
  QRadioButton* read_ = nullptr;       // 1049
  QRadioButton* write_ = nullptr;      // 1051
  QCheckBox* hasIndex_ = nullptr;      // 1053
  QLineEdit* index_ = nullptr;         // 1054
  QRadioButton* indexInData_ = nullptr;     // 143
  QRadioButton* indexInAddress_ = nullptr;  // 1050
  QLabel* valueLabel_ = nullptr;       // 1059
  QComboBox* value_ = nullptr;         // 1028
  QListWidget* trace_ = nullptr;       // 1045
  QPushButton* execute_ = nullptr;     // 1052
};

}  // namespace Dialogs
