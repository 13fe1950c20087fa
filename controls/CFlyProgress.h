#pragma once
// Progress bars for work whose length cannot be foreseen: Start runs a busy
// animation, Stop ends it and leaves the bar empty. Other threads reach both only
// through PostStart and PostStop, which queue the call to the bar's thread.
#include <QProgressBar>

namespace myClass {

class CFlyProgress : public QProgressBar {
  Q_OBJECT

 public:
  explicit CFlyProgress(QWidget* parent = nullptr);

  // Window thread. The interval is the animation's step in ms.
  virtual void Start(int intervalMs);
  virtual void Stop();
  bool IsRunning() const { return running_; }

  // Any thread.
  void PostStart(int intervalMs);
  void PostStop();

 private:
  bool running_ = false;
};

// The marquee variant (the one the wizards create).
class CStandartProgress : public CFlyProgress {
  Q_OBJECT

 public:
  using CFlyProgress::CFlyProgress;
};

}  // namespace myClass
