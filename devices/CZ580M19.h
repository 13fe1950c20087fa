#pragma once
// The model of index 18 ("Z580-19"): the pH/redox module.

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M19 : public CBaseDevice {
 public:
  explicit CZ580M19(DeviceDocument* document) : CBaseDevice(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M19"; }

  bool HasScanners() const override { return true; }
  bool HasDataLengthParameter() const override { return false; }
  // New values take effect only after INIT.
  bool NeedsInitAfterWrite() const override { return true; }
  // The response delay "Rs.dL" is a network setting too.
  bool IsNetworkParameter(const std::string& name) const override;
  // The module resets itself on "S.Def".
  void ResetToDefaults() override { ResetWithDefaultsCommand(1); }
  int GetStatusBitCaption(int row) const override;
  std::string GetStatusBitText(int row, const unsigned* word) const override;
  CalibrationWizard GetCalibrationWizard() const override { return CalibrationWizard::PhRedox; }
};

}  // namespace BaseDevice
