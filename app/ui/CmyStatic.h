#pragma once
// A numbered indicator of the input/output state dialog: its number is its text;
// its state text (set from the dialog's worker thread) chooses the colour it is
// painted in. Repaints are queued to the window thread.
#include <QLabel>
#include <mutex>
#include <string>

#include "devices/StateDialog.h"

namespace myClass {

class CmyStatic : public QLabel, public BaseDevice::StateIndicator {
  Q_OBJECT

 public:
  // Control ids: 108 an input indicator, 109 an output indicator.
  static constexpr int kInputId = 108;
  static constexpr int kOutputId = 109;

  CmyStatic(int number, int controlId, QWidget* parent);

  std::string GetStateText() override;
  void SetStateText(const std::string& text) override;
  // Any thread: queues a repaint.
  void Invalidate() override;

  int ControlId() const { return controlId_; }
  // The colour the background has now (the default: the window's colour).
  QColor Background();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const int controlId_;
  std::mutex lock_;
  std::string state_;
};

}  // namespace myClass
