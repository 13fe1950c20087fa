#pragma once
// The model of index 10 ("Z580-11"): counters.

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M11 : public CBaseDevice {
 public:
  explicit CZ580M11(DeviceDocument* document) : CBaseDevice(document) {}

  bool HasInputs() const override { return true; }
  std::string GetInputsStateParamName() const override { return "r.Cou"; }
  void GetInputLedRect(Rect& rect) const override { rect = {14, 22, 30, 40}; }
  int GetInputLedStep() const override { return 39; }
  std::string GetStateWindowTitle() const override { return InputsStateTitle(); }
};

}  // namespace BaseDevice
