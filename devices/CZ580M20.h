#pragma once
// The model of index 19 ("Z580-20").
#include <string>

#include "devices/CDevicePW.h"

namespace BaseDevice {

class CZ580M20 : public CDevicePW {
 public:
  explicit CZ580M20(DeviceDocument* document) : CDevicePW(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M20"; }
  const std::string& GetCalibrationStepText(std::string& text, int /*step*/) override { return text; }
};

}  // namespace BaseDevice
