#include "calibration/ui/CSheetPW.h"

#include "calibration/CalibrationLink.h"
#include "calibration/CommonWizard.h"
#include "calibration/Mains.h"
#include "platform/Prompter.h"
#include "devices/CDevicePW.h"
#include "resources/StringTable.h"

namespace CalibrationPW {

CSheetPW::CSheetPW(calibration::CalibrationLink* link, BaseDevice::CDevicePW& model, int modelIndex, QWidget* parent)
    : CReadingSheet(link, calibration::kMainsStepLimitMs, resources::LoadString(kStrCalibrationTryLater), true,
                    parent),
      model_(model) {
  setWindowTitle(QStringLiteral("Юстировка"));
  mode_.type = "int";
  AddReading({nullptr, &mode_});
  AddPage(new CCodePage(this));
  AddPage(new CStep1Page(this));
  AddPage(new CStep2Page(this));
  if (calibration::MainsStepPages(modelIndex) == 3) AddPage(new CStep3Page(this));
  AddPage(new CEndPage(this));
  AddPage(new CErrorPage(this));
}

CStepPageBase::CStepPageBase(CSheetPW* sheet, const QString& title, int step) : CTextPage(sheet, title), step_(step) {}

void CStepPageBase::OnSetActive() {
  std::string text;
  SetText(pw()->model().GetCalibrationStepText(text, step_));
}

void CStepPageBase::OnKillActive() {
  pw()->StopProgress();
  pw()->StopReadingThread();
}

int CStepPageBase::OnWizardNext() {
  pw()->StartReadingThread();
  pw()->StartProgress();
  return kStay;
}

CWizardPage* CStepPageBase::NextPage() const { return sheet()->Page(sheet()->PageIndex(this) + 1); }

void CStepPageBase::OnReadingUpdated(const SheetReading& reading) {
  if (!reading.reading.ok) return;  // the value text stays as it was
  switch (calibration::JudgeModeReading(reading.name, reading.reading.value, pw()->model(), step_)) {
    case calibration::ModeVerdict::Error:
      if (auto* error = sheet()->FindPageByClass<CErrorPage>()) {
        error->message = resources::LoadString(kStrCalibrationTryLater);
        sheet()->SetActivePage(error);
      }
      return;
    case calibration::ModeVerdict::Done:
      sheet()->EnableButton(CmySheet::kIdNext, true);
      sheet()->EnableButton(CmySheet::kIdBack, true);
      if (CWizardPage* next = NextPage()) sheet()->SetActivePage(next);
      return;
    case calibration::ModeVerdict::Ignore:
    case calibration::ModeVerdict::Wait:
      return;
  }
}

void CCodePage::OnSetActive() {
  sheet()->SetWizardButtons(CmySheet::kNext);
  CStepPageBase::OnSetActive();
}

void CCodePage::OnKillActive() {
  pw()->StopProgress();
  sheet()->SetWizardButtons(CmySheet::kBack | CmySheet::kNext);
  pw()->StopReadingThread();
}

int CCodePage::OnWizardNext() {
  if (sheet()->link() != nullptr) {
    const std::string error =
        calibration::WriteStartMode(*sheet()->link(), pw()->modeParameter(), pw()->model());
    if (!error.empty()) {
      platform::ShowMessage(error, calibration::kCalibrationErrorCaption, platform::MessageIcon::Warning);
      return kStay;
    }
  }
  return CStepPageBase::OnWizardNext();
}

CWizardPage* CCodePage::NextPage() const { return sheet()->FindPageByClass<CStep1Page>(); }

CWizardPage* CStep1Page::NextPage() const { return sheet()->FindPageByClass<CStep2Page>(); }

void CEndPage::OnSetActive() {
  SetText("Калибровка завершена!");
  sheet()->SetWizardButtons(CmySheet::kFinish);
}

}  // namespace CalibrationPW
