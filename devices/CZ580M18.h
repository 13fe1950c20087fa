#pragma once
// The model of index 17 ("Z580-18").

#include "devices/CZ580M08.h"

namespace BaseDevice {

class CZ580M18 : public CZ580M08 {
 public:
  explicit CZ580M18(DeviceDocument* document) : CZ580M08(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M18"; }
};

}  // namespace BaseDevice
