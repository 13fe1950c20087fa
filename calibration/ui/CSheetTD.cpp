#include "calibration/ui/CSheetTD.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "calibration/CalibrationLink.h"
#include "calibration/CommonWizard.h"
#include "calibration/SharedReading.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"

namespace CalibrationTD {

using calibration::kCalibrationErrorCaption;

namespace {

void Warn(const std::string& text, const std::string& caption = kCalibrationErrorCaption) {
  platform::ShowMessage(text, caption, platform::MessageIcon::Warning);
}

// Back shows "Повторить" and Finish stays disabled: the save has to be done again.
void OfferRepeat(CmySheet* sheet) {
  sheet->SetButtonText(CmySheet::kIdBack, QStringLiteral("Повторить"));
  sheet->SetWizardButtons(CmySheet::kBack | CmySheet::kFinish);
  sheet->EnableButton(CmySheet::kIdFinish, false);
}

}  // namespace

CSheetTD::CSheetTD(calibration::CalibrationLink* link, DescBranch* tree, DescBranch* polled, bool fourChannels,
                   QWidget* parent)
    : CReadingSheet(link, 0, std::string(), false, parent), tree_(tree), polled_(polled), fourChannels_(fourChannels) {
  setWindowTitle(QStringLiteral("Юстировка"));
  AddPage(new CPage1VI(this));
  AddPage(new CMinPage(this));
  AddPage(new CMaxPage(this));
  AddPage(new CSaveTDPage(this));
  AddPage(new CUserMinPage(this));
  AddPage(new CUserMaxPage(this));
  AddPage(new CUserSavePage(this));
}

CPage1VI::CPage1VI(CSheetTD* sheet) : CCodeBasePage(sheet, nullptr, false) {
  connect(sensor_, &QComboBox::currentIndexChanged, this, [this] { OnTypeChanged(); });
  connect(range_, &QComboBox::currentIndexChanged, this, [this](int index) { td()->sensitivity = index; });
}

void CPage1VI::OnInitDialog() {
  td()->sens.clear();
  if (DescBranch* tree = td()->tree()) tree->FindParameter("Sens", &td()->sens);
  user_->clear();
  for (size_t i = 1; i <= td()->sens.size(); ++i) user_->addItem(QStringLiteral("Канал №%1").arg(i));
  user_->setCurrentIndex(-1);
  sensorLabel_->setText(QStringLiteral("Выберите тип юстировки:"));
  sensor_->clear();
  sensor_->addItems({QStringLiteral("заводская"), QStringLiteral("пользовательская")});
  sensor_->setCurrentIndex(-1);
  range_->clear();
  auto first = td()->sens.find(0);
  if (first != td()->sens.end() && first->second != nullptr)
    for (const std::string& entry : calibration::SensitivityEntries(first->second->type))
      range_->addItem(QString::fromStdString(entry));
  range_->setCurrentIndex(-1);
}

void CPage1VI::OnTypeChanged() {
  const int type = sensor_->currentIndex();
  rangeLabel_->setVisible(type == 0);
  range_->setVisible(type == 0);
  if (td()->sens.size() >= 2 && type >= 0) {
    userLabel_->setText(QStringLiteral("\nВыберите калибруемый канал:"));
    userLabel_->show();
    user_->show();
  }
}

int CPage1VI::OnWizardNext() {
  if (code_->text().toStdString() != calibration::kStrainGaugeAccessCode) {
    platform::ShowMessage("Код доступа не верен!", std::string(), platform::MessageIcon::Warning);
    return kStay;
  }
  const int type = sensor_->currentIndex();
  const int channel = !user_->isHidden() ? user_->currentIndex() : 0;
  if (type < 0 || channel < 0 || sensor_->isHidden()) {
    sensorLabel_->show();
    sensor_->show();
    sensor_->setCurrentIndex(1);
    OnTypeChanged();
    return kStay;
  }
  td()->channel = channel;
  if (type == 1) return sheet()->PageIndex(sheet()->FindPageByClass<CUserMinPage>());
  const int sensitivity = range_->currentIndex();
  if (sensitivity < 0) return kStay;
  auto it = td()->sens.find(channel);
  if (it != td()->sens.end() && it->second != nullptr && sheet()->link() != nullptr) {
    const std::string error = calibration::WriteSensitivity(*sheet()->link(), *it->second, sensitivity);
    if (!error.empty()) {
      Warn(error, "Параметр чувствительности");
      return kStay;
    }
  }
  return kDefault;
}

void CMinPage::OnSetActive() {
  const auto* td = static_cast<CSheetTD*>(sheet());
  const auto range = calibration::SensitivityRange(td->sensitivity);
  SetText(platform::Format(
      "1) Подайте на вход прибора значение напряжения %s мВ, соответствующее минимальному значению диапазона "
      "измерений для выбранной чувствительности.\r\n\r\n2) Нажмите кнопку «Продолжить», чтобы выполнить юстировку "
      "минимального значения.",
      range ? range->first.c_str() : ""));
}

int CMinPage::OnWizardNext() {
  auto* td = static_cast<CSheetTD*>(sheet());
  if (td->link() != nullptr) {
    const std::string error = calibration::WriteAdjustCommand(*td->link(), "zU.Sh", td->channel, td->fourChannels());
    if (!error.empty()) {
      Warn(error);
      return kStay;
    }
  }
  // The module needs a moment after the zero before the next step; the window
  // stays responsive meanwhile.
  td->EnableButton(CmySheet::kIdNext, false);
  td->EnableButton(CmySheet::kIdBack, false);
  QTimer::singleShot(calibration::kZeroSettleMs, td, [td, this] {
    if (td->ActivePage() != this) return;
    td->EnableButton(CmySheet::kIdNext, true);
    td->EnableButton(CmySheet::kIdBack, true);
    td->GoNext();
  });
  return kStay;
}

void CMaxPage::OnSetActive() {
  SetText("Нажмите кнопку «Продолжить», чтобы выполнить юстировку максимального значения.");
}

int CMaxPage::OnWizardNext() {
  auto* td = static_cast<CSheetTD*>(sheet());
  if (td->link() != nullptr) {
    const std::string error = calibration::WriteAdjustCommand(*td->link(), "zU.Sc", td->channel, td->fourChannels());
    if (!error.empty()) {
      Warn(error);
      return kStay;
    }
  }
  return kDefault;
}

void CSaveTDPage::OnKillActive() { sheet()->SetButtonText(CmySheet::kIdBack, QStringLiteral("< Назад")); }

bool CSaveTDPage::OnWizardFinish() {
  auto* td = static_cast<CSheetTD*>(sheet());
  if (td->link() == nullptr) return true;
  const calibration::FactorySaveOutcome out = calibration::SaveFactory(*td->link(), td->polled(), td->tree(), td->sens);
  if (!out.refusal.empty()) {
    Warn(out.refusal);
    return false;
  }
  switch (out.check) {
    case calibration::StatusCheck::Failed:
      OfferRepeat(td);
      Warn("Ошибка калибровки!", std::string());
      return false;
    case calibration::StatusCheck::Unverified:
      Warn(calibration::kUnverifiedText, std::string());
      return true;
    case calibration::StatusCheck::Good:
      return true;
  }
  return true;
}

CUserMinPage::CUserMinPage(CSheetTD* sheet, const QString& title, bool upper)
    : CPointFormPage(sheet, title), upper_(upper) {}

void CUserMinPage::OnInitDialog() {
  DescBranch* tree = td()->tree();
  Parameter* limit =
      tree ? tree->FindParameter(upper_ ? "v.max" : "v.min", nullptr, nullptr, nullptr, td()->channel) : nullptr;
  if (limit != nullptr && td()->link() != nullptr && td()->link()->ReadParameter(*limit) == 0)
    point().value = static_cast<float>(platform::Atof(limit->value));
}

void CUserMinPage::OnSetActive() {
  DescBranch* tree = td()->tree();
  const int channel = td()->channel;
  Parameter* sens = nullptr;
  if (auto it = td()->sens.find(channel); it != td()->sens.end()) sens = it->second;
  const std::string lines =
      td()->link() != nullptr ? calibration::SensitivityLines(*td()->link(), sens, upper_) : std::string();
  const char* less = upper_ ? "большему" : "меньшему";
  const char* lessValue = upper_ ? "большее" : "меньшее";
  SetText(
      platform::Format("1) Подать на вход прибора напряжение, которое будет соответствовать %s значению физической "
                       "величины.\r\n2) Ввести %s значение физической величины в единицах и процентах от измеряемого "
                       "диапазона.\r\n3) Нажать кнопку «Продолжить» для перехода к следующему шагу.\r\n\r\n",
                       less, lessValue) +
      lines);
  const QString label = upper_ ? QStringLiteral("Большее значение физической величины:")
                               : QStringLiteral("Меньшее значение физической величины:");
  label1338_->setText(label);
  label1339_->setText(label);
  edit1353_->setText(QString::fromStdString(platform::Format("%.0f", static_cast<double>(point().percent))));
  edit1354_->setText(QString::fromStdString(platform::Format("%.3f", static_cast<double>(point().value))));
  // Next waits for a voltage read on this visit.
  point().voltage.reset();
  edit1355_->clear();
  edit1355_->setReadOnly(true);
  td()->ClearReadings();
  td()->AddReading({edit1355_, tree ? tree->FindParameter("Rd.fV", nullptr, nullptr, nullptr, channel) : nullptr});
  td()->StartReadingThread();
}

void CUserMinPage::OnReadingUpdated(const SheetReading& reading) {
  if (reading.reading.ok && reading.reading.number) {
    point().voltage = *reading.reading.number;
    SetIfDiffers(edit1355_,
                 QString::fromStdString(platform::Format("%.4f", static_cast<double>(*reading.reading.number))));
  } else {
    point().voltage.reset();
    SetIfDiffers(edit1355_, QString::fromStdString(resources::LoadString(kStrNoData)));
  }
}

int CUserMinPage::OnWizardNext() {
  const std::optional<float> percent = calibration::ParsePointText(edit1353_->text().toStdString());
  const std::optional<float> value = calibration::ParsePointText(edit1354_->text().toStdString());
  if (percent) point().percent = *percent;
  if (value) point().value = *value;
  const std::string error = calibration::PointInputError(percent.has_value(), value.has_value());
  if (!error.empty()) {
    Warn(error, std::string());
    return kStay;
  }
  if (!point().voltage) {
    Warn(calibration::kNoVoltageText, std::string());
    return kStay;
  }
  return kDefault;
}

void CUserMinPage::OnKillActive() {
  td()->StopReadingThread();
  td()->ClearReadings();
}

int CUserMinPage::OnWizardBack() { return upper_ ? sheet()->PageIndex(sheet()->FindPageByClass<CUserMinPage>()) : 0; }

void CUserSavePage::OnKillActive() { sheet()->SetButtonText(CmySheet::kIdBack, QStringLiteral("< Назад")); }

bool CUserSavePage::OnWizardFinish() {
  auto* td = static_cast<CSheetTD*>(sheet());
  if (td->link() == nullptr) return true;
  const calibration::UserSaveOutcome out = calibration::SaveUser(*td->link(), td->polled(), td->tree(), td->channel,
                                                                 td->fourChannels(), td->lower, td->upper);
  if (out.done) {
    if (!out.message.empty()) Warn(out.message, std::string());
    return true;
  }
  if (out.stayOnSave) {
    Warn(out.message);
    return false;
  }
  if (out.repeat) OfferRepeat(td);
  Warn(out.message, std::string());
  td->SetActivePage(0);
  return false;
}

}  // namespace CalibrationTD
