#pragma once
// A wizard sheet with a reading thread and a progress row: the pH/redox and the
// mains wizards. The thread reads private copies of its parameters every 200 ms
// and posts each reading by value, tagged with its generation; the sheet hands a
// reading to the active page only while that generation is current. A step that
// runs longer than its limit ends on the error page.
#include <QLineEdit>
#include <QPointer>
#include <string>
#include <vector>

#include "calibration/ReadingLoop.h"
#include "calibration/SharedReading.h"
#include "calibration/ui/CErrorPage.h"

class Parameter;
class QLabel;

namespace myClass {
class CFlyProgress;
}

// One polled reading: where it is shown (may be null) and the parameter read.
struct CReading {
  QPointer<QLineEdit> control;
  Parameter* parameter = nullptr;
};

// What a page receives (the control as the reading list had it).
struct SheetReading {
  QPointer<QLineEdit> control;
  std::string name;
  calibration::Reading reading;
};

class CReadingPage {
 public:
  virtual ~CReadingPage() = default;
  virtual void OnReadingUpdated(const SheetReading& reading) = 0;
};

class CReadingSheet : public CmySheet {
  Q_OBJECT

 public:
  // stepLimitMs: the longest a device step may take; errorText: the error page's
  // message when it does.
  CReadingSheet(calibration::CalibrationLink* link, int stepLimitMs, std::string errorText, bool progressBlocksNext,
                QWidget* parent = nullptr);
  ~CReadingSheet() override;

  void AddReading(const CReading& reading) { readings_.push_back(reading); }
  void ClearReadings() { readings_.clear(); }
  void StartReadingThread();
  void StopReadingThread();
  bool ReadingThreadRunning() const { return loop_.Running(); }
  void StartProgress();
  void StopProgress();
  myClass::CFlyProgress* progress() const { return progress_; }
  QLabel* progressLabel() const { return progressLabel_; }

  void done(int result) override;

 protected:
  void OnTimer(int id) override;

 private:
  // slot: the reading's place in the list the thread copied (the list changes
  // only while the thread is stopped, so a current generation means the same list).
  void Deliver(std::uint64_t generation, size_t slot, const std::string& name, const calibration::Reading& reading);

  calibration::ReadingLoop loop_;
  std::vector<CReading> readings_;
  int stepLimitMs_;
  std::string errorText_;
  bool progressBlocksNext_;
  myClass::CFlyProgress* progress_ = nullptr;
  QLabel* progressLabel_ = nullptr;
};
