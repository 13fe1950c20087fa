#pragma once
// The model of index 8 ("Z580-09"): four analog meters shown as their readings.

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M09 : public CBaseDevice {
 public:
  explicit CZ580M09(DeviceDocument* document) : CBaseDevice(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M09"; }
  // Its readings "rEAd", "iRDt" and "iRD" carry measurement status codes.
  bool HasMeasurementReadings() const override { return true; }

  bool HasInputs() const override { return true; }
  std::string GetInputsStateParamName() const override { return "rEAd"; }
  void GetInputLedRect(Rect& rect) const override { rect = {34, 32, 60, 60}; }
  int GetInputLedStep() const override { return 70; }
  // Values and "Измеритель %i", no reset buttons.
  bool FillInputsList(myClass::TableControl* table) override;
  void UpdateStateList(StateDialog* dialog) override { UpdateStateFromRowParameters(dialog); }
  bool HasScanners() const override { return true; }

  CalibrationWizard GetCalibrationWizard() const override { return CalibrationWizard::AnalogInputDialogs; }
};

}  // namespace BaseDevice
