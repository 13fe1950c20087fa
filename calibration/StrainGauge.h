#pragma once
// The strain-gauge wizard without its pages: the access code, the sensitivity
// ranges, the factory steps ("zU.Sh", "zU.Sc", "U.Apl", "Rd.St") and the user
// path's straight line through two measured points ("zu.fn", "zu.fx", "v.min",
// "v.max"). The pages call these and only show what comes back.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "calibration/CommonWizard.h"

class DescBranch;
class Parameter;

namespace calibration {

class CalibrationLink;

inline constexpr const char* kStrainGaugeAccessCode = "961";
inline constexpr int kZeroSettleMs = 400;  // after "zU.Sh", before the next step
inline constexpr unsigned kStrainGaugeFailBits = 0x1E0;

// The input range of a sensitivity index as texts ("-4", "+4"); none beyond 6.
std::optional<std::pair<std::string, std::string>> SensitivityRange(int index);

// The entries of the sensitivity list: each name of the "Sens" enumeration (up to
// the first empty one) with its range, "name (lo..hi мВ)"; names without a range
// are offered bare.
std::vector<std::string> SensitivityEntries(const std::string& sensType);

// The names of a "Sens" enumeration as shown ('_' as a blank), up to the first empty one.
std::vector<std::string> EnumerationNames(const std::string& type);

// Sets the channel's "Sens" to the name at the sensitivity index and writes it.
// Empty on success, else the error text.
std::string WriteSensitivity(CalibrationLink& link, Parameter& sens, int index);

// A factory step command ("zU.Sh" or "zU.Sc") for the channel: the four-channel
// variant carries the channel as index; a channel above 3 gets no command. An
// answer the link cannot decode counts as done. Empty when done, else the error.
std::string WriteAdjustCommand(CalibrationLink& link, const std::string& name, int channel, bool fourChannels);

// The end of a factory or user save, by the status word.
enum class StatusCheck {
  Good,        // read, no failure bit
  Failed,      // read, a failure bit set
  Unverified,  // missing or not read: the result is not known
};
StatusCheck CheckStatusAfterSave(CalibrationLink& link, DescBranch* polled, DescBranch* tree, unsigned failBits);

// Factory save: "U.Apl", then the status word; when it is good (or unknown)
// every "Sens" of the map is read again. A refused "U.Apl" ends it there:
// refusal holds the link's text and the check means nothing.
struct FactorySaveOutcome {
  std::string refusal;
  StatusCheck check = StatusCheck::Unverified;
};
FactorySaveOutcome SaveFactory(CalibrationLink& link, DescBranch* polled, DescBranch* tree,
                               const std::map<int, Parameter*>& sens);

// The sensitivity and range lines of a user point page ("<не определено>" and
// "Нет данных" stand in for what is not known), from a fresh read of "Sens".
std::string SensitivityLines(CalibrationLink& link, Parameter* sens, bool upperPage);

// A typed percent or value: "," read as "."; none when no number parses.
std::optional<float> ParsePointText(const std::string& text);
// Next on a point page needs a voltage read since the page was shown.
inline constexpr const char* kNoVoltageText =
    "Текущее значение напряжения не получено. Дождитесь показаний прибора и повторите.";
// The message for bad fields (empty when both are good).
std::string PointInputError(bool percentOk, bool valueOk);

struct UserPoint {
  float percent = 0;
  float value = 0;
  std::optional<float> voltage;  // mV, none until a reading arrived
};

struct UserLine {
  double zuFn = 0, zuFx = 0, vMin = 0, vMax = 0;
};

// The line through the two points; none (with the reason) when the percents or
// the voltages are equal, a voltage is missing or a result is not a finite number.
std::optional<UserLine> ComputeUserLine(const UserPoint& lower, const UserPoint& upper, std::string& why);

// The user save. Nothing is written when the line cannot be computed. done: the
// sheet closes; otherwise message is shown and the wizard goes to its first page,
// or stays on the save page when "U.Apl" was refused. A done save may still carry
// a message (the status word was not read).
struct UserSaveOutcome {
  bool done = false;
  bool repeat = false;        // a failure bit: Back shows "Повторить"
  bool stayOnSave = false;    // "U.Apl" refused: "Сохранить" can be pressed again
  std::string message;
};
UserSaveOutcome SaveUser(CalibrationLink& link, DescBranch* polled, DescBranch* tree, int channel, bool fourChannels,
                         const UserPoint& lower, const UserPoint& upper);

}  // namespace calibration
