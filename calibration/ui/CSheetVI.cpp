#include "calibration/ui/CSheetVI.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "calibration/CalibrationLink.h"
#include "calibration/CommonWizard.h"
#include "calibration/Inductance.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"

namespace myClass {

int CPointsTableCtrl::SetCellText(int row, int column, const std::string& text) {
  auto* parameter = dynamic_cast<Parameter*>(GetCell(row, column));
  if (parameter == nullptr) return 1;
  // A refused text leaves the value held in the cell.
  parameter->CheckAndSetValue(text, true);
  SetItemText(row, column, parameter->value);
  return 1;
}

void CPointsTableCtrl::OnEndEdit(const std::string& text) {
  SetCellText(EditRow(), EditColumn(), text);
  CTableCtrl::OnEndEdit(text);
}

void CPointsTableCtrl::OnButtonCell(int row, int column) {
  auto* reading = dynamic_cast<Parameter*>(GetCell(row, column));
  if (reading == nullptr || link_ == nullptr) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  std::string error;
  const std::optional<double> mean = calibration::MeasureAverage(*link_, *reading, error);
  QApplication::restoreOverrideCursor();
  if (!mean) {
    platform::ShowMessage(error, "Ошибка чтения \"" + reading->name + "\"", platform::MessageIcon::Warning);
    return;
  }
  SetCellText(row, 1, platform::Format("%f", *mean));
}

}  // namespace myClass

namespace CalibrationVI {

using calibration::kCalibrationErrorCaption;

CSheetVI::CSheetVI(calibration::CalibrationLink* link, DescBranch* tree, DescBranch* polled, QWidget* parent)
    : CmySheet(link, parent), tree_(tree), polled_(polled) {
  setWindowTitle(QStringLiteral("Юстировка"));
  AddPage(new CPage1VI(this));
  AddPage(new CMinPage(this));
  AddPage(new CMaxPage(this));
  AddPage(new CSaveVIPage(this));
  AddPage(new CUserTablePage(this));
  AddPage(new CUserMeasuringPage(this));
}

CPage1VI::CPage1VI(CSheetVI* sheet) : CCodeBasePage(sheet, nullptr, false) {
  connect(sensor_, &QComboBox::currentIndexChanged, this, [this] { OnTypeChanged(); });
}

void CPage1VI::OnInitDialog() {
  sensor_->clear();
  sensor_->setCurrentIndex(-1);
}

void CPage1VI::OnTypeChanged() {
  const bool user = sensor_->currentIndex() == 1;
  userLabel_->setVisible(user);
  user_->setVisible(user);
}

int CPage1VI::OnWizardNext() {
  if (code_->text().toStdString() != calibration::kInductanceAccessCode) {
    platform::ShowMessage("Код доступа не верен!", std::string(), platform::MessageIcon::None);
    return kStay;
  }
  if (sensor_->currentIndex() < 0) {
    sensorLabel_->setText(QStringLiteral("Выберите тип юстировки:"));
    sensorLabel_->show();
    sensor_->clear();
    sensor_->addItems({QStringLiteral("заводская"), QStringLiteral("пользовательская")});
    sensor_->setCurrentIndex(-1);
    sensor_->show();
    return kStay;
  }
  if (sensor_->currentIndex() == 0) return kDefault;
  if (user_->currentIndex() == 0)
    sheet()->SetActivePage(sheet()->FindPageByClass<CUserTablePage>());
  else if (user_->currentIndex() == 1)
    sheet()->SetActivePage(sheet()->FindPageByClass<CUserMeasuringPage>());
  return kStay;
}

void CMinPage::OnSetActive() {
  auto* vi = static_cast<CSheetVI*>(sheet());
  if (vi->link() != nullptr) SetText(calibration::LowerRangeInstruction(*vi->link(), vi->tree()));
}

int CMinPage::OnWizardNext() {
  if (sheet()->link() == nullptr) return kDefault;
  const std::string error = calibration::WriteRangeCommand(*sheet()->link(), "zU.Sh");
  if (!error.empty()) {
    platform::ShowMessage(error, kCalibrationErrorCaption, platform::MessageIcon::Warning);
    return kStay;
  }
  return kDefault;
}

void CMaxPage::OnSetActive() { SetText(calibration::UpperRangeInstruction()); }

int CMaxPage::OnWizardNext() {
  if (sheet()->link() == nullptr) return kDefault;
  const std::string error = calibration::WriteRangeCommand(*sheet()->link(), "zU.Sc");
  if (!error.empty()) {
    platform::ShowMessage(error, kCalibrationErrorCaption, platform::MessageIcon::Warning);
    return kStay;
  }
  return kDefault;
}

bool CSaveVIPage::OnWizardFinish() {
  auto* vi = static_cast<CSheetVI*>(sheet());
  if (vi->link() == nullptr) return true;
  const calibration::ApplyCheck check = calibration::ApplyAndCheck(*vi->link(), vi->polled(), vi->tree());
  if (!check.refusal.empty()) {
    // Not saved: the page stays and "Сохранить" can be pressed again.
    platform::ShowMessage(check.refusal, calibration::kCalibrationErrorCaption, platform::MessageIcon::Warning);
    return false;
  }
  if (check.failed)
    platform::ShowMessage("Ошибка калибровки!", std::string(), platform::MessageIcon::Warning);
  else if (!check.verified)
    platform::ShowMessage(calibration::kUnverifiedText, std::string(), platform::MessageIcon::Warning);
  return true;
}

CUserTablePage::CUserTablePage(CSheetVI* sheet, bool measuring)
    : CWizardPage(sheet, QStringLiteral("Шаг 2")), measuring_(measuring) {
  auto* grid = new QGridLayout(this);
  table_ = new myClass::CPointsTableCtrl(sheet->link(), this);
  table_->setObjectName(QStringLiteral("id1337"));
  table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table_->SetCentredFirstColumn(true);
  table_->viewport()->installEventFilter(this);
  count_ = new QLineEdit(QStringLiteral("2"), this);
  count_->setObjectName(QStringLiteral("id1345"));
  apply_ = new QPushButton(QStringLiteral("Применить"), this);
  apply_->setObjectName(QStringLiteral("id1349"));
  apply_->setAutoDefault(false);
  grid->addWidget(table_, 0, 0, 1, 3);
  grid->addWidget(new QLabel(QStringLiteral("Количество точек:"), this), 1, 0);
  grid->addWidget(count_, 1, 1);
  grid->addWidget(apply_, 1, 2);
  connect(apply_, &QPushButton::clicked, this, [this] { OnApplyPointCount(); });
}

bool CUserTablePage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_->viewport() && event->type() == QEvent::Resize) FitColumns();
  return CWizardPage::eventFilter(watched, event);
}

void CUserTablePage::FitColumns() {
  const int count = table_->GetColumnCount();
  if (count < 3) return;
  // The client width less the scroll bar the 21 rows need once shown.
  const int w = table_->viewport()->width() - 2;
  const int parts = count == 4 ? 10 : 7;
  table_->setColumnWidth(0, w / parts);
  for (int column = 1; column < count; ++column) table_->setColumnWidth(column, 3 * w / parts);
}

void CUserTablePage::OnInitDialog() {
  using myClass::TableControl;
  table_->SetExtendedStyle(TableControl::kStyleFullRowSelect);
  const int w = table_->GetClientWidth() - 2;
  const int columns = measuring_ ? 4 : 3;
  const int first = measuring_ ? w / 10 : w / 7;
  const int other = measuring_ ? 3 * w / 10 : 3 * w / 7;
  table_->InsertColumn(0, "", TableControl::kColumnCentre, first);
  table_->InsertColumn(1, "Индуктивность", TableControl::kColumnCentre, other);
  table_->InsertColumn(2, "Физ. величина", TableControl::kColumnCentre, other);
  if (columns == 4) table_->InsertColumn(3, "", TableControl::kColumnCentre, other);
  for (int row = 0; row < calibration::kMaxTablePoints; ++row) {
    table_->InsertItem(row, std::to_string(row + 1));
    table_->SetCell(row, 0, nullptr, TableControl::kCellNotEdited);
    auto* inductance = new Parameter("uU.Pn");
    inductance->type = "float";
    inductance->indexed = true;
    inductance->linearIndex = row;
    inductance->value = "0.000";
    table_->SetCell(row, 1, inductance, TableControl::kCellOwnsObject | TableControl::kCellNoRangeTip);
    table_->SetItemText(row, 1, inductance->value);
    auto* physical = new Parameter("FV");
    physical->type = "float";
    physical->value = "0.000";
    table_->SetCell(row, 2, physical, TableControl::kCellOwnsObject | TableControl::kCellNoRangeTip);
    table_->SetItemText(row, 2, physical->value);
    if (measuring_) {
      auto* reading = new Parameter("Rd.fH");
      reading->type = "float";
      table_->SetCell(row, 3, reading, TableControl::kCellOwnsObject | TableControl::kCellButton);
      table_->SetItemText(row, 3, "Измерение");
    }
  }
  FitColumns();
}

void CUserTablePage::OnSetActive() {
  OnApplyPointCount();
  sheet()->SetWizardButtons(CmySheet::kBack | CmySheet::kFinish);
  sheet()->SetFinishText(QStringLiteral("Сохранить"));
}

void CUserTablePage::OnApplyPointCount() {
  const std::optional<int> n = calibration::ParsePointCount(count_->text().toStdString());
  if (!n) {
    platform::ShowMessage("Введите значение от 2 до 21.", std::string(), platform::MessageIcon::Warning);
    return;
  }
  for (int row = 0; row < calibration::kMaxTablePoints; ++row)
    table_->SetFlags(row, -1, row < *n ? 0 : myClass::TableControl::kCellDisabled,
                     myClass::TableControl::kCellDisabled);
  table_->viewport()->update();
}

int CUserTablePage::OnWizardBack() { return sheet()->PageIndex(sheet()->FindPageByClass<CPage1VI>()); }

bool CUserTablePage::OnWizardFinish() {
  auto* vi = static_cast<CSheetVI*>(sheet());
  if (vi->link() == nullptr) return true;
  std::vector<calibration::TablePoint> points;
  for (int row = 0; row < calibration::kMaxTablePoints; ++row) {
    if (table_->GetFlags(row, 1) & myClass::TableControl::kCellDisabled) break;
    auto* inductance = dynamic_cast<Parameter*>(table_->GetCell(row, 1));
    auto* physical = dynamic_cast<Parameter*>(table_->GetCell(row, 2));
    if (inductance == nullptr || physical == nullptr) break;
    points.push_back({inductance, physical->value});
  }
  const calibration::UserTableOutcome out = calibration::SaveUserTable(*vi->link(), vi->polled(), vi->tree(), points);
  if (!out.done) {
    platform::ShowMessage(out.text, out.caption, platform::MessageIcon::Warning);
    return false;
  }
  if (out.calibrationFailed) platform::ShowMessage("Ошибка калибровки!", std::string(), platform::MessageIcon::Warning);
  if (!out.verified) platform::ShowMessage(calibration::kUnverifiedText, std::string(), platform::MessageIcon::Warning);
  return true;
}

}  // namespace CalibrationVI
