#pragma once
// The model of index 5 ("Z580-06"): discrete outputs.

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M06 : public CBaseDevice {
 public:
  explicit CZ580M06(DeviceDocument* document) : CBaseDevice(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M06"; }

  bool HasOutputs() const override { return true; }
  std::string GetOutputsStateParamName() const override { return "r.oe"; }
  void GetOutputLedRect(Rect& rect) const override { rect = {14, 22, 30, 40}; }
  int GetOutputLedStep() const override { return 39; }
  std::string GetStateWindowTitle() const override { return OutputsStateTitle(); }
};

}  // namespace BaseDevice
