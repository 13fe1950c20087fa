#pragma once
// The pH/redox calibration: the access code and a check of the electrode
// parameters, one or two points taken while the device's reading is shown live,
// and the save with its slope report.
#include "calibration/ui/CPointFormPage.h"
#include "calibration/ui/CReadingSheet.h"
#include "calibration/ui/CommonWizardPages.h"

class DescBranch;

namespace CalibrationPH {

class CSheetPH : public CReadingSheet {
  Q_OBJECT

 public:
  CSheetPH(calibration::CalibrationLink* link, DescBranch* tree, DescBranch* polled, QWidget* parent = nullptr);
  DescBranch* tree() const { return tree_; }
  DescBranch* polled() const { return polled_; }
  int mode = 0;
  int temperatureSource = -1;

 private:
  DescBranch* tree_;
  DescBranch* polled_;
};

class CCodePage : public CCodeBasePage {
  Q_OBJECT

 public:
  explicit CCodePage(CSheetPH* sheet);
  void OnInitDialog() override;
  int OnWizardNext() override;
  QComboBox* typeCombo() const { return sensor_; }
  QComboBox* pointsCombo() const { return user_; }

 private:
  CSheetPH* ph() const { return static_cast<CSheetPH*>(sheet()); }
};

// A point page; step 1 or 2.
class CStepPage : public CPointFormPage, public CReadingPage {
  Q_OBJECT

 public:
  CStepPage(CSheetPH* sheet, const QString& title, int step);
  void OnInitDialog() override;
  void OnSetActive() override;
  void OnKillActive() override;
  int OnWizardNext() override;
  void OnReadingUpdated(const SheetReading& reading) override;

 private:
  CSheetPH* ph() const { return static_cast<CSheetPH*>(sheet()); }
  int step_;
};

class CStep1Page : public CStepPage {
  Q_OBJECT

 public:
  explicit CStep1Page(CSheetPH* sheet) : CStepPage(sheet, QStringLiteral("Шаг 2"), 1) {}
};

class CStep2Page : public CStepPage {
  Q_OBJECT

 public:
  explicit CStep2Page(CSheetPH* sheet) : CStepPage(sheet, QStringLiteral("Шаг 3"), 2) {}
};

class CSavePHPage : public CSavePage {
  Q_OBJECT

 public:
  explicit CSavePHPage(CSheetPH* sheet) : CSavePage(sheet, QStringLiteral("Сохранение коэффициентов")) {}
  void OnKillActive() override;
  int OnWizardBack() override;
  bool OnWizardFinish() override;
};

}  // namespace CalibrationPH
