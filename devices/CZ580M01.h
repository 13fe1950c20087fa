#pragma once
// The model of index 0 ("Z580-01"): eight analog inputs shown as their readings.

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M01 : public CBaseDevice {
 public:
  explicit CZ580M01(DeviceDocument* document) : CBaseDevice(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M01"; }
  // Its readings "rEAd", "iRDt" and "iRD" carry measurement status codes.
  bool HasMeasurementReadings() const override { return true; }
  std::string FormatValue(float value) const override;

  bool HasInputs() const override { return true; }
  std::string GetInputsStateParamName() const override { return "rEAd"; }
  void GetInputLedRect(Rect& rect) const override { rect = {14, 22, 30, 40}; }
  int GetInputLedStep() const override { return 39; }
  std::string GetStateWindowTitle() const override { return InputsStateTitle(); }
  // Values and "Вход №%i", no counters.
  bool FillInputsList(myClass::TableControl* table) override;
  void UpdateStateList(StateDialog* dialog) override { UpdateStateFromRowParameters(dialog); }

  CalibrationWizard GetCalibrationWizard() const override { return CalibrationWizard::AnalogInputDialogs; }
};

}  // namespace BaseDevice
