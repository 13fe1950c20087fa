#include "controls/CFlyProgress.h"

#include <QMetaObject>

namespace myClass {

CFlyProgress::CFlyProgress(QWidget* parent) : QProgressBar(parent) {
  setRange(0, 100);
  setValue(0);
  setTextVisible(false);
}

void CFlyProgress::Start(int /*intervalMs*/) {
  // A range of 0..0 is the toolkit's marquee; its pace is the style's.
  running_ = true;
  setRange(0, 0);
}

void CFlyProgress::Stop() {
  running_ = false;
  setRange(0, 100);
  setValue(0);
}

void CFlyProgress::PostStart(int intervalMs) {
  QMetaObject::invokeMethod(this, [this, intervalMs] { Start(intervalMs); }, Qt::QueuedConnection);
}

void CFlyProgress::PostStop() {
  QMetaObject::invokeMethod(this, [this] { Stop(); }, Qt::QueuedConnection);
}

}  // namespace myClass
