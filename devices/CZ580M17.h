#pragma once
// The model of index 16 ("Z580-17").

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M17 : public CBaseDevice {
 public:
  explicit CZ580M17(DeviceDocument* document) : CBaseDevice(document) {}
};

}  // namespace BaseDevice
