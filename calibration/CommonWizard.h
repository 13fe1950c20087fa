#pragma once
// The common analog-input wizard without its pages: the sensor choices of "in-t",
// the access check, the step commands "JuSh"/"JuSc", the poll of the result
// "JuRD", the save commands and the error page's text. The pages call these and
// only show what comes back.
#include <cstdint>
#include <string>
#include <vector>

class DescBranch;
class Parameter;

namespace calibration {

class CalibrationLink;

// Caption of the wizards' error boxes.
inline constexpr const char* kCalibrationErrorCaption = "Ошибка юстировки";

// The text shown when the status word could not be read after a save.
inline constexpr const char* kUnverifiedText =
    "Не удалось прочитать слово состояния прибора: результат юстировки не проверен.";

// The sensor types offered: the tokens of the "in-t" type text up to the first
// empty one, without tokens 0 and 1, and without token 3 on the model that has no
// such input (withoutToken3).
std::vector<std::string> SensorChoices(const std::string& inTypeText, bool withoutToken3);

// The access code check of the first page: the typed text exactly.
bool IsCommonWizardCode(const std::string& typed);

// Writes the chosen sensor type to the tree's "in-t" (nothing when it is missing).
// Empty when written, else the link's error text: the page stays.
std::string WriteSensorType(CalibrationLink& link, DescBranch* tree, const std::string& choice);

// The text of a refused write: the link's error text, never empty.
std::string RefusalText(const Parameter& parameter);

// The writes of one step that sends several values, in order; the first refusal
// ends it. Each value is given its text just before its write. A refused value gets
// back the text it had (what the module was last known to hold); a written one is
// shown in its own format, as a read of it would show it.
struct StepWrite {
  Parameter* parameter = nullptr;
  std::string value;
};
struct StepWritesResult {
  bool done = false;
  std::string refusal;                  // the link's text of the refused write
  std::vector<std::string> written;     // names (":index" for an indexed one) in order
  std::vector<std::string> notWritten;  // the refused one and those after it
  // The refusal, then which values the module took and which not.
  std::string Message() const;
};
StepWritesResult StepWrites(CalibrationLink& link, const std::vector<StepWrite>& writes);

// Writes a step command ("JuSh" or "JuSc", type "int", value "0"); empty on success,
// else the parameter's error text.
std::string WriteStepCommand(CalibrationLink& link, const std::string& name);

// What one poll of "JuRD" asks for.
struct PollOutcome {
  enum Kind {
    Done,       // success: go on to the next page
    PollAgain,  // busy: poll again after kRetryDelayMs
    Failed,     // the error page, with errorText as its message
    KeepText,   // the error page, its message left as it was
  };
  Kind kind = Failed;
  std::string errorText;
};

// The timers of the result poll.
inline constexpr int kFirstPollTimer = 1;
inline constexpr int kRetryPollTimer = 2;
inline constexpr int kFirstPollDelayMs = 2000;
inline constexpr int kRetryDelayMs = 1000;
inline constexpr int kBusyLimit = 10;

// The decoding of one "JuRD" read (readResult 0: text is the value, else the
// error text); busyCount counts busy answers and is reset by the first poll.
PollOutcome DecodeResultRead(int readResult, const std::string& text, uint8_t& busyCount);

// Reads "JuRD" and decodes it. timerId 1 is the first poll after a step command
// (the busy counter starts again), 2 a repeat.
class ResultPoll {
 public:
  PollOutcome Poll(CalibrationLink& link, int timerId);
  uint8_t busyCount = 0;
};

// The save page: "Prmn", then "UApl" with no value. Empty when both were taken;
// else the error text of the one refused, and nothing is written after it.
std::string SaveCoefficients(CalibrationLink& link);

// The error page's text from its stored message (the message itself stays as it is).
std::string ErrorPageText(const std::string& message);

// A temporary command parameter: the name, its type and value (commands without a
// value carry the empty text, never the no-data text).
void MakeCommandParameter(Parameter& parameter, const std::string& type, const std::string& value);

}  // namespace calibration
