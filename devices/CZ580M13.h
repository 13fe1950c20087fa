#pragma once
// The model of index 12 ("Z580-13").

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M13 : public CBaseDevice {
 public:
  explicit CZ580M13(DeviceDocument* document) : CBaseDevice(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M13"; }
  // Its readings "rEAd", "iRDt" and "iRD" carry measurement status codes.
  bool HasMeasurementReadings() const override { return true; }
};

}  // namespace BaseDevice
