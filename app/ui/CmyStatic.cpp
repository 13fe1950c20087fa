#include "app/ui/CmyStatic.h"

#include <QPainter>

#include "app/StateInOutLogic.h"

namespace myClass {
namespace {

QColor Colour(model::ColorRef c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

}  // namespace

CmyStatic::CmyStatic(int number, int controlId, QWidget* parent)
    : QLabel(QString::number(number), parent), controlId_(controlId) {
  setAlignment(Qt::AlignCenter);
  setFrameShape(QFrame::Box);
}

std::string CmyStatic::GetStateText() {
  std::lock_guard lock(lock_);
  return state_;
}

void CmyStatic::SetStateText(const std::string& text) {
  std::lock_guard lock(lock_);
  state_ = text;
}

void CmyStatic::Invalidate() { QMetaObject::invokeMethod(this, [this] { update(); }, Qt::QueuedConnection); }

QColor CmyStatic::Background() {
  const std::string state = GetStateText();
  const Dialogs::LedPaint paint =
      controlId_ == kOutputId ? Dialogs::OutputLedPaint(state) : Dialogs::InputLedPaint(state);
  switch (paint) {
    case Dialogs::LedPaint::Orange: return Colour(Dialogs::kOrange);
    case Dialogs::LedPaint::LightGreen: return Colour(Dialogs::kLightGreen);
    case Dialogs::LedPaint::Hatched: return Colour(Dialogs::kHatchGreen);
    case Dialogs::LedPaint::Default: break;
  }
  return palette().color(QPalette::Window);
}

void CmyStatic::paintEvent(QPaintEvent* event) {
  const std::string state = GetStateText();
  const Dialogs::LedPaint paint =
      controlId_ == kOutputId ? Dialogs::OutputLedPaint(state) : Dialogs::InputLedPaint(state);
  if (paint != Dialogs::LedPaint::Default) {
    QPainter painter(this);
    const QBrush brush = paint == Dialogs::LedPaint::Hatched ? QBrush(Colour(Dialogs::kHatchGreen), Qt::DiagCrossPattern)
                                                             : QBrush(Background());
    painter.fillRect(rect(), brush);
  }
  QLabel::paintEvent(event);
}

}  // namespace myClass
