#pragma once
// The model of index 16 ("Z580-17"): counters.

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M17 : public CBaseDevice {
 public:
  explicit CZ580M17(DeviceDocument* document) : CBaseDevice(document) {}

  bool HasInputs() const override { return true; }
  std::string GetInputsStateParamName() const override { return "r.Cou"; }
  void GetInputLedRect(Rect& rect) const override { rect = {6, 18, 22, 31}; }
  int GetInputLedStep() const override { return 19; }
  int GetLedRowStep() const override { return 14; }
  std::string GetStateWindowTitle() const override { return InputsStateTitle(); }
};

}  // namespace BaseDevice
