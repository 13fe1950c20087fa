#pragma once
// The analog-output calibration without its window: the points offered (the 4 mA
// and 20 mA points of each output that is not discrete), the choice of a point
// ("CLB.K" read with its attributes, "CLB.I"), the write of a point's raw value
// with the attribute round trip, the step buttons' range and the end ("CLB.A").
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "model/Parameter.h"

namespace calibration {

class CalibrationLink;

inline constexpr int kMaxPointValue = 4095;

struct OutputPoint {
  int point = 0;  // 2 (output - 1) for the 4 mA point, + 1 for the 20 mA point
  std::string text;
};

// The outputs' type parameters by output (index 0 is output 1; null: missing).
using OutputTypes = std::array<Parameter*, 8>;

// The list entries, in output order. outputCount is 8, or 6 for the model that has
// six outputs. An output type that was never read is read first when automatic
// reading is on.
std::vector<OutputPoint> ListPoints(CalibrationLink& link, const OutputTypes& types, int outputCount,
                                    bool automaticReading);

// A step button: the value plus the step when that stays within 0..4095.
std::optional<int> StepValue(int value, int step);

// The text of the value box as a point value: only a complete integer 0..4095.
std::optional<int> ParsePointValue(const std::string& text);

// A typed value that is no point value: it is not written.
inline constexpr const char* kValueNotWrittenText =
    "Значение не записано: введите целое число от 0 до 4095.";

class AnalogOutputCalibration {
 public:
  explicit AnalogOutputCalibration(CalibrationLink& link) : link_(link) {}

  enum class Selection {
    Chosen,   // the point is current; heldValue() is its value in the module
    Refused,  // a frame was refused (its message shown): no point is current
    Ended,    // the user chose to end: "CLB.A" was sent and the dialog closes
  };
  // Makes the point current: the previous point's value (valueText) is written
  // first. A refused frame stops the choice there; nothing after it is sent.
  Selection SelectPoint(int point, const std::string& valueText);
  // Writes the current point's value (nothing without a current point). False
  // when it was not written: heldValue() then tells what the module holds.
  bool WriteValue(int value);
  // "Закончить": the current value written, "CLB.A"; true when the module
  // answered (the window then pauses before it closes). A refused value write
  // ends the calibration all the same.
  bool Finish(const std::optional<int>& value);

  int currentPoint() const { return current_; }
  bool hasPoint() const { return current_ >= 0; }
  // The current point's value in the module as last read or written; none when
  // no point is current.
  std::optional<int> heldValue() const { return held_; }
  // The attribute flags of the current point as the module had them.
  uint8_t savedEditable = 1;
  uint8_t savedOwner = 0;

  static constexpr int kFinishPauseMs = 500;

 private:
  void MakePointParameter(Parameter& p, int point) const;
  Selection Refuse(const std::string& what, const Parameter& p);

  CalibrationLink& link_;
  int current_ = -1;
  std::optional<int> held_;
};

}  // namespace calibration
