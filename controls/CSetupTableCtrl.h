#pragma once
// The table of the connection and model lists: an edited text is offered to the
// cell's parameter, and the cell then shows the parameter's value, so that a
// refused text puts the old value back.
#include <functional>
#include <string>

#include "controls/CTableCtrl.h"

class Parameter;

namespace myClass {

class CSetupTableCtrl : public CTableCtrl {
  Q_OBJECT

 public:
  using CTableCtrl::CTableCtrl;
  void OnEndEdit(const std::string& text) override;
  // The port's cell shows its name with the device that will be opened.
  bool SetItemText(int row, int column, const ValueText& text) override;
  // The port's list starts on the port's name, or on the device it opens; a port
  // the system does not list is one of its items, and a device path can be typed.
  void OnBeginEdit(CObject* object) override;

  // Asked first, when set (under the exchange lock): false refuses the text and the
  // cell keeps the parameter's value. The owner says why.
  std::function<bool(const Parameter&, const std::string&)> acceptEdit;
  // Called after a refusal, outside the lock (the owner's message).
  std::function<void()> onRefused;
};

}  // namespace myClass
