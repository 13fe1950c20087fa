#pragma once
// The second analog-input dialog as a step machine over the module's raw "CLB"
// commands. Each call makes at most one exchange and says what the window does
// next: nothing (wait for "Продолжить"), call Resume after a pause, show a box and
// pass its answer to Answer, or close. So the window thread never waits inside an
// exchange sequence and Cancel can stop it between any two frames.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Prompter.h"

namespace calibration {

class CalibrationLink;

class Calibrate2Machine {
 public:
  enum class Next { Idle, Wait, Ask, Close };
  struct Request {
    Next kind = Next::Idle;
    int waitMs = 0;               // Wait
    platform::MessageRequest box;  // Ask
    bool closedOk = false;        // Close: OK (true) or cancel
  };
  // What runs after the dialog closed.
  enum class FollowUp { None, NewCalibrate1, RepeatCalibrate2 };

  // The "CLB.S" poll: at most this many reads, one a second.
  static constexpr int kStatusReads = 12;
  static constexpr int kWriteReadTimeoutMs = 300;

  Calibrate2Machine(CalibrationLink& link, int type, std::string instruction, int channel);

  // "Продолжить": runs the current step.
  Request Press();
  // The pause asked for is over.
  Request Resume();
  // The answer of the box asked for.
  Request Answer(int answer);
  // The Cancel button or the closing of the window: "CLB.A", then close.
  Request Cancel();
  // The dialog goes, whichever way: "CLB.A" once more. Call once.
  void End();
  // After the dialog closed: the closing question of steps 4 and 5, if any.
  FollowUp AskClosingQuestion();

  int step() const { return step_; }
  int type() const { return type_; }
  int channel() const { return channel_; }
  const std::string& instruction() const { return instruction_; }
  // True while a sequence runs (between Press and the next Idle or Close).
  bool Running() const { return phase_ != Phase::None; }

  // What the window shows.
  std::string heading;
  std::string mainText;
  std::string caption;  // empty: the dialog's own caption
  bool continueVisible = true;
  bool continueEnabled = true;
  // Set by a coefficient answer of a size other than 5 or 2 bytes.
  bool badStatus = false;
  std::string statusText;

 private:
  enum class Phase { None, SendStart, FirstPollWait, PollStatus, ReadCheck, ReadCoefficient, WriteCoefficients,
                     SendEnd, EndClosedPass, ErrorBox, RetryQuestion, BadStatusQuestion };

  Request Run();
  Request Fail(int titleId, const std::string& error, Phase retry, bool abortOnNo);
  Request CloseWith(bool ok);
  Request Idle();
  Request WaitFor(int ms);
  void SendAbort();
  void FinishCoefficients();

  CalibrationLink& link_;
  int type_;
  std::string instruction_;
  int channel_;
  int step_ = 0;
  int position_ = 0;  // valve: 0 closed, 1 open
  Phase phase_ = Phase::None;

  // the failure being reported
  std::string failText_;
  int failTitle_ = 0;
  Phase retryPhase_ = Phase::None;
  bool abortOnNo_ = false;

  int pollCount_ = 0;
  bool haveStatus_ = false;
  uint8_t flags_ = 0;
  uint8_t status_ = 0;

  int faulty_ = 0;
  std::vector<int> coefficientNumbers_;
  std::vector<std::optional<float>> coefficients_;
  int badAnswers_ = 0;
  int closingQuestion_ = 0;
};

// The coefficient text: each "%f" of the template in turn takes the next value
// ("%f"), or a dash for a value the module did not give.
std::string FormatCoefficients(const std::string& templateText, const std::vector<std::optional<float>>& values);

}  // namespace calibration
