#pragma once
// The model of index 20 ("Z580-21"): mains measurement with power, calibrated in
// four steps at the voltages and currents its own parameters give.
#include <string>

#include "devices/CDevicePW.h"

namespace BaseDevice {

class CZ580M21 : public CDevicePW {
 public:
  explicit CZ580M21(DeviceDocument* document) : CDevicePW(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M21"; }

  // It answers "APLY" as any other request.
  bool RepliesToApply() const override { return true; }
  // "Rs.dL" and the protocol time-out "T.pro" are network settings too.
  bool IsNetworkParameter(const std::string& name) const override;
  int GetStatusBitCaption(int row) const override;
  std::string GetStatusBitText(int row, const unsigned* word) const override;

  const std::string& GetCalibrationStepText(std::string& text, int step) override;
  int GetCalibrationModeValue() const override { return 256; }
  bool IsCalibrationStepDone(unsigned mode, int step) const override;

 private:
  // "uk.hi", "ik.hi", "uk.lo", "ik.lo" of the parameter tree, found (and read when
  // never read) on the first step text; not owned.
  void LookUpStepParameters();
  bool stepParametersLookedUp_ = false;
  Parameter* voltageHigh_ = nullptr;
  Parameter* currentHigh_ = nullptr;
  Parameter* voltageLow_ = nullptr;
  Parameter* currentLow_ = nullptr;
};

}  // namespace BaseDevice
