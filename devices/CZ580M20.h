#pragma once
// The model of index 19 ("Z580-20"): mains measurement, voltage and current.
#include <string>

#include "devices/CDevicePW.h"
#include "resources/StringIds.h"

namespace BaseDevice {

class CZ580M20 : public CDevicePW {
 public:
  explicit CZ580M20(DeviceDocument* document) : CDevicePW(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M20"; }
  const std::string& GetCalibrationStepText(std::string& text, int step) override {
    return StepText(text, step, {kStrPowerStart, kStrPowerStepLow, kStrPowerStepHigh});
  }
  int GetCalibrationModeValue() const override { return 256; }
  bool IsCalibrationStepDone(unsigned mode, int step) const override {
    const unsigned bit = step == 1 ? 0x02 : step == 2 ? 0x04 : step == 3 ? 0x10 : 0;
    return (mode & bit) != 0;
  }
};

}  // namespace BaseDevice
