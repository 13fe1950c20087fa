#pragma once
// A caption over one side of the input/output state dialog: white text on a grey
// vertical gradient, in a dark frame.
#include <QLabel>

namespace Dialogs {

class CGradientStatic : public QLabel {
  Q_OBJECT

 public:
  CGradientStatic(const QString& text, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace Dialogs
