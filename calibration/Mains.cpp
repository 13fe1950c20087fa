#include "calibration/Mains.h"

#include "calibration/CalibrationLink.h"
#include "calibration/CommonWizard.h"
#include "calibration/SharedReading.h"
#include "devices/CDevicePW.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "platform/Text.h"

namespace calibration {

int MainsStepPages(int modelIndex) { return modelIndex == 20 ? 3 : 2; }

std::string WriteStartMode(CalibrationLink& link, Parameter& mode, const BaseDevice::CDevicePW& model) {
  MakeTemporary(mode, "int", platform::Format("%d", model.GetCalibrationModeValue()));
  return link.WriteParameter(mode) == 0 ? std::string() : RefusalText(mode);
}

ModeVerdict JudgeModeReading(const std::string& name, const std::string& value, const BaseDevice::CDevicePW& model,
                             int step) {
  if (!platform::EqualsNoCase(name, "Mode")) return ModeVerdict::Ignore;
  const std::optional<int> word = StatusWord(value);
  if (!word) return ModeVerdict::Ignore;
  const unsigned mode = static_cast<unsigned>(*word);
  if ((mode & kMainsErrorBit) != 0) return ModeVerdict::Error;
  return model.IsCalibrationStepDone(mode, step) ? ModeVerdict::Done : ModeVerdict::Wait;
}

}  // namespace calibration
