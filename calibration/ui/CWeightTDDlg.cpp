#include "calibration/ui/CWeightTDDlg.h"

#include <algorithm>

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include "calibration/TareWeight.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"
#include "controls/ListEditorPopup.h"

CWeightTDDlg::CWeightTDDlg(calibration::CalibrationLink& link, DescBranch* tree, bool fourChannels, QWidget* parent)
    : QDialog(parent), link_(link), tree_(tree), fourChannels_(fourChannels) {
  setWindowTitle(QStringLiteral("Измерение веса тары"));
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("Текущий вес:"), this), 0, 0);
  weight_ = new QLineEdit(this);
  weight_->setObjectName(QStringLiteral("id1345"));
  weight_->setReadOnly(true);
  // Wide enough for every text it shows whole: the texts of no reading and of an
  // invalid one are longer than a weight.
  int widest = 0;
  for (int id : {kStrNoData, kStrInvalidValue})
    widest = std::max(widest, weight_->fontMetrics().horizontalAdvance(QString::fromStdString(resources::LoadString(id))));
  const int frame = weight_->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, weight_);
  weight_->setMinimumWidth(widest + 2 * frame + weight_->fontMetrics().averageCharWidth() + 4);
  grid->addWidget(weight_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("ед."), this), 0, 2);
  auto* question =
      new QLabel(QStringLiteral("Вы уверены, что хотите использовать текущий вес в качестве веса тары?"), this);
  question->setWordWrap(true);
  grid->addWidget(question, 1, 0, 1, 3);
  channelLabel_ = new QLabel(QStringLiteral("Канал:"), this);
  channelLabel_->setObjectName(QStringLiteral("id1338"));
  channel_ = new QComboBox(this);
  channel_->setObjectName(QStringLiteral("id1346"));
  channel_->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
  controls::KeepListWide(*channel_);
  grid->addWidget(channelLabel_, 2, 0);
  grid->addWidget(channel_, 2, 1);
  auto* yes = new QPushButton(QStringLiteral("Да"), this);
  yes->setObjectName(QStringLiteral("id1"));
  auto* no = new QPushButton(QStringLiteral("Нет"), this);
  no->setObjectName(QStringLiteral("id2"));
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(yes);
  row->addWidget(no);
  grid->addLayout(row, 3, 0, 1, 3);
  connect(yes, &QPushButton::clicked, this, &CWeightTDDlg::accept);
  connect(no, &QPushButton::clicked, this, &CWeightTDDlg::reject);

  channelLabel_->setVisible(fourChannels_);
  channel_->setVisible(fourChannels_);
  channel_->setCurrentIndex(0);
  timer_ = new QTimer(this);
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, &CWeightTDDlg::Refresh);
  timer_->start(calibration::kWeightRefreshMs);
}

int CWeightTDDlg::Channel() const { return fourChannels_ ? channel_->currentIndex() : 0; }

void CWeightTDDlg::Refresh() {
  weight_->setText(QString::fromStdString(calibration::ReadWeightText(link_, tree_, Channel())));
  timer_->start(calibration::kWeightRefreshMs);
}

void CWeightTDDlg::accept() {
  const std::string error = calibration::StoreTareWeight(link_, tree_, Channel(), fourChannels_);
  if (!error.empty()) {
    platform::ShowMessage("Не удалось записать вес тары!\n" + error, std::string(), platform::MessageIcon::Warning);
    return;
  }
  QDialog::accept();
}

void CWeightTDDlg::done(int result) {
  timer_->stop();
  QDialog::done(result);
}
