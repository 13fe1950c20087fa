#pragma once
// The input/output state dialog as the device models update it from its poll
// thread: per row of the inputs table an optional indicator with a state text.
// The window layer implements it; tests use a fake.
#include <string>

class CObject;

namespace BaseDevice {

// One numbered indicator of the dialog. Its state text is separate from the
// number it shows; whoever changes the text invalidates the indicator.
class StateIndicator {
 public:
  virtual ~StateIndicator() = default;
  virtual std::string GetStateText() = 0;
  virtual void SetStateText(const std::string& text) = 0;
  // Repaints the indicator, background included.
  virtual void Invalidate() = 0;
};

class StateDialog {
 public:
  virtual ~StateDialog() = default;
  // Rows of the inputs table.
  virtual int GetInputRowCount() = 0;
  // The indicator of an inputs row; null when the row has none.
  virtual StateIndicator* GetInputIndicator(int row) = 0;
  // The object bound to the first cell of an inputs row (as a rule a Parameter), or null.
  virtual CObject* GetInputRowObject(int row) = 0;
};

}  // namespace BaseDevice
