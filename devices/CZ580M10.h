#pragma once
// The model of index 9 ("Z580-10").

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M10 : public CBaseDevice {
 public:
  explicit CZ580M10(DeviceDocument* document) : CBaseDevice(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M10"; }
};

}  // namespace BaseDevice
