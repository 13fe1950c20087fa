#pragma once
// The pages of the common analog-input wizard: the access code and sensor type,
// the offset and scale steps (each a command and the sheet's result poll), and the
// factory that puts the sheet together with the save and error pages.
#include <memory>
#include <string>

#include "calibration/ui/CErrorPage.h"

class DescBranch;
class QComboBox;
class QLabel;
class QLineEdit;

// Template 106: the access code, then up to three choices. Other wizards reuse it
// with their own entries; the common wizard shows the sensor choice only once the
// code was right.
class CCodeBasePage : public CWizardPage {
  Q_OBJECT

 public:
  // tree: where "in-t" is found (may be null); withoutToken3: the model that has no
  // input of the fourth sensor type.
  CCodeBasePage(CmySheet* sheet, DescBranch* tree, bool withoutToken3);
  void OnInitDialog() override;
  void OnSetActive() override;
  void OnKillActive() override;
  int OnWizardNext() override;

  QLineEdit* codeEdit() const { return code_; }
  QComboBox* sensorCombo() const { return sensor_; }

 protected:
  QLabel* codeLabel_ = nullptr;       // 1350
  QLineEdit* code_ = nullptr;         // 1345
  QLabel* sensorLabel_ = nullptr;     // 1338
  QComboBox* sensor_ = nullptr;       // 1346
  QLabel* userLabel_ = nullptr;       // 1339
  QComboBox* user_ = nullptr;         // 1347
  QLabel* rangeLabel_ = nullptr;      // 1340
  QComboBox* range_ = nullptr;        // 1348

 private:
  DescBranch* tree_;
  bool withoutToken3_;
};

// The offset ("JuSh") and scale ("JuSc") steps.
class CStepPage : public CTextPage {
  Q_OBJECT

 public:
  CStepPage(CmySheet* sheet, const QString& title, std::string command, std::string instruction);
  void OnSetActive() override;
  void OnKillActive() override;
  int OnWizardNext() override;

 private:
  std::string command_;
  std::string instruction_;
};

class COffsetPage : public CStepPage {
  Q_OBJECT

 public:
  explicit COffsetPage(CmySheet* sheet);
};

class CScalePage : public CStepPage {
  Q_OBJECT

 public:
  explicit CScalePage(CmySheet* sheet);
};

// The common wizard: code, offset, scale, save, error.
std::unique_ptr<CmySheet> MakeCommonAnalogInputWizard(calibration::CalibrationLink* link, DescBranch* tree,
                                                      bool withoutToken3, QWidget* parent = nullptr);
