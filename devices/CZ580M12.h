#pragma once
// The model of index 11 ("Z580-12").

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M12 : public CBaseDevice {
 public:
  explicit CZ580M12(DeviceDocument* document) : CBaseDevice(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M12"; }
};

}  // namespace BaseDevice
