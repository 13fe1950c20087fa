#pragma once
// The model of index 5 ("Z580-06").

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M06 : public CBaseDevice {
 public:
  explicit CZ580M06(DeviceDocument* document) : CBaseDevice(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M06"; }
};

}  // namespace BaseDevice
