#include "app/ui/TaskProgressDialog.h"

#include <QGridLayout>
#include <algorithm>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

#include "link/Device.h"
#include "resources/StringTable.h"

namespace Dialogs {

TaskProgressDialog::TaskProgressDialog(Device& device, int captionId, int total, QWidget* parent)
    : QDialog(parent), device_(device) {
  setWindowTitle(QString::fromStdString(resources::LoadString(captionId)));
  setModal(true);
  auto* layout = new QGridLayout(this);
  list_ = new QListWidget(this);
  list_->setMinimumSize(420, 180);
  elapsed_ = new QLabel(this);
  counts_ = new QLabel(this);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, total);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  abort_ = new QPushButton(QStringLiteral("Прервать!"), this);
  abort_->setDefault(true);

  layout->addWidget(list_, 0, 0, 1, 4);
  layout->addWidget(new QLabel(QStringLiteral("Обмен идет:"), this), 1, 0);
  layout->addWidget(elapsed_, 1, 1);
  layout->addWidget(new QLabel(QStringLiteral("Обработано пар-ов:"), this), 1, 2);
  layout->addWidget(counts_, 1, 3);
  layout->addWidget(progress_, 2, 0, 1, 4);
  layout->addWidget(abort_, 3, 3);
  connect(abort_, &QPushButton::clicked, this, &TaskProgressDialog::Abort);
}

void TaskProgressDialog::AddLine(const exchange::ProgressLine& line) {
  list_->addItem(QString::fromStdString(line.text));
  if (line.scrollToEnd) list_->scrollToBottom();
  elapsed_->setText(QString::fromStdString(line.elapsed));
  if (!line.counts.empty()) {
    counts_->setText(QString::fromStdString(line.counts));
    progress_->setValue(std::min(line.done, progress_->maximum()));
  }
}

QStringList TaskProgressDialog::Lines() const {
  QStringList lines;
  for (int i = 0; i < list_->count(); ++i) lines << list_->item(i)->text();
  return lines;
}

QString TaskProgressDialog::ElapsedText() const { return elapsed_->text(); }

QString TaskProgressDialog::CountsText() const { return counts_->text(); }

int TaskProgressDialog::ProgressValue() const { return progress_->value(); }

void TaskProgressDialog::reject() { Abort(); }

void TaskProgressDialog::Abort() { device_.OnAbortPressed(); }

}  // namespace Dialogs
