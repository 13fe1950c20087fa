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

  bool HasScanners() const override { return true; }
  // The response delay "Rs.dL" is a network setting too.
  bool IsNetworkParameter(const std::string& name) const override;
  // "APLY" carries the value 129 on these modules, on every call.
  Parameter* GetApplyParameter() override;
  CalibrationWizard GetCalibrationWizard() const override { return CalibrationWizard::Mains; }

  // Replaces text with the instruction of a calibration step and returns it; a
  // step the model does not have leaves the text as it was.
  virtual const std::string& GetCalibrationStepText(std::string& text, int step) = 0;
  // The value written to "Mode" to start the calibration.
  virtual int GetCalibrationModeValue() const { return 16; }
  // Whether the "Mode" reading shows the step as done.
  virtual bool IsCalibrationStepDone(unsigned /*mode*/, int /*step*/) const { return false; }

 protected:
  // The text of string id for steps 1.. of a table (0: no such step).
  static const std::string& StepText(std::string& text, int step, std::initializer_list<int> ids);
};

}  // namespace BaseDevice
