#pragma once
// The mains-measurement calibration: the start value written to "Mode", then one
// page per step, each waiting for the model's done bit in the polled "Mode" word.
#include <memory>

#include "calibration/ui/CReadingSheet.h"
#include "model/Parameter.h"

namespace BaseDevice {
class CDevicePW;
}

namespace CalibrationPW {

class CSheetPW : public CReadingSheet {
  Q_OBJECT

 public:
  CSheetPW(calibration::CalibrationLink* link, BaseDevice::CDevicePW& model, int modelIndex, QWidget* parent = nullptr);
  // The thread reads the sheet's own "Mode": it stops before that goes.
  ~CSheetPW() override { StopReadingThread(); }
  BaseDevice::CDevicePW& model() const { return model_; }
  Parameter& modeParameter() { return mode_; }

 private:
  BaseDevice::CDevicePW& model_;
  Parameter mode_{"Mode"};
};

// A page of one calibration step (1: the first page, which writes the start value).
class CStepPageBase : public CTextPage, public CReadingPage {
  Q_OBJECT

 public:
  CStepPageBase(CSheetPW* sheet, const QString& title, int step);
  int step() const { return step_; }
  void OnSetActive() override;
  void OnKillActive() override;
  int OnWizardNext() override;
  void OnReadingUpdated(const SheetReading& reading) override;

 protected:
  CSheetPW* pw() const { return static_cast<CSheetPW*>(sheet()); }
  virtual CWizardPage* NextPage() const;

 private:
  int step_;
};

class CCodePage : public CStepPageBase {
  Q_OBJECT

 public:
  explicit CCodePage(CSheetPW* sheet) : CStepPageBase(sheet, QStringLiteral("Шаг 1"), 1) {}
  void OnSetActive() override;
  void OnKillActive() override;
  int OnWizardNext() override;

 protected:
  CWizardPage* NextPage() const override;
};

class CStep1Page : public CStepPageBase {
  Q_OBJECT

 public:
  explicit CStep1Page(CSheetPW* sheet) : CStepPageBase(sheet, QStringLiteral("Шаг 2"), 2) {}

 protected:
  CWizardPage* NextPage() const override;
};

class CStep2Page : public CStepPageBase {
  Q_OBJECT

 public:
  explicit CStep2Page(CSheetPW* sheet) : CStepPageBase(sheet, QStringLiteral("Шаг 3"), 3) {}
};

class CStep3Page : public CStepPageBase {
  Q_OBJECT

 public:
  explicit CStep3Page(CSheetPW* sheet) : CStepPageBase(sheet, QStringLiteral("Шаг 3"), 4) {}
};

class CEndPage : public CTextPage {
  Q_OBJECT

 public:
  explicit CEndPage(CmySheet* sheet) : CTextPage(sheet, QStringLiteral("Завершение калибровки")) {}
  void OnSetActive() override;
};

}  // namespace CalibrationPW
