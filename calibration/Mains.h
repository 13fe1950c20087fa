#pragma once
// The mains-measurement wizard without its pages: the start value of "Mode", the
// steps a model has, and what one "Mode" reading means on a step page.
#include <string>

class Parameter;

namespace BaseDevice {
class CDevicePW;
}

namespace calibration {

class CalibrationLink;

inline constexpr int kMainsStepLimitMs = 120000;
inline constexpr unsigned kMainsErrorBit = 0x01;

// The step pages after the first one: 3 on the model with the extra step, else 2.
int MainsStepPages(int modelIndex);

// Writes the model's start value ("%d") as the value of the sheet's "Mode"
// parameter. Empty when the module took it, else the link's error text: the
// module did not start, so there is nothing to watch.
std::string WriteStartMode(CalibrationLink& link, Parameter& mode, const BaseDevice::CDevicePW& model);

enum class ModeVerdict {
  Ignore,  // not "Mode", or no number
  Error,   // the error bit: the error page (also when a done bit comes with it)
  Done,    // the step is done: go on
  Wait,
};
// step: 1 the first page, 2.. the step pages.
ModeVerdict JudgeModeReading(const std::string& name, const std::string& value, const BaseDevice::CDevicePW& model,
                             int step);

}  // namespace calibration
