// The calibration sequences without windows, against a scripted link: the result
// poll and its codes, the access rules, the sensor choices, the analog-input step
// machine with its raw frames, and the analog-output points.
#include <gtest/gtest.h>

#include <deque>

#include "ScriptedCalibrationLink.h"
#include "calibration/AccessCodes.h"
#include "calibration/AnalogInput.h"
#include "calibration/AnalogOutput.h"
#include "calibration/Calibrate2Machine.h"
#include "calibration/CommonWizard.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"
#include "support/Last.h"

using namespace calibration;
using testsupport::Last;
using resources::LoadString;

namespace {

ParameterAnswer Value(const std::string& v) { return {0, v, 1}; }

TEST(ResultPoll, CodesOfTheResult) {
  struct Case {
    int read;
    std::string text;
    PollOutcome::Kind kind;
    std::string error;
  } cases[] = {
      {0, "0", PollOutcome::Done, ""},
      {0, "256", PollOutcome::Done, ""},  // only the low byte counts
      {0, "300", PollOutcome::Failed, "Неопознанная ошибка (300)."},
      {0, "1", PollOutcome::Failed, "Юстировку масштаба следует выполнять после юстировки смещения."},
      {0, "5", PollOutcome::Failed, "Тип датчика 4…20 мА не калибруется."},
      {0, "абв", PollOutcome::KeepText, ""},
      {2, LoadString(kStrTimeOut), PollOutcome::Failed, LoadString(kStrTimeOut) + "."},
      {1, "Ошибка в контрольной сумме ответа", PollOutcome::Failed, "Не удалось считать результат выполненной операции."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    uint8_t busy = 0;
    const PollOutcome out = DecodeResultRead(c.read, c.text, busy);
    EXPECT_EQ(out.kind, c.kind);
    EXPECT_EQ(out.errorText, c.error);
  }
}

TEST(ResultPoll, TenBusyAnswersAreWaitedOutTheEleventhFails) {
  for (int busy : {10, 11}) {
    ScriptedCalibrationLink link;
    for (int i = 0; i < busy; ++i) link.answers["JuRD"].push_back(Value("6"));
    link.answers["JuRD"].push_back(Value("0"));
    ResultPoll poll;
    PollOutcome out = poll.Poll(link, kFirstPollTimer);
    int polls = 1;
    while (out.kind == PollOutcome::PollAgain) {
      out = poll.Poll(link, kRetryPollTimer);
      ++polls;
    }
    if (busy == 10) {
      EXPECT_EQ(out.kind, PollOutcome::Done);
      EXPECT_EQ(polls, 11);
    } else {
      EXPECT_EQ(out.kind, PollOutcome::Failed);
      EXPECT_EQ(out.errorText, "Прибору не удается завершить операцию.");
      EXPECT_EQ(polls, 11);
    }
    // A new step starts counting again.
    link.answers["JuRD"] = {Value("6")};
    EXPECT_EQ(poll.Poll(link, kFirstPollTimer).kind, PollOutcome::PollAgain);
  }
}

TEST(CommonWizard, ErrorPageTextNeverGrowsAndCodeIsExact) {
  const std::string message = "Значение сигнала на входе выше нормы.";
  const std::string once = ErrorPageText(message);
  EXPECT_EQ(once, message + "\r\n\r\nДля того чтобы повторить операцию юстировки нажмите кнопку «Повторить».");
  EXPECT_EQ(ErrorPageText(message), once);
  EXPECT_EQ(ErrorPageText(""), "Для того чтобы повторить операцию юстировки нажмите кнопку «Повторить».");

  EXPECT_TRUE(IsCommonWizardCode("619"));
  for (const char* wrong : {"619 ", " 619", "0619", "61", ""}) EXPECT_FALSE(IsCommonWizardCode(wrong)) << wrong;
}

TEST(CommonWizard, SensorChoicesFromTheTypeText) {
  struct Case {
    const char* text;
    bool without3;
    std::vector<std::string> want;
  } cases[] = {
      {"a:b", false, {}},
      {"a:b:c:d:e", false, {"c", "d", "e"}},
      {"a:b:c:d:e", true, {"c", "e"}},
      {"a:b:c::e", false, {"c"}},
      {"", false, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SensorChoices(c.text, c.without3), c.want) << c.text << c.without3;
}

TEST(CommonWizard, SaveWritesPrmnThenUAplWithoutDataAndStopsAtARefusal) {
  ScriptedCalibrationLink link;
  EXPECT_EQ(SaveCoefficients(link), "");
  EXPECT_EQ(link.calls, (std::vector<std::string>{"write Prmn=0", "write UApl="}));
  link.calls.clear();
  link.answers["Prmn"].push_back({5, "нет связи", 1});
  EXPECT_EQ(SaveCoefficients(link), "нет связи");
  EXPECT_EQ(link.calls, (std::vector<std::string>{"write Prmn=0"}));
  link.calls.clear();
  link.answers["UApl"].push_back({5, "отказ", 1});
  EXPECT_EQ(SaveCoefficients(link), "отказ");
}

TEST(AnalogInput, AccessCodesCountWrongAttemptsAcrossOpenings) {
  ResetWrongCodeCount();
  EXPECT_EQ(CheckAccessCode(1, "0"), CodeCheck::Wrong);
  EXPECT_EQ(CheckAccessCode(2, std::to_string(kAccessCodeType1)), CodeCheck::Wrong);  // another type's code
  EXPECT_EQ(CheckAccessCode(3, "x"), CodeCheck::Wrong);
  EXPECT_EQ(CheckAccessCode(3, "y"), CodeCheck::WrongAndClose);
  EXPECT_EQ(WrongCodeCount(), 0);
  EXPECT_EQ(CheckAccessCode(4, "1"), CodeCheck::Wrong);
  EXPECT_EQ(CheckAccessCode(4, std::to_string(kAccessCodeType4)), CodeCheck::Right);
  EXPECT_EQ(WrongCodeCount(), 0);
  // The whole text is the code.
  EXPECT_EQ(CheckAccessCode(4, std::to_string(kAccessCodeType4) + "abc"), CodeCheck::Wrong);
  EXPECT_EQ(CheckAccessCode(4, " " + std::to_string(kAccessCodeType4) + " "), CodeCheck::Right);
  for (int type = 1; type <= 4; ++type) EXPECT_EQ(CheckAccessCode(type, std::to_string(AccessCodeOfType(type))), CodeCheck::Right);
  EXPECT_EQ(SensorCode(4, 1), 41);
  EXPECT_EQ(InstructionId(1, SensorCode(1, 0)), 494);  // code 2: index 0
  EXPECT_EQ(InstructionId(1, 41), 504);
}

// Answers Yes/No boxes from a list and keeps their texts.
class AnswerList : public platform::Prompter {
 public:
  explicit AnswerList(std::deque<int> a) : answers(std::move(a)), previous_(platform::SetPrompter(this)) {}
  ~AnswerList() override { platform::SetPrompter(previous_); }
  int Show(const platform::MessageRequest& r) override {
    texts.push_back(r.text);
    const int a = answers.empty() ? platform::kAnswerNo : answers.front();
    if (!answers.empty()) answers.pop_front();
    return a;
  }
  std::deque<int> answers;
  std::vector<std::string> texts;

 private:
  platform::Prompter* previous_;
};

TEST(AnalogInput, SensorCodeWriteAsksAfterEachFailure) {
  ScriptedCalibrationLink link;
  link.frames["in-t"] = {{false, {}, "Таймаут"}, {true, {}, {}}};
  {
    AnswerList prompter({platform::kAnswerYes});
    EXPECT_TRUE(WriteSensorCode(link, nullptr, 26, 5));  // no tree: nothing to read back
    EXPECT_EQ(prompter.texts, std::vector<std::string>{"Таймаут\n" + LoadString(kStrRetryQuestion)});
  }
  EXPECT_EQ(link.calls, (std::vector<std::string>{"W in-t [26,0,5]", "W in-t [26,0,5]"}));
  link.frames["in-t"] = {{false, {}, "Ошибка"}};
  AnswerList prompter({platform::kAnswerNo});
  EXPECT_FALSE(WriteSensorCode(link, nullptr, 2, 0));
  EXPECT_EQ(prompter.texts.size(), 1u);
}

// Runs the machine as its window does: pauses pass at once, boxes take the scripted
// answers (OK when none is left), presses go on while it idles.
struct Drive {
  std::vector<std::string> boxes;
  bool closed = false;
  bool ok = false;
};

Drive Press(Calibrate2Machine& m, int presses, std::deque<int> answers = {}) {
  Drive d;
  for (int i = 0; i < presses && !d.closed; ++i) {
    Calibrate2Machine::Request r = m.Press();
    for (;;) {
      if (r.kind == Calibrate2Machine::Next::Wait) {
        r = m.Resume();
      } else if (r.kind == Calibrate2Machine::Next::Ask) {
        d.boxes.push_back(r.box.text);
        int a = platform::kAnswerOk;
        if (!answers.empty()) {
          a = answers.front();
          answers.pop_front();
        }
        r = m.Answer(a);
      } else {
        if (r.kind == Calibrate2Machine::Next::Close) {
          d.closed = true;
          d.ok = r.closedOk;
        }
        break;
      }
    }
  }
  return d;
}

calibration::FrameResult Frame(std::vector<uint8_t> data) { return {true, std::move(data), {}}; }

TEST(Calibrate2, ValveTypeRunsClosedThenOpenPass) {
  ScriptedCalibrationLink link;
  link.frames["CLB.G"] = {Frame({1, 0x3F, 0x80, 0, 0}), Frame({1, 0x40, 0, 0, 0})};
  Calibrate2Machine m(link, 4, "", 3);
  EXPECT_EQ(m.mainText, LoadString(kStrValveClosedReady));
  const Drive d = Press(m, 6);  // start, check, write (closed); start, check, write (open)
  EXPECT_FALSE(d.closed);
  EXPECT_EQ(m.step(), 4);
  EXPECT_EQ(m.mainText, LoadString(kStrOtherChannelsLikewise));
  EXPECT_EQ(link.calls, (std::vector<std::string>{
                            "W CLB.I [3,4]", "R CLB.S []", "R CLB.T []", "R CLB.G [1]", "W CLB.P []", "W CLB.A []",
                            "W CLB.I [131,4]", "R CLB.S []", "R CLB.T []", "R CLB.G [1]", "W CLB.P []"}));
  EXPECT_EQ(link.timeouts[4], Calibrate2Machine::kWriteReadTimeoutMs);
  Press(m, 1);
  EXPECT_EQ(Last(link.calls), "W CLB.A []");
  platform::CollectingPrompter prompter;
  prompter.answer = platform::kAnswerNo;
  EXPECT_EQ(m.AskClosingQuestion(), Calibrate2Machine::FollowUp::NewCalibrate1);
  EXPECT_EQ(prompter.Texts(), LoadString(kStrLeaveCalibrationQuestion));
}

// The end of a pass ("CLB.A") refused: the link's text and the retry question;
// No leaves the dialog without a success and without the next pass.
TEST(Calibrate2, RefusedEndOfAPassIsNoSuccess) {
  struct Case {
    const char* what;
    int type;
    int presses;  // up to the refused end
    std::string lastCall;
  } cases[] = {
      {"the closed pass of the valve type", 4, 3, "W CLB.A []"},
      {"the last step", 1, 4, "W CLB.A []"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedCalibrationLink link;
    link.frames["CLB.A"] = {{false, {}, "Таймаут при передаче данных"}};
    Calibrate2Machine m(link, c.type, "", 0);
    const Drive d = Press(m, c.presses, {platform::kAnswerOk, platform::kAnswerNo});
    ASSERT_EQ(d.boxes.size(), 2u);
    EXPECT_EQ(d.boxes[0], "Таймаут при передаче данных");
    EXPECT_EQ(d.boxes[1], LoadString(kStrRetryQuestion));
    EXPECT_TRUE(d.closed);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(Last(link.calls), c.lastCall);
    EXPECT_EQ(link.Calls("W CLB.I").size(), 1u);  // no open pass
  }
}

TEST(Calibrate2, StatusPollEndsOnBitSevenOrFailsAfterTwelveReads) {
  {
    ScriptedCalibrationLink link;
    Calibrate2Machine m(link, 1, "instruction", 0);
    Press(m, 1);
    EXPECT_EQ(link.Calls("R CLB.S").size(), 1u);
    EXPECT_EQ(link.calls.front(), "W CLB.I [1]");
    EXPECT_EQ(m.mainText, LoadString(kStrCoefficientsStored));
    EXPECT_TRUE(m.continueEnabled);
  }
  {
    ScriptedCalibrationLink link;
    link.defaultFrame = Frame({0x01, 0});  // never done, status 0
    Calibrate2Machine m(link, 2, "", 0);
    Press(m, 1);
    EXPECT_EQ(link.Calls("R CLB.S").size(), 12u);
    EXPECT_EQ(m.heading, LoadString(kStrStatusTimeOut));
    EXPECT_NE(m.mainText, LoadString(kStrCoefficientsStored));
    EXPECT_FALSE(m.continueEnabled);
  }
  {
    ScriptedCalibrationLink link;
    link.defaultFrame = {false, {}, LoadString(kStrTimeOut)};  // every read failed
    link.frames["CLB.I"] = {Frame({1, 0})};
    Calibrate2Machine m(link, 3, "", 0);
    Press(m, 1);
    EXPECT_EQ(link.Calls("R CLB.S").size(), 12u);
    EXPECT_FALSE(m.continueEnabled);
  }
  {
    ScriptedCalibrationLink link;
    link.frames["CLB.S"] = {Frame({0x01, 0}), Frame({0x81, 9})};
    Calibrate2Machine m(link, 1, "", 0);
    Press(m, 1);
    EXPECT_EQ(m.mainText, LoadString(kStrCalibrationSearchFailed) + LoadString(kStrCalibrationStatus9));
    EXPECT_FALSE(m.continueEnabled);
  }
}

TEST(Calibrate2, CoefficientAnswersOfFiveTwoAndThreeBytes) {
  ScriptedCalibrationLink link;
  link.frames["CLB.G"] = {Frame({1, 0x3F, 0xC0, 0, 0}), Frame({2, 0})};
  Calibrate2Machine m(link, 2, "", 0);
  Press(m, 2);
  EXPECT_EQ(m.step(), 2);
  EXPECT_EQ(m.mainText, "Значение первого коэффициента: 1.500000 \nЗначение второго коэффициента: —\n\n"
                        "Нажмите на кнопку «Продолжить»");
  EXPECT_FALSE(m.badStatus);

  ScriptedCalibrationLink bad;
  bad.frames["CLB.G"] = {Frame({1, 0x3F, 0})};
  Calibrate2Machine b(bad, 1, "", 0);
  Press(b, 2);
  EXPECT_TRUE(b.badStatus);
  EXPECT_EQ(b.statusText, LoadString(kStrCoefficientSize));
  EXPECT_NE(b.mainText.find(LoadString(kStrCoefficientSize)), std::string::npos);
  EXPECT_EQ(b.mainText.find("0.000000"), std::string::npos);

  // A faulty coefficient: its value, then the repeat question after the end.
  ScriptedCalibrationLink faulty;
  faulty.frames["CLB.T"] = {Frame({3, 0x80, 0})};
  faulty.frames["CLB.G"] = {Frame({3, 0x41, 0x20, 0, 0})};
  Calibrate2Machine f(faulty, 2, "", 0);
  Press(f, 2);
  EXPECT_EQ(f.step(), 5);
  EXPECT_EQ(Last(faulty.calls), "R CLB.G [3]");
  EXPECT_NE(f.mainText.find("10.000000"), std::string::npos);
  EXPECT_NE(f.mainText.find(LoadString(kStrPossibleCauses)), std::string::npos);
  const Drive d = Press(f, 1);
  EXPECT_TRUE(d.closed && d.ok);
  platform::CollectingPrompter prompter;
  prompter.answer = platform::kAnswerYes;
  EXPECT_EQ(f.AskClosingQuestion(), Calibrate2Machine::FollowUp::RepeatCalibrate2);
}

// Success is said only once the module took "CLB.P": never while it refuses it.
TEST(Calibrate2, BadWriteStatusRepeatsThreeTimesThenAsks) {
  for (int type : {1, 2, 3}) {
    SCOPED_TRACE(type);
    ScriptedCalibrationLink link;
    for (int i = 0; i < 4; ++i) link.frames["CLB.P"].push_back(Frame({0x80, 13}));
    Calibrate2Machine m(link, type, "", 0);
    Press(m, 2);
    EXPECT_EQ(m.mainText.find("успешно"), std::string::npos) << m.mainText;
    const Drive d = Press(m, 1, {platform::kAnswerNo});
    EXPECT_EQ(link.Calls("W CLB.P").size(), 4u);
    EXPECT_EQ(m.mainText.find("успешно"), std::string::npos) << m.mainText;
    ASSERT_EQ(d.boxes.size(), 1u);
    EXPECT_EQ(d.boxes[0], LoadString(kStrCalibrationStatus13) + LoadString(kStrPressYesToRetry));
    EXPECT_TRUE(d.closed);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(Last(link.calls), "W CLB.A []");
  }
}

TEST(Calibrate2, FailedExchangeOffersRetryAndCancelEndsCalibration) {
  ScriptedCalibrationLink link;
  link.frames["CLB.I"] = {{false, {}, "Таймаут"}};
  Calibrate2Machine m(link, 1, "", 0);
  Drive d = Press(m, 1, {platform::kAnswerOk, platform::kAnswerYes});
  EXPECT_EQ(d.boxes, (std::vector<std::string>{"Таймаут", LoadString(kStrRetryQuestion)}));
  EXPECT_EQ(link.Calls("W CLB.I").size(), 2u);  // repeated after Yes
  EXPECT_EQ(m.step(), 1);
  const Calibrate2Machine::Request r = m.Cancel();
  EXPECT_EQ(r.kind, Calibrate2Machine::Next::Close);
  m.End();
  EXPECT_EQ(link.Calls("W CLB.A").size(), 2u);  // Cancel, and once more as the dialog goes
}

TEST(AnalogOutput, StepsStayWithinRangeAndOnlyWholeValuesAreWritten) {
  EXPECT_EQ(StepValue(4094, 2), std::nullopt);
  EXPECT_EQ(StepValue(1, -2), std::nullopt);
  EXPECT_EQ(StepValue(4085, 10), 4095);
  EXPECT_EQ(StepValue(10, -10), 0);
  for (const char* bad : {"", "-5", "5000", "12abc", "0x10", "2,5", "1e3"})
    EXPECT_EQ(ParsePointValue(bad), std::nullopt) << bad;
  EXPECT_EQ(ParsePointValue("4095"), 4095);
  EXPECT_EQ(ParsePointValue(" +3 "), 3);
  EXPECT_EQ(ParsePointValue("0"), 0);
}

TEST(AnalogOutput, PointsOfAnalogOutputsOnly) {
  ScriptedCalibrationLink link;
  std::array<std::unique_ptr<Parameter>, 8> owned;
  OutputTypes types{};
  for (size_t i = 0; i < 8; ++i) {
    owned[i] = std::make_unique<Parameter>("POUt");
    owned[i]->value = "4…20 мА";
    types[i] = owned[i].get();
  }
  owned[1]->value = "дИСКРЕТНЫЙ";
  types[3] = nullptr;
  owned[4]->value.SetNoData();
  link.answers["POUt"] = {Value("Дискретный")};
  const std::vector<OutputPoint> six = ListPoints(link, types, 6, true);
  std::vector<int> points;
  for (const OutputPoint& p : six) points.push_back(p.point);
  EXPECT_EQ(points, (std::vector<int>{0, 1, 4, 5, 10, 11}));
  EXPECT_EQ(six[0].text, "K4  выхода №1");
  EXPECT_EQ(six[5].text, "K20 выхода №6");
  EXPECT_EQ(link.calls, std::vector<std::string>{"read POUt"});
  const std::vector<OutputPoint> eight = ListPoints(link, types, 8, true);
  EXPECT_EQ(Last(eight).text, "K20 выхода №8");
}

TEST(AnalogOutput, PointThatIsNotEditableKeepsItsAttributes) {
  ScriptedCalibrationLink link;
  link.answers["CLB.K"] = {{0, "2000", 0}};
  AnalogOutputCalibration c(link);
  platform::CollectingPrompter prompter;
  prompter.answer = platform::kAnswerYes;
  EXPECT_EQ(c.SelectPoint(3, ""), AnalogOutputCalibration::Selection::Chosen);
  EXPECT_EQ(c.heldValue(), 2000);
  EXPECT_EQ(c.savedEditable, 0);
  EXPECT_EQ(link.calls, (std::vector<std::string>{"read CLB.K:3", "write CLB.K:3=2000 e1", "write CLB.I=3"}));
  link.calls.clear();
  link.answers["CLB.K"] = {{0, "2000", 1}};
  c.WriteValue(2002);
  EXPECT_EQ(link.calls, (std::vector<std::string>{"read CLB.K:3", "write CLB.K:3=2000 e1", "write CLB.K:3=2002 e1",
                                                  "write CLB.K:3=2002 e0"}));
  EXPECT_EQ(c.heldValue(), 2002);
  // A value the module refuses is not held: what it read before the write is.
  link.answers["CLB.K"] = {{0, "2002", 1}, {0, "", 1}, {2, "Недопустимое значение", 1}};
  prompter.requests.clear();
  link.calls.clear();
  EXPECT_FALSE(c.WriteValue(4000));
  EXPECT_EQ(c.heldValue(), 2002);
  // Nothing follows the refused value: no restore that would send it again.
  EXPECT_EQ(link.calls, (std::vector<std::string>{"read CLB.K:3", "write CLB.K:3=2002 e1", "write CLB.K:3=4000 e1"}));
  ASSERT_EQ(prompter.requests.size(), 1u);
  EXPECT_EQ(prompter.requests[0].text, "Комманда записи CLB.K вернула ошибку:\nНедопустимое значение");
  // No to the question ends the calibration.
  link.calls.clear();
  link.answers["CLB.K"] = {{0, "7", 0}};
  prompter.answer = platform::kAnswerNo;
  EXPECT_EQ(c.SelectPoint(0, "abc"), AnalogOutputCalibration::Selection::Ended);  // "abc" is not written
  EXPECT_EQ(link.calls, (std::vector<std::string>{"read CLB.K:0", "read CLB.A"}));
  EXPECT_FALSE(c.hasPoint());
}

// A choice stops at the first frame the module refuses: no point is current and
// no value is held, so no step can be applied to a value the module does not hold.
TEST(AnalogOutput, RefusedFrameOfAChoiceLeavesNoPoint) {
  struct Case {
    const char* name;
    std::deque<ParameterAnswer> clbK;
    std::deque<ParameterAnswer> clbI;
    std::vector<std::string> calls;
  } cases[] = {
      {"read refused", {{5, "Таймаут", 1}}, {}, {"read CLB.K:1"}},
      {"read without a number", {{0, "", 1}}, {}, {"read CLB.K:1"}},
      {"unlock refused", {{0, "2048", 0}, {5, "Отказ", 1}}, {}, {"read CLB.K:1", "write CLB.K:1=2048 e1"}},
      {"CLB.I refused", {{0, "2048", 1}}, {{5, "Отказ", 1}}, {"read CLB.K:1", "write CLB.I=1"}},
  };
  for (const Case& c : cases) {
    ScriptedCalibrationLink link;
    link.answers["CLB.K"] = c.clbK;
    link.answers["CLB.I"] = c.clbI;
    platform::CollectingPrompter prompter;
    prompter.answer = platform::kAnswerYes;
    AnalogOutputCalibration calibration(link);
    EXPECT_EQ(calibration.SelectPoint(1, ""), AnalogOutputCalibration::Selection::Refused) << c.name;
    EXPECT_FALSE(calibration.hasPoint()) << c.name;
    EXPECT_EQ(calibration.heldValue(), std::nullopt) << c.name;
    EXPECT_EQ(link.calls, c.calls) << c.name;
    EXPECT_FALSE(calibration.WriteValue(10)) << c.name;
    EXPECT_EQ(link.calls, c.calls) << c.name;
  }
}

}  // namespace
