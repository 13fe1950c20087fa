#include "calibration/Calibrate2Machine.h"

#include <cstring>

#include "calibration/AnalogInput.h"
#include "calibration/CalibrationLink.h"
#include "platform/CFormat.h"
#include "resources/StringTable.h"

namespace calibration {

using resources::LoadString;

namespace {

constexpr uint8_t kDoneFlag = 0x80;
constexpr const char* kSuccessSentence = "Юстировка прошла успешно\n\n";

float FloatOfBigEndian(const std::vector<uint8_t>& d, size_t at) {
  const uint32_t bits = (uint32_t{d[at]} << 24) | (uint32_t{d[at + 1]} << 16) | (uint32_t{d[at + 2]} << 8) | d[at + 3];
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

std::string FormatCoefficients(const std::string& templateText, const std::vector<std::optional<float>>& values) {
  std::string out;
  size_t next = 0;
  size_t start = 0;
  for (;;) {
    const size_t at = templateText.find("%f", start);
    if (at == std::string::npos) break;
    out += templateText.substr(start, at - start);
    const std::optional<float> v = next < values.size() ? values[next] : std::nullopt;
    out += v ? platform::Format("%f", static_cast<double>(*v)) : std::string("—");
    ++next;
    start = at + 2;
  }
  return out + templateText.substr(start);
}

Calibrate2Machine::Calibrate2Machine(CalibrationLink& link, int type, std::string instruction, int channel)
    : link_(link), type_(type), instruction_(std::move(instruction)), channel_(channel) {
  heading = LoadString(kStrCalibrationWelcome);
  const int start = StartTextId(type_);
  mainText = start != 0 ? LoadString(start) : instruction_;
}

Calibrate2Machine::Request Calibrate2Machine::Idle() {
  phase_ = Phase::None;
  return {};
}

Calibrate2Machine::Request Calibrate2Machine::WaitFor(int ms) {
  Request r;
  r.kind = Next::Wait;
  r.waitMs = ms;
  return r;
}

Calibrate2Machine::Request Calibrate2Machine::CloseWith(bool ok) {
  phase_ = Phase::None;
  Request r;
  r.kind = Next::Close;
  r.closedOk = ok;
  return r;
}

void Calibrate2Machine::SendAbort() { link_.Transact(0, "CLB.A", {}); }

Calibrate2Machine::Request Calibrate2Machine::Press() {
  if (phase_ != Phase::None) return WaitFor(0);  // a sequence runs: the window should not have let this through
  switch (step_) {
    case 0: {
      const std::string typeText = platform::Format(LoadString(kStrCalibratingType).c_str(), type_);
      mainText = type_ == 4 ? LoadString(position_ == 0 ? kStrValveClosedCalibration : kStrValveOpenCalibration) : typeText;
      heading = typeText;
      continueVisible = false;
      phase_ = Phase::SendStart;
      return Run();
    }
    case 1:
      heading = LoadString(kStrReceivingCoefficients);
      phase_ = Phase::ReadCheck;
      return WaitFor(500);
    case 2:
      if (type_ >= 1 && type_ <= 3) caption = LoadString(kStrCalibrationEnd);
      badAnswers_ = 0;
      phase_ = Phase::WriteCoefficients;
      return Run();
    case 4:
      phase_ = Phase::SendEnd;
      return Run();
    case 5:
      SendAbort();
      closingQuestion_ = kStrRetryCalibrationQuestion;
      return CloseWith(true);
    default:
      return Idle();
  }
}

Calibrate2Machine::Request Calibrate2Machine::Resume() {
  if (phase_ == Phase::FirstPollWait) {
    pollCount_ = 1;
    phase_ = Phase::PollStatus;
    return WaitFor(1000);
  }
  return Run();
}

Calibrate2Machine::Request Calibrate2Machine::Fail(int titleId, const std::string& error, Phase retry,
                                                   bool abortOnNo) {
  failText_ = error;
  failTitle_ = titleId;
  retryPhase_ = retry;
  abortOnNo_ = abortOnNo;
  Request r;
  r.kind = Next::Ask;
  if (!error.empty()) {
    phase_ = Phase::ErrorBox;
    r.box.text = error;
    r.box.caption = LoadString(kStrCaptionError) + " " + LoadString(titleId);
    r.box.icon = platform::MessageIcon::Error;
    return r;
  }
  phase_ = Phase::RetryQuestion;
  r.box.text = LoadString(kStrRetryQuestion);
  r.box.caption = LoadString(kStrCaptionCalibrationError);
  r.box.icon = platform::MessageIcon::Question;
  r.box.buttons = platform::MessageButtons::YesNo;
  return r;
}

Calibrate2Machine::Request Calibrate2Machine::Answer(int answer) {
  switch (phase_) {
    case Phase::ErrorBox:
      return Fail(failTitle_, std::string(), retryPhase_, abortOnNo_);
    case Phase::RetryQuestion:
      if (answer == platform::kAnswerYes) {
        phase_ = retryPhase_;
        return Run();
      }
      if (abortOnNo_) SendAbort();
      return CloseWith(false);
    case Phase::BadStatusQuestion:
      SendAbort();
      if (answer == platform::kAnswerYes) closingQuestion_ = -1;  // a new first dialog, without asking
      return CloseWith(false);
    default:
      return Idle();
  }
}

Calibrate2Machine::Request Calibrate2Machine::Cancel() {
  SendAbort();
  return CloseWith(false);
}

void Calibrate2Machine::End() { SendAbort(); }

Calibrate2Machine::FollowUp Calibrate2Machine::AskClosingQuestion() {
  const int question = closingQuestion_;
  closingQuestion_ = 0;
  if (question == -1) return FollowUp::NewCalibrate1;
  if (question == kStrLeaveCalibrationQuestion) {
    const int a = platform::ShowMessage(LoadString(kStrLeaveCalibrationQuestion), LoadString(kStrMessageCaption), platform::MessageIcon::None,
                                        platform::MessageButtons::YesNo);
    return a == platform::kAnswerNo ? FollowUp::NewCalibrate1 : FollowUp::None;
  }
  if (question == kStrRetryCalibrationQuestion) {
    const int a = platform::ShowMessage(LoadString(kStrRetryCalibrationQuestion), LoadString(kStrRetryCalibrationCaption), platform::MessageIcon::Question,
                                        platform::MessageButtons::YesNo);
    return a == platform::kAnswerYes ? FollowUp::RepeatCalibrate2 : FollowUp::None;
  }
  return FollowUp::None;
}

Calibrate2Machine::Request Calibrate2Machine::Run() {
  switch (phase_) {
    case Phase::SendEnd: {
      // The module must leave its calibration mode before the dialog says it is done.
      const FrameResult r = link_.Transact(0, "CLB.A", {});
      if (!r.ok) return Fail(kStrCalibrationEnd, r.error, Phase::SendEnd, false);
      if (type_ == 4) closingQuestion_ = kStrLeaveCalibrationQuestion;
      return CloseWith(true);
    }
    case Phase::EndClosedPass: {
      // The open pass starts only once the module has ended the closed one.
      const FrameResult r = link_.Transact(0, "CLB.A", {});
      if (!r.ok) return Fail(kStrCalibrationEnd, r.error, Phase::EndClosedPass, false);
      mainText = LoadString(kStrValveOpenReady);
      heading = LoadString(kStrOtherValvePosition);
      position_ = 1;
      step_ = 0;
      return Idle();
    }
    case Phase::SendStart: {
      std::vector<uint8_t> data;
      if (type_ == 4)
        data = {static_cast<uint8_t>((position_ * 128) | channel_), 4};
      else
        data = {static_cast<uint8_t>(type_)};
      const FrameResult r = link_.Transact(0, "CLB.I", data);
      if (!r.ok) return Fail(kStrStartingCalibration, r.error, Phase::SendStart, false);
      heading = LoadString(kStrCalibrationStartCommand);
      haveStatus_ = false;
      flags_ = 0;
      status_ = 0;
      phase_ = Phase::FirstPollWait;
      return WaitFor(1000);
    }
    case Phase::PollStatus: {
      const FrameResult r = link_.Transact(1, "CLB.S", {});
      if (r.ok && r.data.size() >= 2) {
        haveStatus_ = true;
        flags_ = r.data[0];
        status_ = r.data[1];
      }
      const bool done = r.ok && r.data.size() >= 2 && (flags_ & kDoneFlag) != 0;
      continueVisible = true;
      if (done) {
        std::string text;
        if (StatusText(status_, text)) {
          mainText = LoadString(kStrCoefficientsStored);
          heading = LoadString(kStrMeasurementsDone);
          continueEnabled = true;
        } else {
          mainText = LoadString(kStrCalibrationSearchFailed) + text;
          continueEnabled = false;
          heading = LoadString(kStrCaptionError);
        }
        step_ = 1;
        return Idle();
      }
      if (pollCount_ >= kStatusReads) {
        // The module never finished: a failure, whatever status it last sent.
        heading = LoadString(kStrStatusTimeOut);
        mainText = LoadString(kStrCalibrationSearchFailed) + LoadString(kStrStatusTimeOut);
        continueEnabled = false;
        step_ = 1;
        return Idle();
      }
      ++pollCount_;
      heading = platform::Format(LoadString(kStrCalibrationFlagWait).c_str(), flags_, pollCount_);
      continueVisible = false;
      return WaitFor(1000);
    }
    case Phase::ReadCheck: {
      mainText.clear();
      const FrameResult r = link_.Transact(1, "CLB.T", {});
      if (!r.ok || r.data.empty())
        return Fail(kStrFindingBadCoefficients, r.ok ? LoadString(kStrBadReply) : r.error, Phase::ReadCheck, false);
      faulty_ = r.data[0];
      coefficientNumbers_.clear();
      coefficients_.clear();
      badStatus = false;
      statusText.clear();
      if (faulty_ != 0) {
        coefficientNumbers_ = {faulty_};
      } else {
        const int count = type_ == 2 ? 2 : type_ == 3 ? 4 : 1;
        for (int n = 1; n <= count; ++n) coefficientNumbers_.push_back(n);
      }
      phase_ = Phase::ReadCoefficient;
      return WaitFor(0);
    }
    case Phase::ReadCoefficient: {
      const int number = coefficientNumbers_[coefficients_.size()];
      // The answer starts with the number it is for.
      const FrameResult r = link_.Transact(1, "CLB.G", {static_cast<uint8_t>(number)}, 0, 1);
      if (!r.ok) return Fail(faulty_ != 0 ? kStrFindingBadValue : kStrCheckInputSignal + 2 * type_, r.error, Phase::ReadCoefficient, false);
      if (r.data.size() == 5) {
        coefficients_.push_back(FloatOfBigEndian(r.data, 1));
      } else {
        coefficients_.push_back(std::nullopt);
        if (r.data.size() != 2) {
          statusText = LoadString(kStrCoefficientSize);
          badStatus = true;
        }
      }
      if (coefficients_.size() < coefficientNumbers_.size()) return WaitFor(0);
      FinishCoefficients();
      return Idle();
    }
    case Phase::WriteCoefficients: {
      const FrameResult r = link_.Transact(0, "CLB.P", {}, kWriteReadTimeoutMs);
      if (!r.ok || r.data.size() < 2)
        return Fail(kStrWritingCoefficient, r.ok ? LoadString(kStrBadReply) : r.error, Phase::WriteCoefficients, true);
      std::string text;
      if (!StatusText(r.data[1], text)) {
        ++badAnswers_;
        if (badAnswers_ % 4 != 0) return WaitFor(0);  // repeated at once, without asking
        phase_ = Phase::BadStatusQuestion;
        Request q;
        q.kind = Next::Ask;
        q.box.text = text + LoadString(kStrPressYesToRetry);
        q.box.caption = LoadString(kStrCaptionCalibrationError);
        q.box.icon = platform::MessageIcon::Question;
        q.box.buttons = platform::MessageButtons::YesNo;
        return q;
      }
      if (type_ == 4 && position_ == 0) {
        phase_ = Phase::EndClosedPass;
        return Run();
      }
      static const int kSuccess[] = {kStrScaleCalibrationDone, kStrScaleCalibrationDone, kStrScaleCalibrationDone,
                                     kStrFactoryCalibrationDone, kStrOtherChannelsLikewise};
      mainText = LoadString(kSuccess[type_ >= 1 && type_ <= 4 ? type_ : 0]);
      heading = LoadString(kStrCalibrationEnd);
      step_ = 4;
      return Idle();
    }
    default:
      return Idle();
  }
}

void Calibrate2Machine::FinishCoefficients() {
  if (faulty_ != 0) {
    mainText = FormatCoefficients(LoadString(kStrBadCoefficientValue), coefficients_) + LoadString(kStrCoefficientOutOfLimits) +
               LoadString(type_ == 2 ? kStrPossibleCauses : kStrCheckInputSignal);
    step_ = 5;
  } else {
    static const int kText[] = {kStrCoefficientDone, kStrCoefficientDone, kStrTwoCoefficientsDone,
                                kStrThreeCoefficientsDone, kStrCoefficientValue};
    std::string text = LoadString(kText[type_ >= 1 && type_ <= 4 ? type_ : 0]);
    // The coefficients are not written yet: success is said once the module took "CLB.P".
    if (const size_t at = text.find(kSuccessSentence); at != std::string::npos)
      text.erase(at, std::strlen(kSuccessSentence));
    mainText = FormatCoefficients(text, coefficients_);
    heading = LoadString(kStrCheckCoefficients);
    step_ = 2;
  }
  if (badStatus) mainText += "\n\n" + statusText;
}

}  // namespace calibration
