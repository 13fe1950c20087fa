#pragma once
// The model of index 11 ("Z580-12"): counters, discrete outputs and the paired
// logic functions "Log".

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M12 : public CBaseDevice {
 public:
  explicit CZ580M12(DeviceDocument* document) : CBaseDevice(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M12"; }

  bool HasInputs() const override { return true; }
  std::string GetInputsStateParamName() const override { return "r.Cou"; }
  void GetInputLedRect(Rect& rect) const override { rect = {34, 22, 50, 40}; }
  int GetInputLedStep() const override { return 61; }
  bool HasOutputs() const override { return true; }
  std::string GetOutputsStateParamName() const override { return "r.oe"; }
  void GetOutputLedRect(Rect& rect) const override { rect = {34, 22, 50, 40}; }
  int GetOutputLedStep() const override { return 61; }

  // The instances of "Log" come in pairs (linear indexes differing in the lowest
  // bit). Some functions take both of a pair: choosing one of them for one instance
  // sets its partner to the same, and leaving one of them sets the partner back to
  // the first function. Returns the partner when it changed.
  Parameter* OnParameterEdited(Parameter& parameter) override;
};

}  // namespace BaseDevice
