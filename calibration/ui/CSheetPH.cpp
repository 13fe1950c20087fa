#include "calibration/ui/CSheetPH.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "calibration/CommonWizard.h"
#include "calibration/PhRedox.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "platform/Text.h"

namespace CalibrationPH {

using calibration::kCalibrationErrorCaption;

CSheetPH::CSheetPH(calibration::CalibrationLink* link, DescBranch* tree, DescBranch* polled, QWidget* parent)
    : CReadingSheet(link, calibration::kPhStepLimitMs,
                    "Произошла ошибка при юстировке. Следует пересбросить питание прибора и провести юстировку заново.",
                    false, parent),
      tree_(tree),
      polled_(polled) {
  setWindowTitle(QStringLiteral("Юстировка"));
  AddPage(new CCodePage(this));
  AddPage(new CStep1Page(this));
  AddPage(new CStep2Page(this));
  AddPage(new CSavePHPage(this));
  AddPage(new CErrorPage(this));
}

CCodePage::CCodePage(CSheetPH* sheet) : CCodeBasePage(sheet, nullptr, false) {}

void CCodePage::OnInitDialog() {
  sensorLabel_->setText(QStringLiteral("Выберите тип юстировки:"));
  userLabel_->setText(QStringLiteral("Выберите число точек для юстировки:"));
  sensor_->clear();
  sensor_->addItems({QStringLiteral("Юстировка pH"), QStringLiteral("Юстировка ОВП")});
  sensor_->setCurrentIndex(-1);
  user_->clear();
  user_->addItems({QStringLiteral("1 точка"), QStringLiteral("2 точки")});
  user_->setCurrentIndex(-1);
}

int CCodePage::OnWizardNext() {
  if (code_->text().toStdString() != calibration::kPhRedoxAccessCode) {
    platform::ShowMessage("Код доступа не верен!", std::string(), platform::MessageIcon::Warning);
    return kStay;
  }
  if (sensor_->isHidden() && sensor_->currentIndex() < 0) {
    if (sheet()->link() == nullptr) return kStay;
    const calibration::Confirmation c = calibration::ReadConfirmation(*sheet()->link(), ph()->tree());
    if (!c.ok) {
      platform::ShowMessage(platform::Format("Не удалось прочитать параметр %s.", c.failedName.c_str()),
                            "Ошибка чтения", platform::MessageIcon::Warning);
      return kStay;
    }
    ph()->temperatureSource = c.temperatureSource;
    if (platform::ShowMessage(c.text, "Проверка параметров", platform::MessageIcon::Information,
                              platform::MessageButtons::YesNo) != platform::kAnswerYes) {
      sheet()->done(CmySheet::kIdFinish);
      return kStay;
    }
    sensor_->setCurrentIndex(0);
    user_->setCurrentIndex(1);
    for (QWidget* w : {static_cast<QWidget*>(sensorLabel_), static_cast<QWidget*>(sensor_),
                       static_cast<QWidget*>(userLabel_), static_cast<QWidget*>(user_)})
      w->show();
    return kStay;
  }
  if (sensor_->currentIndex() < 0 || user_->currentIndex() < 0) return kStay;
  ph()->mode = calibration::PhMode(sensor_->currentIndex(), user_->currentIndex());
  return kDefault;
}

CStepPage::CStepPage(CSheetPH* sheet, const QString& title, int step) : CPointFormPage(sheet, title), step_(step) {}

void CStepPage::OnInitDialog() {
  const bool redox = calibration::IsRedoxMode(ph()->mode);
  label1338_->setText(redox ? QStringLiteral("Текущее значение ОВП, мВ:") : QStringLiteral("Текущее значение pH:"));
  label1339_->setText(redox ? QStringLiteral("Введите значение ОВП буферного раствора, мВ:")
                            : QStringLiteral("Введите значение pH буферного раствора:"));
  label1340_->setText(QStringLiteral("Текущее значение температуры, C:"));
  edit1353_->setReadOnly(true);
  for (QLabel* unit : {unit1341_, unit1342_, unit1343_}) unit->hide();
}

void CStepPage::OnSetActive() {
  // The labels follow the mode chosen on this run.
  OnInitDialog();
  SetText(calibration::PointInstruction(ph()->mode, step_));
  DescBranch* polled = ph()->polled();
  DescBranch* tree = ph()->tree();
  ph()->AddReading({edit1353_, calibration::FindPolledFirst(polled, tree, "Rd.Rs")});
  if (ph()->temperatureSource == 0) {
    ph()->AddReading({edit1355_, calibration::FindPolledFirst(polled, tree, "Rd.Tm")});
  } else if (ph()->temperatureSource == 1) {
    if (Parameter* constant = tree ? tree->FindParameter("C.Tem") : nullptr)
      edit1355_->setText(QString::fromStdString(constant->value));
  }
  ph()->StartReadingThread();
}

void CStepPage::OnKillActive() {
  ph()->StopReadingThread();
  ph()->ClearReadings();
}

int CStepPage::OnWizardNext() {
  const std::optional<std::string> value = calibration::NormaliseBufferValue(edit1354_->text().toStdString());
  if (!value) {
    platform::ShowMessage("Введено некорректное значение!", "Ошибка ввода", platform::MessageIcon::Warning);
    return kStay;
  }
  ph()->StopReadingThread();
  const std::string error =
      sheet()->link() != nullptr ? calibration::WritePoint(*sheet()->link(), ph()->mode, step_, *value) : std::string();
  if (!error.empty()) {
    // The module did not take the point: no watch for it, the page stays as it was.
    ph()->StartReadingThread();
    platform::ShowMessage(error, kCalibrationErrorCaption, platform::MessageIcon::Warning);
    return kStay;
  }
  sheet()->EnableButton(CmySheet::kIdNext, false);
  sheet()->EnableButton(CmySheet::kIdBack, false);
  if (step_ == 1) ph()->ClearReadings();
  ph()->AddReading({nullptr, calibration::FindPolledFirst(ph()->polled(), ph()->tree(), "Rd.St")});
  ph()->StartReadingThread();
  ph()->StartProgress();
  return kStay;
}

void CStepPage::OnReadingUpdated(const SheetReading& reading) {
  if (!platform::EqualsNoCase(reading.name, "Rd.St")) {
    if (reading.reading.ok && reading.control)
      SetIfDiffers(reading.control, QString::fromStdString(reading.reading.value));
    return;
  }
  if (!reading.reading.ok || !calibration::IsPointTaken(reading.reading.value)) return;
  ph()->StopProgress();
  sheet()->EnableButton(CmySheet::kIdNext, true);
  sheet()->EnableButton(CmySheet::kIdBack, true);
  if (step_ == 1 && calibration::IsTwoPointMode(ph()->mode))
    sheet()->SetActivePage(sheet()->FindPageByClass<CStep2Page>());
  else
    sheet()->SetActivePage(sheet()->FindPageByClass<CSavePHPage>());
}

void CSavePHPage::OnKillActive() { sheet()->SetButtonText(CmySheet::kIdBack, QStringLiteral("< Назад")); }

int CSavePHPage::OnWizardBack() { return sheet()->PageIndex(sheet()->FindPageByClass<CCodePage>()); }

bool CSavePHPage::OnWizardFinish() {
  auto* ph = static_cast<CSheetPH*>(sheet());
  if (sheet()->link() == nullptr) return true;
  const calibration::PhSaveOutcome out = calibration::SavePh(*sheet()->link(), ph->polled(), ph->tree(), ph->mode);
  if (!out.refusal.empty()) {
    // Not saved: the page stays and "Сохранить" can be pressed again.
    platform::ShowMessage(out.refusal, kCalibrationErrorCaption, platform::MessageIcon::Warning);
    return false;
  }
  if (out.repeat) {
    sheet()->SetButtonText(CmySheet::kIdBack, QStringLiteral("Повторить"));
    sheet()->SetWizardButtons(CmySheet::kBack | CmySheet::kFinish);
    sheet()->EnableButton(CmySheet::kIdFinish, false);
    platform::ShowMessage("Пожалуйста, повторите операцию юстировки.", kCalibrationErrorCaption,
                          platform::MessageIcon::Warning);
    return false;
  }
  if (out.unverified)
    platform::ShowMessage(calibration::kUnverifiedText, std::string(), platform::MessageIcon::Warning);
  if (out.slope.kind != calibration::SlopeReport::None)
    platform::ShowMessage(out.slope.text, "Параметры электродной пары",
                          out.slope.kind == calibration::SlopeReport::Good ? platform::MessageIcon::Information
                                                                           : platform::MessageIcon::Warning);
  return true;
}

}  // namespace CalibrationPH
