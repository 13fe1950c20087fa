#pragma once
// The model of index 2 ("Z580-03"): analog outputs.

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M03 : public CBaseDevice {
 public:
  explicit CZ580M03(DeviceDocument* document) : CBaseDevice(document) {}

  bool HasOutputs() const override { return true; }
  std::string GetOutputsStateParamName() const override { return "r.oe"; }
  void GetOutputLedRect(Rect& rect) const override { rect = {14, 22, 30, 40}; }
  int GetOutputLedStep() const override { return 59; }
  std::string GetStateWindowTitle() const override { return OutputsStateTitle(); }

  CalibrationWizard GetCalibrationWizard() const override { return CalibrationWizard::AnalogOutputDialog; }
};

}  // namespace BaseDevice
