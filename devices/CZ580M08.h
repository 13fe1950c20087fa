#pragma once
// The model of index 7 ("Z580-08").

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M08 : public CBaseDevice {
 public:
  explicit CZ580M08(DeviceDocument* document) : CBaseDevice(document) {}

  const char* GetRuntimeClassName() const override { return "CZ580M08"; }
  // The line always carries 8 data bits, whatever "LEn" says.
  bool IsEightBitOnlyModel() const override { return true; }
  // Its readings "rEAd", "iRDt" and "iRD" carry measurement status codes.
  bool HasMeasurementReadings() const override { return true; }

  bool HasScanners() const override { return true; }
  // The line's data length is fixed, so the network dialog offers none.
  bool HasDataLengthParameter() const override { return false; }
  CalibrationWizard GetCalibrationWizard() const override { return CalibrationWizard::CommonAnalogInput; }
};

}  // namespace BaseDevice
