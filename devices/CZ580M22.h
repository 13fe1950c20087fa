#pragma once
// The model of index 21 ("Z580-22"): mains measurement, voltage.
#include <string>

#include "devices/CDevicePW.h"
#include "resources/StringIds.h"

namespace BaseDevice {

class CZ580M22 : public CDevicePW {
 public:
  explicit CZ580M22(DeviceDocument* document) : CDevicePW(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M22"; }
  const std::string& GetCalibrationStepText(std::string& text, int step) override {
    return StepText(text, step, {kStrVoltageStart, kStrVoltageStepLow, kStrVoltageStepHigh});
  }
  bool IsCalibrationStepDone(unsigned mode, int step) const override { return IsStepDone(mode, step); }

  // Step 3 is done when bit 0x02 is set or the module cleared the whole word.
  static bool IsStepDone(unsigned mode, int step) {
    if (step == 3) return (mode & 0x02) != 0 || mode == 0;
    const unsigned bit = step == 1 ? 0x08 : step == 2 ? 0x04 : 0;
    return (mode & bit) != 0;
  }
};

}  // namespace BaseDevice
