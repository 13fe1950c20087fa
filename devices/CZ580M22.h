#pragma once
// The model of index 21 ("Z580-22").
#include <string>

#include "devices/CDevicePW.h"

namespace BaseDevice {

class CZ580M22 : public CDevicePW {
 public:
  explicit CZ580M22(DeviceDocument* document) : CDevicePW(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M22"; }
  const std::string& GetCalibrationStepText(std::string& text, int /*step*/) override { return text; }
};

}  // namespace BaseDevice
