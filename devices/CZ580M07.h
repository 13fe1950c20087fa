#pragma once
// The model of index 6 ("Z580-07").

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M07 : public CBaseDevice {
 public:
  explicit CZ580M07(DeviceDocument* document) : CBaseDevice(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M07"; }
  bool HasScanners() const override { return true; }
};

}  // namespace BaseDevice
