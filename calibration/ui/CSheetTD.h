#pragma once
// The strain-gauge calibration: factory (the device measures zero and full scale)
// or user (two points set by the user while the input voltage is shown live).
#include <map>

#include "calibration/StrainGauge.h"
#include "calibration/ui/CPointFormPage.h"
#include "calibration/ui/CReadingSheet.h"
#include "calibration/ui/CommonWizardPages.h"

class DescBranch;

namespace CalibrationTD {

class CSheetTD : public CReadingSheet {
  Q_OBJECT

 public:
  CSheetTD(calibration::CalibrationLink* link, DescBranch* tree, DescBranch* polled, bool fourChannels,
           QWidget* parent = nullptr);
  DescBranch* tree() const { return tree_; }
  DescBranch* polled() const { return polled_; }
  bool fourChannels() const { return fourChannels_; }

  int channel = 0;
  int sensitivity = -1;
  std::map<int, Parameter*> sens;
  calibration::UserPoint lower{0, 0, std::nullopt};
  calibration::UserPoint upper{100, 0, std::nullopt};

 private:
  DescBranch* tree_;
  DescBranch* polled_;
  bool fourChannels_;
};

class CPage1VI : public CCodeBasePage {
  Q_OBJECT

 public:
  explicit CPage1VI(CSheetTD* sheet);
  void OnInitDialog() override;
  int OnWizardNext() override;
  QComboBox* typeCombo() const { return sensor_; }
  QComboBox* channelCombo() const { return user_; }
  QComboBox* sensitivityCombo() const { return range_; }

 private:
  void OnTypeChanged();
  CSheetTD* td() const { return static_cast<CSheetTD*>(sheet()); }
};

class CMinPage : public CTextPage {
  Q_OBJECT

 public:
  explicit CMinPage(CSheetTD* sheet) : CTextPage(sheet, QStringLiteral("Шаг 2")) {}
  void OnSetActive() override;
  int OnWizardNext() override;
};

class CMaxPage : public CTextPage {
  Q_OBJECT

 public:
  explicit CMaxPage(CSheetTD* sheet) : CTextPage(sheet, QStringLiteral("Шаг 3")) {}
  void OnSetActive() override;
  int OnWizardNext() override;
};

class CSaveTDPage : public CSavePage {
  Q_OBJECT

 public:
  explicit CSaveTDPage(CSheetTD* sheet) : CSavePage(sheet) {}
  void OnKillActive() override;
  int OnWizardBack() override { return 0; }
  bool OnWizardFinish() override;
};

class CUserMinPage : public CPointFormPage, public CReadingPage {
  Q_OBJECT

 public:
  explicit CUserMinPage(CSheetTD* sheet, const QString& title = QStringLiteral("Шаг 2"), bool upper = false);
  void OnInitDialog() override;
  void OnSetActive() override;
  void OnKillActive() override;
  int OnWizardNext() override;
  int OnWizardBack() override;
  void OnReadingUpdated(const SheetReading& reading) override;

 private:
  CSheetTD* td() const { return static_cast<CSheetTD*>(sheet()); }
  calibration::UserPoint& point() const { return upper_ ? td()->upper : td()->lower; }
  bool upper_;
};

class CUserMaxPage : public CUserMinPage {
  Q_OBJECT

 public:
  explicit CUserMaxPage(CSheetTD* sheet) : CUserMinPage(sheet, QStringLiteral("Шаг 3"), true) {}
};

class CUserSavePage : public CSavePage {
  Q_OBJECT

 public:
  explicit CUserSavePage(CSheetTD* sheet) : CSavePage(sheet) {}
  void OnKillActive() override;
  int OnWizardBack() override { return 0; }
  bool OnWizardFinish() override;
};

}  // namespace CalibrationTD
