#pragma once
// The model of index 22 ("Z580-23"): mains measurement, current.
#include <string>

#include "devices/CZ580M22.h"
#include "resources/StringIds.h"

namespace BaseDevice {

// Not a kind of CZ580M22: only the step rules are shared.
class CZ580M23 : public CDevicePW {
 public:
  explicit CZ580M23(DeviceDocument* document) : CDevicePW(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M23"; }
  const std::string& GetCalibrationStepText(std::string& text, int step) override {
    return StepText(text, step, {kStrCurrentStart, kStrCurrentStepLow, kStrCurrentStepHigh});
  }
  bool IsCalibrationStepDone(unsigned mode, int step) const override { return CZ580M22::IsStepDone(mode, step); }
};

}  // namespace BaseDevice
