#pragma once
// The inductance-sensor calibration: factory (the lower and upper end of the range
// against a reference box) or user (a table of up to 21 points, fitted by a
// natural cubic spline whose coefficients go to the module).
#include "calibration/ui/CommonWizardPages.h"
#include "controls/CSetupTableCtrl.h"

class DescBranch;
class QPushButton;

namespace myClass {

// The points table: edited texts go through the cell's parameter; the button
// column measures the row's inductance.
class CPointsTableCtrl : public CSetupTableCtrl {
  Q_OBJECT

 public:
  explicit CPointsTableCtrl(calibration::CalibrationLink* link, QWidget* parent = nullptr)
      : CSetupTableCtrl(parent), link_(link) {}
  int SetCellText(int row, int column, const std::string& text) override;
  void OnEndEdit(const std::string& text) override;
  void OnButtonCell(int row, int column) override;

 private:
  calibration::CalibrationLink* link_;
};

}  // namespace myClass

namespace CalibrationVI {

class CSheetVI : public CmySheet {
  Q_OBJECT

 public:
  CSheetVI(calibration::CalibrationLink* link, DescBranch* tree, DescBranch* polled, QWidget* parent = nullptr);
  DescBranch* tree() const { return tree_; }
  DescBranch* polled() const { return polled_; }

 private:
  DescBranch* tree_;
  DescBranch* polled_;
};

class CPage1VI : public CCodeBasePage {
  Q_OBJECT

 public:
  explicit CPage1VI(CSheetVI* sheet);
  void OnInitDialog() override;
  int OnWizardNext() override;
  QComboBox* kindCombo() const { return sensor_; }
  QComboBox* userModeCombo() const { return user_; }

 private:
  void OnTypeChanged();
};

class CMinPage : public CTextPage {
  Q_OBJECT

 public:
  explicit CMinPage(CSheetVI* sheet) : CTextPage(sheet, QStringLiteral("Шаг 2")) {}
  void OnSetActive() override;
  int OnWizardNext() override;
};

class CMaxPage : public CTextPage {
  Q_OBJECT

 public:
  explicit CMaxPage(CSheetVI* sheet) : CTextPage(sheet, QStringLiteral("Шаг 3")) {}
  void OnSetActive() override;
  int OnWizardNext() override;
};

class CSaveVIPage : public CSavePage {
  Q_OBJECT

 public:
  explicit CSaveVIPage(CSheetVI* sheet) : CSavePage(sheet) {}
  bool OnWizardFinish() override;
};

class CUserTablePage : public CWizardPage {
  Q_OBJECT

 public:
  explicit CUserTablePage(CSheetVI* sheet, bool measuring = false);
  void OnInitDialog() override;
  void OnSetActive() override;
  int OnWizardBack() override;
  bool OnWizardFinish() override;
  void OnApplyPointCount();

  myClass::CPointsTableCtrl* table() const { return table_; }
  QLineEdit* countEdit() const { return count_; }
  QPushButton* applyButton() const { return apply_; }

 protected:
  // The table's columns follow its client width.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Columns in their proportions (1:3:3, or 1:3:3:3 with the measuring buttons)
  // filling the table's client width, so that it never scrolls sideways.
  void FitColumns();
  bool measuring_;
  myClass::CPointsTableCtrl* table_ = nullptr;  // 1337
  QLineEdit* count_ = nullptr;                  // 1345
  QPushButton* apply_ = nullptr;                // 1349
};

class CUserMeasuringPage : public CUserTablePage {
  Q_OBJECT

 public:
  explicit CUserMeasuringPage(CSheetVI* sheet) : CUserTablePage(sheet, true) {}
};

}  // namespace CalibrationVI
