#include "app/ui/CSinglePoint.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "app/CPelmDoc.h"
#include "app/ui/ServiceDialogs.h"
#include "link/Device.h"
#include "controls/ListEditorPopup.h"

namespace Dialogs {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

CSinglePoint::CSinglePoint(const std::vector<DescParameter>& catalogue, DeviceIO* link, QWidget* parent)
    : QDialog(parent), command_(catalogue, link) {
  setWindowTitle(QStringLiteral("Произвольный доступ к отдельным параметрам (Single Point)"));
  auto* layout = new QGridLayout(this);

  commandBox_ = new QComboBox(this);
  commandBox_->setObjectName(QStringLiteral("command"));
  commandBox_->setEditable(true);
  commandBox_->setInsertPolicy(QComboBox::NoInsert);
  controls::KeepListWide(*commandBox_);
  hash_ = new QLineEdit(this);
  hash_->setObjectName(QStringLiteral("hash"));
  hash_->setReadOnly(true);
  description_ = new QLineEdit(this);
  description_->setObjectName(QStringLiteral("description"));
  description_->setReadOnly(true);
  layout->addWidget(new QLabel(QStringLiteral("Определите команду:"), this), 0, 0);
  layout->addWidget(commandBox_, 0, 1);
  layout->addWidget(new QLabel(QStringLiteral("Хеш-код:"), this), 0, 2);
  layout->addWidget(hash_, 0, 3);
  layout->addWidget(description_, 1, 0, 1, 4);

  auto* operation = new QGroupBox(QStringLiteral("Операция:"), this);
  auto* operationLayout = new QGridLayout(operation);
  read_ = new QRadioButton(QStringLiteral("Чтение"), operation);
  read_->setObjectName(QStringLiteral("read"));
  write_ = new QRadioButton(QStringLiteral("Запись"), operation);
  write_->setObjectName(QStringLiteral("write"));
  operationLayout->addWidget(read_, 0, 0);
  operationLayout->addWidget(write_, 1, 0);
  hasIndex_ = new QCheckBox(QStringLiteral("Наличие лин-го индекса:"), operation);
  hasIndex_->setObjectName(QStringLiteral("hasIndex"));
  index_ = new QLineEdit(operation);
  index_->setObjectName(QStringLiteral("index"));
  operationLayout->addWidget(hasIndex_, 0, 1);
  operationLayout->addWidget(index_, 0, 2);
  indexInData_ = new QRadioButton(QStringLiteral("Индекс в поле данных"), operation);
  indexInData_->setObjectName(QStringLiteral("indexInData"));
  indexInAddress_ = new QRadioButton(QStringLiteral("Индекс в адресе (3 бит)"), operation);
  indexInAddress_->setObjectName(QStringLiteral("indexInAddress"));
  auto* indexPlace = new QButtonGroup(this);
  indexPlace->addButton(indexInData_);
  indexPlace->addButton(indexInAddress_);
  operationLayout->addWidget(indexInData_, 1, 1);
  operationLayout->addWidget(indexInAddress_, 1, 2);
  valueLabel_ = new QLabel(QStringLiteral("Что записать:"), operation);
  value_ = new QComboBox(operation);
  value_->setObjectName(QStringLiteral("value"));
  value_->setEditable(true);
  value_->setInsertPolicy(QComboBox::NoInsert);
  controls::KeepListWide(*value_);
  operationLayout->addWidget(valueLabel_, 2, 0);
  operationLayout->addWidget(value_, 2, 1, 1, 2);
  layout->addWidget(operation, 2, 0, 1, 4);

  layout->addWidget(new QLabel(QStringLiteral("Протокол обмена данными с прибором:"), this), 3, 0, 1, 4);
  trace_ = new QListWidget(this);
  trace_->setObjectName(QStringLiteral("trace"));
  trace_->setMinimumSize(520, 220);
  layout->addWidget(trace_, 4, 0, 1, 4);
  execute_ = new QPushButton(QStringLiteral("Выполнить!"), this);
  execute_->setObjectName(QStringLiteral("execute"));
  auto* exit = new QPushButton(QStringLiteral("Выход"), this);
  layout->addWidget(execute_, 5, 2);
  layout->addWidget(exit, 5, 3);

  // The names as the module knows them: capitals, in a sorted list.
  for (const std::string& name : command_.Names()) commandBox_->addItem(Q(name).toUpper());
  commandBox_->model()->sort(0);
  WriteControls();
  OnCommandUpdate();
  OnOperationUpdate();
  OnIndexUpdate();

  connect(commandBox_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
    // Typed text turns to capitals where the cursor is.
    const int cursor = commandBox_->lineEdit()->cursorPosition();
    if (text != text.toUpper()) {
      commandBox_->lineEdit()->setText(text.toUpper());
      commandBox_->lineEdit()->setCursorPosition(cursor);
    }
    OnCommandUpdate();
  });
  connect(commandBox_, &QComboBox::activated, this, [this](int row) {
    commandBox_->setEditText(commandBox_->itemText(row));
    OnCommandUpdate();
  });
  connect(read_, &QRadioButton::clicked, this, &CSinglePoint::OnOperationUpdate);
  connect(write_, &QRadioButton::clicked, this, &CSinglePoint::OnOperationUpdate);
  connect(hasIndex_, &QCheckBox::clicked, this, &CSinglePoint::OnIndexUpdate);
  connect(execute_, &QPushButton::clicked, this, &CSinglePoint::OnExecute);
  connect(exit, &QPushButton::clicked, this, &CSinglePoint::reject);
}

void CSinglePoint::ReadControls() {
  fields_.command = commandBox_->currentText().toStdString();
  fields_.valueText = value_->currentText().toStdString();
  fields_.operation = write_->isChecked() ? 1 : 0;
  fields_.indexPlace = indexInAddress_->isChecked() ? 1 : 0;
  fields_.hasIndex = hasIndex_->isChecked();
  fields_.indexText = index_->text().toStdString();
}

void CSinglePoint::WriteControls() {
  commandBox_->setEditText(Q(fields_.command).toUpper());
  hash_->setText(Q(fields_.hashText));
  description_->setText(Q(fields_.description));
  value_->setEditText(Q(fields_.valueText));
  read_->setChecked(fields_.operation == 0);
  write_->setChecked(fields_.operation == 1);
  indexInData_->setChecked(fields_.indexPlace == 0);
  indexInAddress_->setChecked(fields_.indexPlace == 1);
  hasIndex_->setChecked(fields_.hasIndex);
  index_->setText(Q(fields_.indexText));
}

void CSinglePoint::OnCommandUpdate() {
  ReadControls();
  const std::vector<std::string> values = command_.UpdateCommand(fields_);
  const QString typed = value_->currentText();
  value_->clear();
  for (const std::string& v : values) value_->addItem(Q(v));
  value_->setEditText(typed);
  hash_->setText(Q(fields_.hashText));
  description_->setText(Q(fields_.description));
}

void CSinglePoint::OnOperationUpdate() {
  ReadControls();
  const bool write = fields_.operation == 1;
  value_->setVisible(write);
  valueLabel_->setVisible(write);
}

void CSinglePoint::OnIndexUpdate() {
  ReadControls();
  indexInData_->setEnabled(fields_.hasIndex);
  indexInAddress_->setEnabled(fields_.hasIndex);
}

void CSinglePoint::OnExecute() {
  ReadControls();
  trace_->clear();
  for (const std::string& line : command_.Execute(fields_)) trace_->addItem(Q(line));
  if (trace_->count() > 0) trace_->setCurrentRow(trace_->count() - 1);
  WriteControls();
}

}  // namespace Dialogs

void RunSinglePointDialog(CPelmDoc& document, QWidget* parent) {
  Dialogs::CSinglePoint dialog(document.descParameters, document.GetDevice(), parent);
  dialog.exec();
}
