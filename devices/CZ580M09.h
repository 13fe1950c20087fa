#pragma once
// The model of index 8 ("Z580-09").

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M09 : public CBaseDevice {
 public:
  explicit CZ580M09(DeviceDocument* document) : CBaseDevice(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M09"; }
  // Its readings "rEAd", "iRDt" and "iRD" carry measurement status codes.
  bool HasMeasurementReadings() const override { return true; }
};

}  // namespace BaseDevice
