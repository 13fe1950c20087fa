#pragma once
// The model of index 22 ("Z580-23").
#include <string>

#include "devices/CDevicePW.h"

namespace BaseDevice {

class CZ580M23 : public CDevicePW {
 public:
  explicit CZ580M23(DeviceDocument* document) : CDevicePW(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M23"; }
  const std::string& GetCalibrationStepText(std::string& text, int /*step*/) override { return text; }
};

}  // namespace BaseDevice
