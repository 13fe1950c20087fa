#include "calibration/ui/CmySheet.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "calibration/ui/CErrorPage.h"

CWizardPage::CWizardPage(CmySheet* sheet, const QString& title) : QWidget(nullptr), sheet_(sheet), title_(title) {}

CmySheet::CmySheet(calibration::CalibrationLink* link, QWidget* parent) : QDialog(parent), link_(link) {
  auto* layout = new QVBoxLayout(this);
  title_ = new QLabel(this);
  QFont bold = title_->font();
  bold.setBold(true);
  title_->setFont(bold);
  stack_ = new QStackedWidget(this);
  layout->addWidget(title_);
  layout->addWidget(stack_, 1);
  auto* row = new QHBoxLayout;
  back_ = new QPushButton(QStringLiteral("< Назад"), this);
  next_ = new QPushButton(QStringLiteral("Далее >"), this);
  finish_ = new QPushButton(QStringLiteral("Готово"), this);
  cancel_ = new QPushButton(QStringLiteral("Отмена"), this);
  back_->setObjectName(QStringLiteral("id%1").arg(kIdBack));
  next_->setObjectName(QStringLiteral("id%1").arg(kIdNext));
  finish_->setObjectName(QStringLiteral("id%1").arg(kIdFinish));
  cancel_->setObjectName(QStringLiteral("id%1").arg(kIdCancel));
  for (QPushButton* b : {back_, next_, finish_, cancel_}) b->setAutoDefault(false);
  row->addStretch(1);
  row->addWidget(back_);
  row->addWidget(next_);
  row->addWidget(finish_);
  row->addSpacing(8);
  row->addWidget(cancel_);
  layout->addLayout(row);
  connect(back_, &QPushButton::clicked, this, &CmySheet::Back);
  connect(next_, &QPushButton::clicked, this, &CmySheet::Next);
  connect(finish_, &QPushButton::clicked, this, &CmySheet::Finish);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  SetWizardButtons(kBack | kNext);
  resize(520, 360);
}

CmySheet::~CmySheet() { StopTimers(); }

void CmySheet::AddPage(CWizardPage* page) {
  pages_.push_back(page);
  stack_->addWidget(page);
}

int CmySheet::PageIndex(const CWizardPage* page) const {
  for (size_t i = 0; i < pages_.size(); ++i)
    if (pages_[i] == page) return static_cast<int>(i);
  return -1;
}

CWizardPage* CmySheet::Page(int index) const {
  return index >= 0 && index < PageCount() ? pages_[static_cast<size_t>(index)] : nullptr;
}

CWizardPage* CmySheet::ActivePage() const { return Page(active_); }

void CmySheet::SetActivePage(int index) {
  CWizardPage* page = Page(index);
  if (page == nullptr) return;
  if (CWizardPage* old = ActivePage()) old->OnKillActive();
  active_ = index;
  stack_->setCurrentWidget(page);
  title_->setText(page->title());
  if (!page->initialised_) {
    page->initialised_ = true;
    page->OnInitDialog();
  }
  page->OnSetActive();
}

void CmySheet::GoNext() { SetActivePage(active_ + 1); }

void CmySheet::Begin() {
  SetActivePage(0);
  show();
}

int CmySheet::RunModal() {
  SetActivePage(0);
  return exec();
}

void CmySheet::Back() {
  CWizardPage* page = ActivePage();
  if (page == nullptr || !back_->isEnabled()) return;
  const int target = page->OnWizardBack();
  if (target == CWizardPage::kStay) return;
  SetActivePage(target == CWizardPage::kDefault ? active_ - 1 : target);
}

void CmySheet::Next() {
  CWizardPage* page = ActivePage();
  if (page == nullptr || !next_->isEnabled()) return;
  const int target = page->OnWizardNext();
  if (target == CWizardPage::kStay) return;
  SetActivePage(target == CWizardPage::kDefault ? active_ + 1 : target);
}

void CmySheet::Finish() {
  CWizardPage* page = ActivePage();
  if (page != nullptr && page->OnWizardFinish()) accept();
}

void CmySheet::SetWizardButtons(int flags) {
  back_->setEnabled((flags & kBack) != 0);
  const bool finish = (flags & kFinish) != 0;
  next_->setVisible(!finish);
  next_->setEnabled((flags & kNext) != 0);
  finish_->setVisible(finish);
  finish_->setEnabled(finish);
  finish_->setText(QStringLiteral("Готово"));
}

QPushButton* CmySheet::Button(int id) const {
  switch (id) {
    case kIdBack: return back_;
    case kIdNext: return next_;
    case kIdFinish: return finish_;
    case kIdCancel: return cancel_;
    default: return nullptr;
  }
}

void CmySheet::EnableButton(int id, bool enabled) {
  if (QPushButton* b = Button(id)) b->setEnabled(enabled);
}

void CmySheet::SetButtonText(int id, const QString& text) {
  if (QPushButton* b = Button(id)) b->setText(text);
}

void CmySheet::StartTimer(int id, int ms) {
  QTimer*& timer = timers_[id];
  if (timer == nullptr) {
    timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, id] { OnTimer(id); });
  }
  timer->start(ms);
}

void CmySheet::KillTimer(int id) {
  auto it = timers_.find(id);
  if (it != timers_.end()) it->second->stop();
}

bool CmySheet::TimerActive(int id) const {
  auto it = timers_.find(id);
  return it != timers_.end() && it->second->isActive();
}

void CmySheet::StopTimers() {
  for (auto& [id, timer] : timers_) timer->stop();
}

void CmySheet::done(int result) {
  StopTimers();
  QDialog::done(result);
}

void CmySheet::OnTimer(int id) {
  if (id != calibration::kFirstPollTimer && id != calibration::kRetryPollTimer) return;
  KillTimer(id);
  if (link_ == nullptr) return;
  const calibration::PollOutcome outcome = poll_.Poll(*link_, id);
  auto* error = FindPageByClass<CErrorPage>();
  switch (outcome.kind) {
    case calibration::PollOutcome::Done:
      GoNext();
      return;
    case calibration::PollOutcome::PollAgain:
      StartTimer(calibration::kRetryPollTimer, calibration::kRetryDelayMs);
      return;
    case calibration::PollOutcome::Failed:
      if (error) error->message = outcome.errorText;
      break;
    case calibration::PollOutcome::KeepText:
      break;
  }
  if (error) SetActivePage(error);
}
