#pragma once
// The model of index 1 ("Z580-02").

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M02 : public CBaseDevice {
 public:
  explicit CZ580M02(DeviceDocument* document) : CBaseDevice(document) {}
};

}  // namespace BaseDevice
