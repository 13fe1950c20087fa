#pragma once
// The model of index 15 ("Z580-16"): discrete outputs.

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M16 : public CBaseDevice {
 public:
  explicit CZ580M16(DeviceDocument* document) : CBaseDevice(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M16"; }

  bool HasOutputs() const override { return true; }
  std::string GetOutputsStateParamName() const override { return "r.oe"; }
  void GetOutputLedRect(Rect& rect) const override { rect = {6, 18, 22, 31}; }
  int GetOutputLedStep() const override { return 19; }
  int GetLedRowStep() const override { return 14; }
  std::string GetStateWindowTitle() const override { return OutputsStateTitle(); }
};

}  // namespace BaseDevice
