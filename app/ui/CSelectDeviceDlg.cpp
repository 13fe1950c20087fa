#include "app/ui/CSelectDeviceDlg.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/CSetupTableCtrl.h"
#include "devices/CBrand.h"
#include "link/AppState.h"
#include "link/ModelTable.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"

namespace {
constexpr int kRowHeight = 18;
}  // namespace

CSelectDeviceDlg::CSelectDeviceDlg(Device* /*link*/, CBrand* brand, QWidget* parent)
    : QDialog(parent), brand_(brand) {
  setWindowTitle(QStringLiteral("Выберите прибор"));
  setModal(true);
  for (int i = 0; i < exchange::kModelCount; ++i) names_[exchange::ModelDisplayName(i)] = i;

  auto* layout = new QVBoxLayout(this);
  table_ = new myClass::CSetupTableCtrl(this);
  table_->setObjectName(QStringLiteral("list1337"));
  table_->setFixedSize(240, 300);
  table_->SetRowHeight(kRowHeight);
  layout->addWidget(table_);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &CSelectDeviceDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CSelectDeviceDlg::reject);

  table_->SetExtendedStyle(myClass::TableControl::kStyleFullRowSelect);
  const int width = table_->GetClientWidth();
  table_->InsertColumn(0, resources::LoadString(kStrDeviceName), myClass::TableControl::kColumnCentre, width);
  if (brand_) brand_->FillModelList(table_);
  const std::vector<int> widths{width};
  table_->AutoSizeColumns(&widths);
}

void CSelectDeviceDlg::accept() {
  const int row = table_->GetSelectedRow();
  if (row < 0) {
    platform::ShowMessage(resources::LoadString(kStrChooseFirst), std::string(), platform::MessageIcon::None,
                          platform::MessageButtons::Ok);
    return;
  }
  const auto found = names_.find(table_->GetItemText(row, 0));
  if (found == names_.end()) return;
  App().modelIndex = found->second;
  QDialog::accept();
}
