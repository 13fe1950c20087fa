#pragma once
// The model of index 4 ("Z580-05").

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M05 : public CBaseDevice {
 public:
  explicit CZ580M05(DeviceDocument* document) : CBaseDevice(document) {}
};

}  // namespace BaseDevice
