#pragma once
// The model of index 4 ("Z580-05"): counters.

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M05 : public CBaseDevice {
 public:
  explicit CZ580M05(DeviceDocument* document) : CBaseDevice(document) {}

  bool HasInputs() const override { return true; }
  std::string GetInputsStateParamName() const override { return "r.Cou"; }
  void GetInputLedRect(Rect& rect) const override { rect = {10, 22, 26, 40}; }
  int GetInputLedStep() const override { return 18; }
  std::string GetStateWindowTitle() const override { return InputsStateTitle(); }
};

}  // namespace BaseDevice
