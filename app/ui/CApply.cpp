#include "app/ui/CApply.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/CPelmDoc.h"
#include "app/ui/ServiceDialogs.h"
#include "devices/CBaseDevice.h"
#include "link/AppState.h"
#include "link/Device.h"

namespace Dialogs {

CApply::CApply(Device* link, ObjectWithParameters* network, BaseDevice::CBaseDevice* model, QWidget* parent)
    : QDialog(parent), command_(link, network, model) {
  setWindowTitle(QStringLiteral("Перевод прибора на новый режим работы"));
  auto* layout = new QVBoxLayout(this);
  auto* warning = new QLabel(
      QStringLiteral("ВНИМАНИЕ: Данная операция приведет к переключению прибора на новые сетевые параметры. "
                     "Это может привести к потере связи с прибором. Проверьте параметры связи:"),
      this);
  warning->setWordWrap(true);
  layout->addWidget(warning);
  layout->addWidget(new QLabel(QStringLiteral("Новые параметры:"), this));
  summary_ = new QLabel(QString::fromStdString(command_.Summary()), this);
  summary_->setObjectName(QStringLiteral("summary"));
  layout->addWidget(summary_);
  changeSettings_ = new QCheckBox(QStringLiteral("Поменять сразу сетевые настройки программы"), this);
  changeSettings_->setObjectName(QStringLiteral("changeSettings"));
  changeSettings_->setChecked(true);
  layout->addWidget(changeSettings_);
  // The third letter is the Latin "c", as the program has always shown it.
  broadcast_ = new QCheckBox(QStringLiteral("Поcлать широковещательную команду APLY"), this);
  broadcast_->setObjectName(QStringLiteral("broadcast"));
  layout->addWidget(broadcast_);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &CApply::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CApply::reject);
  layout->addWidget(buttons);
}

bool CApply::ChangeProgramSettings() const { return changeSettings_->isChecked(); }

void CApply::accept() {
  if (command_.Send(broadcast_->isChecked())) QDialog::accept();
}

}  // namespace Dialogs

bool RunApplyDialog(CPelmDoc& document, QWidget* parent) {
  auto* model = dynamic_cast<BaseDevice::CBaseDevice*>(App().DeviceModel());
  Dialogs::CApply dialog(document.GetDevice(), document.networkBranch, model, parent);
  return dialog.exec() == QDialog::Accepted && dialog.ChangeProgramSettings();
}
