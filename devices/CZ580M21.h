#pragma once
// The model of index 20 ("Z580-21").
#include <string>

#include "devices/CDevicePW.h"

namespace BaseDevice {

class CZ580M21 : public CDevicePW {
 public:
  explicit CZ580M21(DeviceDocument* document) : CDevicePW(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M21"; }
  const std::string& GetCalibrationStepText(std::string& text, int /*step*/) override { return text; }
};

}  // namespace BaseDevice
