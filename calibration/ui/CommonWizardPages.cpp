#include "calibration/ui/CommonWizardPages.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "calibration/CommonWizard.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/Prompter.h"
#include "controls/ListEditorPopup.h"

namespace {

QComboBox* MakeCombo(QWidget* parent, int id, const QStringList& items) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(QStringLiteral("id%1").arg(id));
  combo->addItems(items);
  combo->setCurrentIndex(-1);
  controls::KeepListWide(*combo);
  return combo;
}

QLabel* MakeLabel(QWidget* parent, int id, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QStringLiteral("id%1").arg(id));
  label->setWordWrap(true);
  return label;
}

}  // namespace

CCodeBasePage::CCodeBasePage(CmySheet* sheet, DescBranch* tree, bool withoutToken3)
    : CWizardPage(sheet, QStringLiteral("Шаг 1")), tree_(tree), withoutToken3_(withoutToken3) {
  auto* grid = new QGridLayout(this);
  codeLabel_ = MakeLabel(this, 1350, QStringLiteral("Введите код доступа:"));
  code_ = new QLineEdit(this);
  code_->setObjectName(QStringLiteral("id1345"));
  sensorLabel_ = MakeLabel(this, 1338, QStringLiteral("Выберите тип датчика для 1 канала:"));
  sensor_ = MakeCombo(this, 1346, {QStringLiteral("ток 0…20 мА"), QStringLiteral("ток 0…5 мА"),
                                   QStringLiteral("напряжение 0…10в")});
  userLabel_ = MakeLabel(this, 1339, QStringLiteral("Выберите тип пользовательской юстировки:"));
  user_ = MakeCombo(this, 1347, {QStringLiteral("табличная"), QStringLiteral("по показаниям датчика")});
  rangeLabel_ = MakeLabel(this, 1340,
                          QStringLiteral("Выберите чувствительность датчика, мВ/В (Входной диапазон прибора, мВ):"));
  range_ = MakeCombo(this, 1348, {});
  grid->addWidget(codeLabel_, 0, 0);
  grid->addWidget(code_, 0, 1);
  grid->addWidget(sensorLabel_, 1, 0);
  grid->addWidget(sensor_, 1, 1);
  grid->addWidget(userLabel_, 2, 0);
  grid->addWidget(user_, 2, 1);
  grid->addWidget(rangeLabel_, 3, 0);
  grid->addWidget(range_, 3, 1);
  grid->setRowStretch(4, 1);
  for (QWidget* w : {static_cast<QWidget*>(sensorLabel_), static_cast<QWidget*>(sensor_),
                     static_cast<QWidget*>(userLabel_), static_cast<QWidget*>(user_),
                     static_cast<QWidget*>(rangeLabel_), static_cast<QWidget*>(range_)})
    w->hide();
}

void CCodeBasePage::OnInitDialog() {
  Parameter* inT = tree_ ? tree_->FindParameter("in-t") : nullptr;
  sensor_->clear();
  if (inT != nullptr)
    for (const std::string& choice : calibration::SensorChoices(inT->type, withoutToken3_))
      sensor_->addItem(QString::fromStdString(choice));
  sensor_->setCurrentIndex(-1);
}

void CCodeBasePage::OnSetActive() {
  sheet()->SetWizardButtons(CmySheet::kNext);
  sheet()->SetButtonText(CmySheet::kIdNext, QStringLiteral("Продолжить"));
}

void CCodeBasePage::OnKillActive() { sheet()->SetWizardButtons(CmySheet::kBack | CmySheet::kNext); }

int CCodeBasePage::OnWizardNext() {
  if (!calibration::IsCommonWizardCode(code_->text().toStdString())) {
    platform::ShowMessage("Код доступа не верен!", std::string(), platform::MessageIcon::Warning);
    return kStay;
  }
  if (sensor_->isHidden() || sensor_->currentIndex() < 0) {
    sensorLabel_->show();
    sensor_->show();
    return kStay;
  }
  if (sheet()->link() != nullptr) {
    const std::string error = calibration::WriteSensorType(*sheet()->link(), tree_, sensor_->currentText().toStdString());
    if (!error.empty()) {
      // The module kept its sensor type: calibrating it for another would be wrong.
      platform::ShowMessage("Не удалось записать значение в параметр IN-T\n" + error,
                            calibration::kCalibrationErrorCaption, platform::MessageIcon::Warning);
      return kStay;
    }
  }
  return kDefault;
}

CStepPage::CStepPage(CmySheet* sheet, const QString& title, std::string command, std::string instruction)
    : CTextPage(sheet, title), command_(std::move(command)), instruction_(std::move(instruction)) {}

void CStepPage::OnSetActive() { SetText(instruction_); }

void CStepPage::OnKillActive() {
  sheet()->EnableButton(CmySheet::kIdNext, true);
  sheet()->EnableButton(CmySheet::kIdBack, true);
}

int CStepPage::OnWizardNext() {
  if (sheet()->link() != nullptr) {
    const std::string error = calibration::WriteStepCommand(*sheet()->link(), command_);
    if (!error.empty()) {
      // The module did not start the step: there is no result to wait for.
      platform::ShowMessage(error, calibration::kCalibrationErrorCaption, platform::MessageIcon::Warning);
      return kStay;
    }
  }
  sheet()->EnableButton(CmySheet::kIdNext, false);
  sheet()->EnableButton(CmySheet::kIdBack, false);
  sheet()->StartTimer(calibration::kFirstPollTimer, calibration::kFirstPollDelayMs);
  return kStay;
}

COffsetPage::COffsetPage(CmySheet* sheet)
    : CStepPage(sheet, QStringLiteral("Шаг 2"), "JuSh",
                "1) Подайте на вход первого канала нулевой уровень сигнала для выбранного датчика (обрыв для тока и "
                "КЗ для напряжения).\r\n\r\n2) Нажмите кнопку «Продолжить», чтобы выполнить юстировку смещения.") {}

CScalePage::CScalePage(CmySheet* sheet)
    : CStepPage(sheet, QStringLiteral("Шаг 3"), "JuSc",
                "1) Подайте на вход первого канала максимальный сигнал для выбранного датчика.\r\n\r\n2) Нажмите "
                "кнопку «Продолжить», чтобы выполнить юстировку масштаба.") {}

std::unique_ptr<CmySheet> MakeCommonAnalogInputWizard(calibration::CalibrationLink* link, DescBranch* tree,
                                                      bool withoutToken3, QWidget* parent) {
  auto sheet = std::make_unique<CmySheet>(link, parent);
  sheet->setWindowTitle(QStringLiteral("Юстировка"));
  sheet->AddPage(new CCodeBasePage(sheet.get(), tree, withoutToken3));
  sheet->AddPage(new COffsetPage(sheet.get()));
  sheet->AddPage(new CScalePage(sheet.get()));
  sheet->AddPage(new CSavePage(sheet.get()));
  sheet->AddPage(new CErrorPage(sheet.get()));
  return sheet;
}
