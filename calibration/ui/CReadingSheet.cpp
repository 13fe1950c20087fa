#include "calibration/ui/CReadingSheet.h"

#include <QLabel>
#include <QLayout>
#include <QLineEdit>

#include "controls/CFlyProgress.h"
#include "model/Parameter.h"

CReadingSheet::CReadingSheet(calibration::CalibrationLink* link, int stepLimitMs, std::string errorText,
                             bool progressBlocksNext, QWidget* parent)
    : CmySheet(link, parent),
      stepLimitMs_(stepLimitMs),
      errorText_(std::move(errorText)),
      progressBlocksNext_(progressBlocksNext) {
  progressLabel_ = new QLabel(QStringLiteral("Идёт процесс юстировки..."), this);
  progressLabel_->setAlignment(Qt::AlignCenter);
  progress_ = new myClass::CStandartProgress(this);
  progress_->setObjectName(QStringLiteral("id1"));
  // Above the button row.
  if (auto* box = qobject_cast<QBoxLayout*>(layout())) {
    box->insertWidget(box->count() - 1, progressLabel_);
    box->insertWidget(box->count() - 1, progress_);
  }
  progressLabel_->hide();
  progress_->hide();
}

CReadingSheet::~CReadingSheet() { loop_.Stop(); }

void CReadingSheet::StartReadingThread() {
  if (link() == nullptr || loop_.Running()) return;
  // The thread works on its own copy of the parameters; the controls stay here.
  std::vector<Parameter*> list;
  for (const CReading& r : readings_) list.push_back(r.parameter);
  calibration::CalibrationLink* link = this->link();
  loop_.Start([list, link, this](std::uint64_t generation) {
    for (size_t slot = 0; slot < list.size(); ++slot) {
      if (loop_.StopRequested()) return;
      const std::string name = list[slot] ? list[slot]->name : std::string();
      const calibration::Reading reading = calibration::ReadSharedCopy(*link, list[slot]);
      QMetaObject::invokeMethod(
          this, [this, generation, slot, name, reading] { Deliver(generation, slot, name, reading); },
          Qt::QueuedConnection);
    }
  });
}

void CReadingSheet::StopReadingThread() { loop_.Stop(); }

void CReadingSheet::Deliver(std::uint64_t generation, size_t slot, const std::string& name,
                            const calibration::Reading& reading) {
  if (!loop_.IsCurrent(generation) || slot >= readings_.size()) return;  // read before the last stop
  if (auto* page = dynamic_cast<CReadingPage*>(ActivePage()))
    page->OnReadingUpdated(SheetReading{readings_[slot].control, name, reading});
}

void CReadingSheet::StartProgress() {
  progressLabel_->show();
  progress_->show();
  progress_->Start(21);
  if (progressBlocksNext_) EnableButton(kIdNext, false);
  StartTimer(1, stepLimitMs_);
}

void CReadingSheet::StopProgress() {
  KillTimer(1);
  progress_->Stop();
  progress_->hide();
  progressLabel_->hide();
  if (progressBlocksNext_) EnableButton(kIdNext, true);
}

void CReadingSheet::OnTimer(int id) {
  if (id != 1) return;
  StopProgress();
  StopReadingThread();
  if (auto* error = FindPageByClass<CErrorPage>()) {
    error->message = errorText_;
    SetActivePage(error);
  }
}

void CReadingSheet::done(int result) {
  StopReadingThread();
  StopProgress();
  ClearReadings();
  CmySheet::done(result);
}
