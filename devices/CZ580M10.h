#pragma once
// The model of index 9 ("Z580-10"): discrete outputs.

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M10 : public CBaseDevice {
 public:
  explicit CZ580M10(DeviceDocument* document) : CBaseDevice(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M10"; }

  bool HasOutputs() const override { return true; }
  std::string GetOutputsStateParamName() const override { return "r.oe"; }
  void GetOutputLedRect(Rect& rect) const override { rect = {6, 22, 22, 40}; }
  int GetOutputLedStep() const override { return 19; }
  std::string GetStateWindowTitle() const override { return OutputsStateTitle(); }
};

}  // namespace BaseDevice
