#pragma once
// The model of index 3 ("Z580-04").

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M04 : public CBaseDevice {
 public:
  explicit CZ580M04(DeviceDocument* document) : CBaseDevice(document) {}
};

}  // namespace BaseDevice
