#pragma once
// The model of index 3 ("Z580-04"): counters and discrete outputs.

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M04 : public CBaseDevice {
 public:
  explicit CZ580M04(DeviceDocument* document) : CBaseDevice(document) {}

  bool HasInputs() const override { return true; }
  std::string GetInputsStateParamName() const override { return "r.Cou"; }
  void GetInputLedRect(Rect& rect) const override { rect = {14, 22, 30, 40}; }
  int GetInputLedStep() const override { return 39; }

  bool HasOutputs() const override { return true; }
  std::string GetOutputsStateParamName() const override { return "r.oe"; }
  void GetOutputLedRect(Rect& rect) const override { rect = {34, 22, 50, 40}; }
  int GetOutputLedStep() const override { return 61; }
};

}  // namespace BaseDevice
