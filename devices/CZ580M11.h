#pragma once
// The model of index 10 ("Z580-11").

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M11 : public CBaseDevice {
 public:
  explicit CZ580M11(DeviceDocument* document) : CBaseDevice(document) {}
};

}  // namespace BaseDevice
