#include "calibration/ui/CCalibrate1.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <vector>

#include "calibration/AnalogInput.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"
#include "controls/ListEditorPopup.h"

using resources::LoadString;

namespace Dialogs {

namespace {
QString Str(int id) { return QString::fromStdString(LoadString(id)); }
}  // namespace

CCalibrate1::CCalibrate1(calibration::CalibrationLink& link, DescBranch* tree, QWidget* parent)
    : QDialog(parent), link_(link), tree_(tree) {
  setWindowTitle(QStringLiteral("Режим юстировки"));
  auto* grid = new QGridLayout(this);
  type_ = new QComboBox(this);
  type_->setObjectName(QStringLiteral("id1171"));
  description_ = new QLabel(this);
  description_->setObjectName(QStringLiteral("id1175"));
  description_->setWordWrap(true);
  sensorLabel_ = new QLabel(QStringLiteral("Датчик:"), this);
  sensor_ = new QComboBox(this);
  sensor_->setObjectName(QStringLiteral("id1174"));
  channelLabel_ = new QLabel(QStringLiteral("Канал:"), this);
  channel_ = new QComboBox(this);
  channel_->setObjectName(QStringLiteral("id1183"));
  // The lists are as wide as their longest entry: two valve sensors differ only in
  // their last words ("0..20мА", "0..5мА").
  // Their open lists draw in the menus' font and are as wide as their widest item.
  for (QComboBox* list : {type_, sensor_, channel_}) {
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    controls::KeepListWide(*list);
  }
  code_ = new QLineEdit(this);
  code_->setObjectName(QStringLiteral("id1176"));
  code_->setMaxLength(256);
  spin_ = new QSpinBox(this);
  spin_->setRange(0, 1000);
  spin_->setValue(0);
  grid->addWidget(new QLabel(QStringLiteral("Тип юстировки:"), this), 0, 0);
  grid->addWidget(type_, 0, 1, 1, 2);
  grid->addWidget(description_, 1, 0, 1, 3);
  grid->addWidget(sensorLabel_, 2, 0);
  grid->addWidget(sensor_, 2, 1, 1, 2);
  grid->addWidget(channelLabel_, 3, 0);
  grid->addWidget(channel_, 3, 1, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Код доступа:"), this), 4, 0);
  grid->addWidget(code_, 4, 1);
  grid->addWidget(spin_, 4, 2);
  auto* ok = new QPushButton(QStringLiteral("Продолжить"), this);
  ok->setObjectName(QStringLiteral("id1"));
  auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(ok);
  row->addWidget(cancel);
  grid->addLayout(row, 5, 0, 1, 3);
  connect(ok, &QPushButton::clicked, this, &CCalibrate1::accept);
  connect(cancel, &QPushButton::clicked, this, &CCalibrate1::reject);
  connect(spin_, &QSpinBox::valueChanged, this, [this](int v) { code_->setText(QString::number(v)); });

  for (int type = 0; type <= 4; ++type) type_->addItem(Str(calibration::TypeTextId(type)));
  type_->setCurrentIndex(0);
  connect(type_, &QComboBox::currentIndexChanged, this, &CCalibrate1::TypeChanged);
  TypeChanged(0);
}

void CCalibrate1::TypeChanged(int type) {
  const int description = calibration::TypeDescriptionId(type);
  description_->setText(description ? Str(description) : QString());
  const bool any = type >= 1 && type <= 4;
  code_->setEnabled(any);
  spin_->setEnabled(any);
  const bool sensors = type == 1 || type == 2 || type == 4;
  sensorLabel_->setVisible(sensors);
  sensor_->setVisible(sensors);
  channelLabel_->setVisible(type == 4);
  channel_->setVisible(type == 4);
  sensor_->clear();
  for (int id : calibration::SensorTextIds(type)) sensor_->addItem(Str(id));
  sensor_->setCurrentIndex(-1);
  if (type == 4 && channel_->count() == 0) {
    for (int c = 1; c <= calibration::kChannelCount; ++c)
      channel_->addItem(QString::fromStdString(platform::Format(LoadString(kStrInputLabel).c_str(), c)));
    channel_->setCurrentIndex(0);
  }
  // The dialog takes the size its lists and the wrapped description need.
  layout()->activate();
  adjustSize();
}

void CCalibrate1::accept() {
  const int type = type_->currentIndex();
  if (type <= 0) {
    platform::ShowMessage(LoadString(kStrChooseCalibrationType), LoadString(kStrCaptionError), platform::MessageIcon::Warning);
    return;
  }
  switch (calibration::CheckAccessCode(type, code_->text().toStdString())) {
    case calibration::CodeCheck::Wrong:
      platform::ShowMessage(LoadString(kStrWrongCode), LoadString(kStrCaptionError), platform::MessageIcon::Error);
      return;
    case calibration::CodeCheck::WrongAndClose:
      platform::ShowMessage(LoadString(kStrWrongCode), LoadString(kStrCaptionError), platform::MessageIcon::Error);
      QDialog::reject();
      return;
    case calibration::CodeCheck::Right:
      break;
  }
  const int sensor = sensor_->currentIndex();
  const int channel = type == 4 ? channel_->currentIndex() : 0;
  if ((type != 3 && sensor < 0) || channel < 0) return;
  const int code = calibration::SensorCode(type, sensor);
  if (type != 3 && !calibration::WriteSensorCode(link_, tree_, code, channel)) {
    QDialog::reject();
    return;
  }
  choice_ = CalibrationChoice{type, LoadString(calibration::InstructionId(type, code)), channel};
  QDialog::accept();
}

CCalibrate2::CCalibrate2(calibration::CalibrationLink& link, const CalibrationChoice& choice, QWidget* parent)
    : QDialog(parent), machine_(link, choice.type, choice.instruction, choice.channel) {
  ownCaption_ = QStringLiteral("Продолжение юстировки");
  setWindowTitle(ownCaption_);
  auto* layout = new QVBoxLayout(this);
  heading_ = new QLineEdit(this);
  heading_->setObjectName(QStringLiteral("id1205"));
  heading_->setReadOnly(true);
  main_ = new QLabel(this);
  main_->setObjectName(QStringLiteral("id1172"));
  main_->setWordWrap(true);
  main_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  main_->setMinimumSize(420, 200);
  continue_ = new QPushButton(QStringLiteral("Продолжить"), this);
  continue_->setObjectName(QStringLiteral("id1"));
  cancel_ = new QPushButton(QStringLiteral("Отмена"), this);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(continue_);
  row->addWidget(cancel_);
  layout->addWidget(heading_);
  layout->addWidget(main_, 1);
  layout->addLayout(row);
  timer_ = new QTimer(this);
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, [this] { Carry(machine_.Resume()); });
  connect(continue_, &QPushButton::clicked, this, &CCalibrate2::Continue);
  connect(cancel_, &QPushButton::clicked, this, &CCalibrate2::reject);
  Show();
}

CCalibrate2::~CCalibrate2() {
  timer_->stop();
  machine_.End();
}

QString CCalibrate2::Heading() const { return heading_->text(); }

QString CCalibrate2::MainText() const { return main_->text(); }

void CCalibrate2::Show() {
  heading_->setText(QString::fromStdString(machine_.heading));
  main_->setText(QString::fromStdString(machine_.mainText));
  setWindowTitle(machine_.caption.empty() ? ownCaption_ : QString::fromStdString(machine_.caption));
  const bool running = machine_.Running();
  const bool wasUsable = continue_->isVisibleTo(this) && continue_->isEnabled();
  continue_->setVisible(machine_.continueVisible);
  continue_->setEnabled(machine_.continueEnabled && !running);
  // Hidden or disabled, "Продолжить" handed the focus (and with it the default) to
  // "Отмена"; shown again, it takes both back, so that Enter goes on as the text asks.
  if (!wasUsable && continue_->isVisibleTo(this) && continue_->isEnabled()) {
    continue_->setDefault(true);
    continue_->setFocus(Qt::OtherFocusReason);
  }
}

void CCalibrate2::Continue() {
  if (machine_.Running()) return;
  Carry(machine_.Press());
}

void CCalibrate2::Carry(calibration::Calibrate2Machine::Request request) {
  using Next = calibration::Calibrate2Machine::Next;
  // Boxes are answered at once; pauses go back to the event loop on the timer.
  while (request.kind == Next::Ask) {
    Show();
    const int answer = platform::CurrentPrompter().Show(request.box);
    request = machine_.Answer(answer);
  }
  Show();
  if (request.kind == Next::Wait) {
    timer_->start(request.waitMs);
  } else if (request.kind == Next::Close) {
    timer_->stop();
    if (request.closedOk)
      QDialog::accept();
    else
      QDialog::reject();
  }
}

void CCalibrate2::reject() {
  timer_->stop();
  machine_.Cancel();
  QDialog::reject();
}

void RunAnalogInputCalibration(calibration::CalibrationLink& link, DescBranch* tree, bool firstModel,
                               const std::string& displayName, QWidget* parent) {
  enum class Next { First, Second, None };
  Next next = Next::First;
  CalibrationChoice choice;
  std::vector<std::string> afterTexts;
  while (next != Next::None) {
    if (next == Next::First) {
      CCalibrate1 first(link, tree, parent);
      if (first.exec() != QDialog::Accepted || !first.choice()) break;
      choice = *first.choice();
      const calibration::ModelTexts texts = calibration::TextsAroundCalibration(firstModel, displayName, choice.type);
      platform::ShowMessage(texts.before, LoadString(kStrCalibrationCaption), platform::MessageIcon::Warning);
      // The closing text of a dialog opened from a later one comes first, as the
      // nested dialogs of the original order would show it.
      afterTexts.push_back(texts.after);
    }
    calibration::Calibrate2Machine::FollowUp followUp;
    {
      CCalibrate2 second(link, choice, parent);
      second.exec();
      followUp = second.machine().AskClosingQuestion();
    }
    next = followUp == calibration::Calibrate2Machine::FollowUp::NewCalibrate1      ? Next::First
           : followUp == calibration::Calibrate2Machine::FollowUp::RepeatCalibrate2 ? Next::Second
                                                                                    : Next::None;
  }
  for (auto it = afterTexts.rbegin(); it != afterTexts.rend(); ++it)
    platform::ShowMessage(*it, LoadString(kStrBackToService), platform::MessageIcon::Warning);
}

}  // namespace Dialogs
