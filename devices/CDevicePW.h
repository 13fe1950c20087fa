#pragma once
// The common base of the mains-measurement models: what their calibration wizard
// asks besides the base questions.
#include <string>

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CDevicePW : public CBaseDevice {
 public:
  explicit CDevicePW(DeviceDocument* document) : CBaseDevice(document) {}

  const char* GetRuntimeClassName() const override { return "CDevicePW"; }

  // Replaces text with the instruction of a calibration step and returns it; a
  // step the model does not have leaves the text as it was.
  virtual const std::string& GetCalibrationStepText(std::string& text, int step) = 0;
  // The value written to "Mode" to start the calibration.
  virtual int GetCalibrationModeValue() const { return 16; }
  // Whether the "Mode" reading shows the step as done.
  virtual bool IsCalibrationStepDone(unsigned /*mode*/, int /*step*/) const { return false; }
};

}  // namespace BaseDevice
