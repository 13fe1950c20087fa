#pragma once
// The model of index 12 ("Z580-13"): the inductance-sensor module.

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M13 : public CBaseDevice {
 public:
  explicit CZ580M13(DeviceDocument* document) : CBaseDevice(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M13"; }
  // Its readings "rEAd", "iRDt" and "iRD" carry measurement status codes.
  bool HasMeasurementReadings() const override { return true; }

  bool HasScanners() const override { return true; }
  // New values take effect only after INIT.
  bool NeedsInitAfterWrite() const override { return true; }
  // The module resets itself on "S.Def".
  void ResetToDefaults() override { ResetWithDefaultsCommand(1); }
  int GetStatusBitCaption(int row) const override;
  std::string GetStatusBitText(int row, const unsigned* word) const override;
  CalibrationWizard GetCalibrationWizard() const override { return CalibrationWizard::Inductance; }
};

}  // namespace BaseDevice
