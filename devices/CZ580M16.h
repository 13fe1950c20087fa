#pragma once
// The model of index 15 ("Z580-16").

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M16 : public CBaseDevice {
 public:
  explicit CZ580M16(DeviceDocument* document) : CBaseDevice(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M16"; }
};

}  // namespace BaseDevice
