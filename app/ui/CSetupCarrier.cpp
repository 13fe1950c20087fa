#include "app/ui/CSetupCarrier.h"

#include <QApplication>
#include <algorithm>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/ui/CSelectDeviceDlg.h"
#include "controls/CSetupTableCtrl.h"
#include "devices/CBrand.h"
#include "link/AppState.h"
#include "link/Device.h"
#include "link/NetRS485prg.h"
#include "link/NetworkChecks.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"

namespace PreStart {
namespace {
constexpr int kRowHeight = 18;
constexpr uint8_t kModeOffline = 0x02;  // automatic reading off

QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

CSetupCarrier::CSetupCarrier(Device& link, CBrand* brand, bool offlineAllowed, QWidget* parent)
    : CSetupCarrier(std::make_unique<DeviceSetupLink>(link), brand, offlineAllowed, parent) {}

CSetupCarrier::CSetupCarrier(std::unique_ptr<SetupLink> link, CBrand* brand, bool offlineAllowed, QWidget* parent)
    : QDialog(parent), link_(std::move(link)), brand_(brand) {
  Init(offlineAllowed);
}

CSetupCarrier::~CSetupCarrier() {
  if (worker_) worker_->Stop();
}

void CSetupCarrier::Init(bool offlineAllowed) {
  setWindowTitle(QStringLiteral("Установка связи с прибором"));
  setModal(true);
  auto* layout = new QGridLayout(this);
  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(32, 32));
  layout->addWidget(icon, 0, 0, Qt::AlignTop);

  table_ = new myClass::CSetupTableCtrl(this);
  table_->setObjectName(QStringLiteral("list1337"));
  table_->setFixedSize(420, 170);
  table_->SetRowHeight(kRowHeight);
  layout->addWidget(table_, 0, 1);

  auto* column = new QVBoxLayout;
  const std::pair<int, const char*> buttons[] = {{kConnect, "Установить связь"},
                                                 {kScan, "Сканирование сети"},
                                                 {kFactory, "Заводские сетевые настройки"},
                                                 {kOffline, "Работать offline"},
                                                 {kExit, "Выход"}};
  for (const auto& [id, text] : buttons) {
    auto* button = new QPushButton(QString::fromUtf8(text), this);
    button->setObjectName(QStringLiteral("button%1").arg(id));
    // Enter belongs to the table's editing; it must not close the dialog.
    button->setAutoDefault(false);
    buttons_[id] = button;
    column->addWidget(button);
  }
  column->addStretch();
  layout->addLayout(column, 0, 2);

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("static1338"));
  status_->setWordWrap(true);
  status_->setMinimumHeight(36);
  layout->addWidget(status_, 1, 0, 1, 3);

  connect(buttons_[kConnect], &QPushButton::clicked, this, &CSetupCarrier::OnConnect);
  connect(buttons_[kScan], &QPushButton::clicked, this, &CSetupCarrier::OnScan);
  connect(buttons_[kFactory], &QPushButton::clicked, this, &CSetupCarrier::OnFactory);
  connect(buttons_[kOffline], &QPushButton::clicked, this, &CSetupCarrier::OnOffline);
  connect(buttons_[kExit], &QPushButton::clicked, this, &CSetupCarrier::reject);

  // The table of the program's port settings.
  table_->SetExtendedStyle(myClass::TableControl::kStyleFullRowSelect | myClass::TableControl::kStyleInfoTip);
  const int width = table_->GetClientWidth();
  table_->InsertColumn(0, resources::LoadString(kStrPortSettings), myClass::TableControl::kColumnCentre,
                       width * 3 / 4);
  table_->InsertColumn(1, resources::LoadString(kStrValue), myClass::TableControl::kColumnCentre, width / 4);
  const auto& parameters = link_->Settings().parameters;
  for (size_t i = 0; i < parameters.size(); ++i) {
    const int row = static_cast<int>(i);
    Parameter* p = parameters[i].get();
    table_->InsertItem(row, p->description);
    table_->SetCell(row, -1, p, myClass::TableControl::kCellNoRangeTip);
    table_->SetItemText(row, 1, p->value);
    table_->SetFlags(row, 0, myClass::TableControl::kCellNotEdited, myClass::TableControl::kCellNotEdited);
  }
  // The values' column takes from the descriptions' what they do not need, so that
  // the port's cell shows its device whole (a longer one still has its tip).
  const int lacking = table_->ContentWidth(1) - table_->columnWidth(1);
  const int spare = table_->columnWidth(0) - table_->ContentWidth(0);
  if (lacking > 0 && spare > 0) {
    const int moved = std::min(lacking, spare);
    table_->setColumnWidth(0, table_->columnWidth(0) - moved);
    table_->setColumnWidth(1, table_->columnWidth(1) + moved);
  }
  // An address the frames cannot carry is refused, never cut to its low bits; a
  // frame no module takes is refused as in the tree.
  table_->acceptEdit = [this](const Parameter& p, const std::string& text) {
    return Elements::CheckAddressSettings(link_->Settings(), p.name, text) &&
           Elements::CheckFrameSettings(link_->Settings(), p.name, text);
  };
  table_->onRefused = [] {
    platform::ShowMessage(resources::LoadString(kStrForbiddenCombination), "", platform::MessageIcon::Error);
  };
  buttons_[kOffline]->setEnabled(offlineAllowed);
  worker_ = std::make_unique<SetupWorker>(*link_, *this);
  // Opened after a failed connection: why it failed is shown at once (the port
  // that could not be opened, the module that did not answer).
  if (const std::string status = worker_->OpeningStatus(); !status.empty()) SetStatusText(status, true);

  worker_->Start();
}

QPushButton* CSetupCarrier::Button(int id) const { return id >= 0 && id < 7 ? buttons_[id] : nullptr; }

void CSetupCarrier::SetStatusText(const std::string& text, bool error) {
  status_->setText(Q(text));
  error_ = error;
  QPalette palette = status_->palette();
  palette.setColor(QPalette::WindowText, error ? QColor(200, 0, 0) : QColor(0, 0, 200));
  status_->setPalette(palette);
  if (error) QApplication::beep();
}

QString CSetupCarrier::StatusText() const { return status_->text(); }

// ---------------------------------------------------------------- worker's side

void CSetupCarrier::SetStatus(const std::string& text, bool error) {
  QMetaObject::invokeMethod(
      this, [this, text, error] {
        if (!stopping_) SetStatusText(text, error);
      },
      Qt::QueuedConnection);
}

void CSetupCarrier::EnableTable(bool enable) {
  QMetaObject::invokeMethod(
      this,
      [this, enable] {
        // The attempt reads the settings: they stay as they are until it ends.
        table_->setEnabled(enable);
        for (int id : {kConnect, kScan, kFactory}) buttons_[id]->setEnabled(enable);
      },
      Qt::QueuedConnection);
}

void CSetupCarrier::ShowValue(int row, const ValueText& text) {
  QMetaObject::invokeMethod(this, [this, row, text] { table_->SetItemText(row, 1, text); }, Qt::QueuedConnection);
}

void CSetupCarrier::PostCommand(int command) {
  QMetaObject::invokeMethod(this, [this, command] { OnCommand(command); }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------- commands

void CSetupCarrier::OnCommand(int command) {
  switch (command) {
    case SetupWorker::kCommandOk: accept(); break;
    case SetupWorker::kCommandOffline: OnOffline(); break;
    default: reject(); break;
  }
}

void CSetupCarrier::OnConnect() {
  worker_->Connect();
  SetStatusText(resources::LoadString(kStrScanning), false);
}

void CSetupCarrier::OnScan() { worker_->Scan(); }

void CSetupCarrier::OnFactory() {
  worker_->ApplyFactorySettings();
  OnConnect();
}

void CSetupCarrier::accept() {
  if (!worker_->Finished()) {
    worker_->RequestExit(SetupWorker::kCommandOk);
    return;
  }
  platform::ShowMessage(resources::LoadString(kStrLinkEstablished), std::string(), platform::MessageIcon::Information);
  done(QDialog::Accepted);
}

void CSetupCarrier::done(int result) {
  worker_->Stop();
  QDialog::done(result);
}

void CSetupCarrier::reject() {
  if (!worker_->Finished()) {
    SetStatusText(resources::LoadString(kStrStopping), false);
    stopping_ = true;
    worker_->RequestExit(SetupWorker::kCommandCancel);
    return;
  }
  done(QDialog::Rejected);
}

void CSetupCarrier::OnOffline() {
  if (!worker_->Finished()) {
    SetStatusText(resources::LoadString(kStrStopping), false);
    stopping_ = true;
    worker_->RequestExit(SetupWorker::kCommandOffline);
    return;
  }
  exchange::BatchSettings batch = App().Batch();
  batch.modeFlags = kModeOffline;
  App().SetBatch(batch);
  CSelectDeviceDlg choice(nullptr, brand_, this);
  done(choice.exec() == QDialog::Accepted ? QDialog::Accepted : QDialog::Rejected);
}

}  // namespace PreStart

bool RunConnectionSetupDialog(Device& link, QWidget* parent) {
  PreStart::CSetupCarrier dialog(link, GetDeviceBrand(), true, parent);
  return dialog.exec() == QDialog::Accepted;
}
