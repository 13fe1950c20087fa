#pragma once
// The model of index 0 ("Z580-01").

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M01 : public CBaseDevice {
 public:
  explicit CZ580M01(DeviceDocument* document) : CBaseDevice(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M01"; }
  // Its readings "rEAd", "iRDt" and "iRD" carry measurement status codes.
  bool HasMeasurementReadings() const override { return true; }
};

}  // namespace BaseDevice
