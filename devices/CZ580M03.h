#pragma once
// The model of index 2 ("Z580-03").

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M03 : public CBaseDevice {
 public:
  explicit CZ580M03(DeviceDocument* document) : CBaseDevice(document) {}
};

}  // namespace BaseDevice
