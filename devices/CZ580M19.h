#pragma once
// The model of index 18 ("Z580-19").

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M19 : public CBaseDevice {
 public:
  explicit CZ580M19(DeviceDocument* document) : CBaseDevice(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M19"; }
};

}  // namespace BaseDevice
