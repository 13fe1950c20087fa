#pragma once
// The pH/redox wizard without its pages: the access code, the temperature source
// of "tco.t", the confirmation of the electrode parameters, the modes, the point
// commands, the status watch of "Rd.St" and the save with its slope check.
#include <optional>
#include <string>

class DescBranch;
class Parameter;

namespace calibration {

class CalibrationLink;

inline constexpr const char* kPhRedoxAccessCode = "716";
inline constexpr int kPhStepLimitMs = 15000;
inline constexpr unsigned kPhBusyBit = 0x10;
inline constexpr unsigned kPhRepeatBit = 0x08;

// Mode by the type (0 pH, 1 redox) and the point-count entry (0 one, 1 two).
int PhMode(int typeEntry, int pointsEntry);
bool IsTwoPointMode(int mode);
bool IsRedoxMode(int mode);

// The point command of a step (1 or 2) in a mode; empty when the step writes none.
std::string PointCommand(int mode, int step);
// The instruction of a point page.
std::string PointInstruction(int mode, int step);

// The buffer value typed: every "," made "."; none unless the whole text (blanks
// around it aside) is one number that a float carries.
std::optional<std::string> NormaliseBufferValue(const std::string& text);

// Writes the point command with the typed value. Empty when it was written (or
// the step writes none), else the link's error text: the point was not taken.
std::string WritePoint(CalibrationLink& link, int mode, int step, const std::string& value);

// Whether a "Rd.St" reading ends the point: it parses and the busy bit is clear.
bool IsPointTaken(const std::string& statusText);

// The first page's check of the electrode parameters.
struct Confirmation {
  bool ok = false;
  std::string failedName;  // "tco.t" could not be read or is no entry of its list
  int temperatureSource = -1;
  std::string text;  // the question
};
// Reads "tco.t", then the temperature parameter (source 0 "TSe.T", 1 "C.Tem"),
// "E.Crd" and "p.Crd" (each "Нет данных" when its read fails).
Confirmation ReadConfirmation(CalibrationLink& link, DescBranch* tree);

// The box after the save.
struct SlopeReport {
  enum Kind { None, Unknown, Good, OutOfRange } kind = None;
  std::string text;
};
SlopeReport SlopeOfText(const std::string& applyValue);

struct PhSaveOutcome {
  std::string refusal;      // "U.Apl" refused: the link's text, the save page stays
  bool repeat = false;      // bit 0x08: "Повторить", the wizard stays
  bool unverified = false;  // the status word could not be read: the result is not known
  SlopeReport slope;
};
// "U.Apl" (its reply carries the slope), the status word; then the slope for pH
// modes and a fresh read of "E.Crd" and "p.Crd".
PhSaveOutcome SavePh(CalibrationLink& link, DescBranch* polled, DescBranch* tree, int mode);

}  // namespace calibration
