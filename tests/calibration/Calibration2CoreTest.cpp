// The strain-gauge, pH/redox, mains and inductance sequences without windows,
// against a scripted link and trees built from small descriptions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>

#include "ScriptedCalibrationLink.h"
#include "app/CPelmDoc.h"
#include "calibration/Inductance.h"
#include "calibration/Mains.h"
#include "calibration/PhRedox.h"
#include "calibration/ReadingLoop.h"
#include "calibration/SharedReading.h"
#include "calibration/StrainGauge.h"
#include "devices/CZ580M20.h"
#include "devices/CZ580M22.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"
#include "support/Last.h"

using namespace calibration;
using testsupport::Last;

namespace {

ParameterAnswer Value(const std::string& v) { return {0, v, 1}; }
ParameterAnswer Fails(const std::string& note) { return {2, note, 1}; }
ParameterAnswer NotDecoded() { return {2, resources::LoadString(kStrCannotDecode), 1, true}; }

// Reads of "float" parameters arrive as the device's bytes would, so that the
// received float is known; a value that is no number arrives as erased memory.
class FloatLink : public ScriptedCalibrationLink {
 public:
  int ReadParameter(Parameter& p) override {
    const int r = ScriptedCalibrationLink::ReadParameter(p);
    if (r == 0 && p.type == "float") {
      uint8_t b[4] = {0xFF, 0xFF, 0xFF, 0xFF};
      if (const auto v = platform::ScanDouble(p.value)) {
        const float f = static_cast<float>(*v);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(bits >> (24 - 8 * i));
      }
      p.ConvertFromData(b);
    }
    return r;
  }
};

std::unique_ptr<CPelmDoc> Tree(const std::string& text) {
  platform::CollectingPrompter prompter;
  auto doc = std::make_unique<CPelmDoc>();
  EXPECT_TRUE(doc->ParseDescriptionText(text));
  doc->BuildTrees();
  doc->ReleaseParseLists();
  return doc;
}

const char* const kStrainGauge4 =
    "type T_Sens 0,8_мВ/В 1,5_мВ/В 3_мВ/В\n"
    "parameter Sens T_Sens Чувствительность\n"
    "parameter v.min float Минимум\n"
    "parameter v.max float Максимум\n"
    "parameter Rd.St int Слово_в_дереве noattr\n"
    "branch Канал 4 2 3 Sens v.min v.max\n"
    "branch Общие 1 2 3 Rd.St\n"
    "root Прибор 1 1 1 Канал Общие\n"
    "parameter !Rd.St int Слово_состояния noattr\n"
    "branch Состояние 1 2 3 !Rd.St\n"
    "scanners Опрос 1 26 26 Состояние\n";

TEST(StrainGauge, UserLineThroughTwoPointsWithChannelIndex) {
  auto doc = Tree(kStrainGauge4);
  // Two points a user might enter: 20 % / 2.0 mV / 10 and 80 % / 8.0 mV / 40.
  const UserPoint lower{20, 10, 2.0f}, upper{80, 40, 8.0f};
  for (bool four : {true, false}) {
    ScriptedCalibrationLink link;
    link.answers["Rd.St"] = {Value("0")};
    const UserSaveOutcome out = SaveUser(link, doc->scannersBranch, doc->rootBranch, four ? 2 : 0, four, lower, upper);
    EXPECT_TRUE(out.done);
    EXPECT_EQ(out.message, "");
    const std::string idx = four ? ":2" : "";
    EXPECT_EQ(link.calls, (std::vector<std::string>{"write zu.fn" + idx + "=0.000000",
                                                    "write zu.fx" + idx + "=10.000000", "write U.Apl=", "read Rd.St",
                                                    "write v.min:" + std::string(four ? "2" : "0") + "=0.000000 e1",
                                                    "write v.max:" + std::string(four ? "2" : "0") + "=50.000000 e1"}));
  }
}

TEST(StrainGauge, UserSaveRefusalsAndStatusOutcomes) {
  auto doc = Tree(kStrainGauge4);
  struct Case {
    const char* what;
    UserPoint lower, upper;
    std::vector<ParameterAnswer> status;
    bool done, repeat;
    size_t calls;
    std::string message;
    const char* refused = "";  // a limit the module refuses
  } cases[] = {
      {"equal percents",
       {50, 1, 1.0f},
       {50, 2, 2.0f},
       {},
       false,
       false,
       0,
       "Значения величины в процентах для двух точек совпадают. Юстировка не выполнена."},
      {"equal voltages (the signal was not changed)",
       {20, 1, 2.0f},
       {80, 2, 2.0f},
       {},
       false,
       false,
       0,
       "Значения напряжения для двух точек совпадают. Юстировка не выполнена."},
      {"no reading yet",
       {0, 1, std::nullopt},
       {100, 2, 2.0f},
       {},
       false,
       false,
       0,
       "Нет текущего значения напряжения для одной из точек. Юстировка не выполнена."},
      {"overflowing line",
       {0, 0, 0.0f},
       {1e-30f, 3e38f, 1.0f},
       {},
       false,
       false,
       0,
       "Юстировочные коэффициенты по введённым данным не вычисляются. Юстировка не выполнена."},
      {"failure bit",
       {0, 0, 0.0f},
       {100, 1, 1.0f},
       {Value("32")},
       false,
       true,
       4,
       "Ошибка юстировки! Пожалуйста, повторите операцию юстировки."},
      {"status unread", {0, 0, 0.0f}, {100, 1, 1.0f}, {Fails("Таймаут")}, true, false, 6, kUnverifiedText},
      {"bit outside the mask", {0, 0, 0.0f}, {100, 1, 1.0f}, {Value("512")}, true, false, 6, ""},
      {"minimum refused", {0, 0, 0.0f}, {100, 1, 1.0f}, {Value("0")}, false, false, 5,
       "Калибровка прошла успешно, но не удалось обновить значения минимума и максимума величины (v.Min и "
       "v.Max).\nОтказ",
       "v.min"},
      {"maximum refused after the minimum was written", {0, 0, 0.0f}, {100, 1, 1.0f}, {Value("0")}, false, false, 6,
       "Калибровка прошла успешно, значение минимума величины (v.Min) обновлено, но не удалось обновить значение "
       "максимума величины (v.Max).\nОтказ",
       "v.max"},
  };
  Parameter* low = doc->rootBranch->FindParameter("v.min", nullptr, nullptr, nullptr, 1);
  Parameter* high = doc->rootBranch->FindParameter("v.max", nullptr, nullptr, nullptr, 1);
  ASSERT_TRUE(low != nullptr && high != nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    low->value = high->value = "7.000";  // as last read
    ScriptedCalibrationLink link;
    link.answers["Rd.St"] = {c.status.begin(), c.status.end()};
    link.answers[c.refused] = {Fails("Отказ")};
    const UserSaveOutcome out = SaveUser(link, doc->scannersBranch, doc->rootBranch, 1, true, c.lower, c.upper);
    EXPECT_EQ(out.done, c.done);
    EXPECT_EQ(out.repeat, c.repeat);
    EXPECT_EQ(out.message, c.message);
    EXPECT_EQ(link.calls.size(), c.calls);
    // The tree shows what the module holds, in the cell's own format.
    if (c.calls == 6) {
      EXPECT_EQ(low->value, "0.000");
    }
    if (std::string(c.refused) == "v.max") {
      EXPECT_EQ(high->value, "7.000");
    }
  }
  // A failed coefficient write stops before "U.Apl" with the link's text.
  ScriptedCalibrationLink link;
  link.answers["zu.fx"] = {Fails("Ошибка связи")};
  const UserSaveOutcome out =
      SaveUser(link, doc->scannersBranch, doc->rootBranch, 0, false, {0, 0, 0.0f}, {100, 1, 1.0f});
  EXPECT_FALSE(out.done);
  EXPECT_EQ(out.message, "Ошибка связи\nЗаписано в прибор: zu.fn.\nНе записано: zu.fx.");
  EXPECT_EQ(link.calls.size(), 2u);
  // A refused "U.Apl" stops on the save page: no status word, no limits.
  ScriptedCalibrationLink refusing;
  refusing.answers["U.Apl"] = {Fails("Таймаут")};
  const UserSaveOutcome apply =
      SaveUser(refusing, doc->scannersBranch, doc->rootBranch, 0, false, {0, 0, 0.0f}, {100, 1, 1.0f});
  EXPECT_FALSE(apply.done);
  EXPECT_TRUE(apply.stayOnSave);
  EXPECT_EQ(apply.message, "Таймаут");
  EXPECT_EQ(refusing.calls.size(), 3u);
}

TEST(StrainGauge, TypedPointsAndTheirMessage) {
  EXPECT_EQ(ParsePointText("12,5"), 12.5f);
  EXPECT_EQ(ParsePointText(" 80"), 80.0f);
  EXPECT_EQ(ParsePointText("абв"), std::nullopt);
  EXPECT_EQ(ParsePointText(""), std::nullopt);
  // The whole text, and only what the float on the wire carries.
  for (const char* refused : {"12abc", "1e39", "0x10", "50%", "inf"}) EXPECT_EQ(ParsePointText(refused), std::nullopt) << refused;
  EXPECT_EQ(PointInputError(true, true), "");
  EXPECT_EQ(
      PointInputError(false, false),
      "Неверно введены следующие данные:\r\n - значение величины в процентах\r\n - значение величины в единицах.");
  EXPECT_EQ(PointInputError(true, false), "Неверно введены следующие данные:\r\n - значение величины в единицах.");
}

TEST(StrainGauge, FactoryStepsAndSave) {
  auto doc = Tree(kStrainGauge4);
  ScriptedCalibrationLink link;
  const std::string& undecodable = resources::LoadString(kStrCannotDecode);
  link.answers["zU.Sh"] = {NotDecoded(), Fails("Таймаут"), Fails(undecodable)};
  EXPECT_EQ(WriteAdjustCommand(link, "zU.Sh", 3, true), "");  // an undecodable answer counts as done
  EXPECT_EQ(WriteAdjustCommand(link, "zU.Sh", 0, false), "Таймаут");
  // A failure whose note merely reads the same is a failure.
  EXPECT_EQ(WriteAdjustCommand(link, "zU.Sh", 0, false), undecodable);
  EXPECT_EQ(WriteAdjustCommand(link, "zU.Sc", 4, true), "");  // no such channel: no command
  EXPECT_EQ(link.calls, (std::vector<std::string>{"write zU.Sh:3=", "write zU.Sh=", "write zU.Sh="}));

  std::map<int, Parameter*> sens;
  doc->rootBranch->FindParameter("Sens", &sens);
  ASSERT_EQ(sens.size(), 4u);
  // The status word of the polled branch decides, not the tree's one of the same name.
  link.calls.clear();
  link.answers["Rd.St"] = {Value("64")};
  EXPECT_EQ(SaveFactory(link, doc->scannersBranch, doc->rootBranch, sens).check, StatusCheck::Failed);
  EXPECT_EQ(link.calls, (std::vector<std::string>{"write U.Apl=", "read Rd.St"}));
  link.calls.clear();
  link.answers["Rd.St"] = {Value("1")};
  EXPECT_EQ(SaveFactory(link, doc->scannersBranch, doc->rootBranch, sens).check, StatusCheck::Good);
  EXPECT_EQ(link.calls.size(), 6u);  // and every "Sens" again
  EXPECT_EQ(Last(link.calls), "read Sens:3");

  // The list and the page lines from the enumeration.
  EXPECT_EQ(SensitivityEntries(sens[0]->type),
            (std::vector<std::string>{"0,8 мВ/В (-4..+4 мВ)", "1,5 мВ/В (-7.5..+7.5 мВ)", "3 мВ/В (-15..+15 мВ)"}));
  link.answers["Sens"] = {Value("1,5 мВ/В"), Fails("x")};
  EXPECT_EQ(SensitivityLines(link, sens[0], false), "Текущая чувствительность: 1,5 мВ/В\r\nДиапазон: -7.5..+7.5 мВ");
  EXPECT_EQ(SensitivityLines(link, sens[0], true),
            "Текущая чувствительность: <не определено>\r\nДиапазон: <не определено>");
  EXPECT_EQ(WriteSensitivity(link, *sens[1], 2), "");
  EXPECT_EQ(Last(link.calls), "write Sens:1=3 мВ/В e1");
  // Refused: the tree keeps what the module holds.
  link.answers["Sens"] = {Fails("Отказ")};
  EXPECT_EQ(WriteSensitivity(link, *sens[1], 0), "Отказ");
  EXPECT_EQ(sens[1]->value, "3 мВ/В");
}

TEST(PhRedox, ModesCommandsAndInstructions) {
  struct Case {
    int type, points, mode;
    const char* first;
    const char* second;
  } cases[] = {
      {0, 0, 0, "U.pH1", ""}, {0, 1, 1, "U.pHL", "U.pHH"}, {1, 0, 2, "U.Rx1", ""}, {1, 1, 3, "U.RxL", "U.RxH"}};
  for (const Case& c : cases) {
    EXPECT_EQ(PhMode(c.type, c.points), c.mode);
    EXPECT_EQ(PointCommand(c.mode, 1), c.first);
    EXPECT_EQ(PointCommand(c.mode, 2), c.second);
    EXPECT_EQ(PointInstruction(c.mode, 2).empty(), !IsTwoPointMode(c.mode));
  }
  EXPECT_EQ(PointInstruction(1, 2),
            "1) Поместите датчик во второй буферный раствор;\r\n\r\n2) Введите значение pH буферного раствора в "
            "соответствующее поле;\r\n\r\n3) Дождитесь устойчивых показаний в поле «Текущее значение pH»;\r\n\r\n4) "
            "Нажмите кнопку «Продолжить», чтобы выполнить юстировку второй точки.");
  EXPECT_EQ(
      PointInstruction(2, 1),
      "1) Поместите датчик в буферный раствор;\r\n\r\n2) Введите значение ОВП буферного раствора в "
      "соответствующее поле;\r\n\r\n3) Дождитесь устойчивых показаний в поле «Текущее значение ОВП, мВ»;\r\n\r\n4) "
      "Нажмите кнопку «Продолжить», чтобы выполнить юстировку.");

  const std::optional<std::string> typed = NormaliseBufferValue("6,86");
  ASSERT_TRUE(typed);
  ScriptedCalibrationLink link;
  EXPECT_EQ(WritePoint(link, 1, 1, *typed), "");
  EXPECT_EQ(WritePoint(link, 0, 2, *typed), "");  // one point: the second page writes nothing
  EXPECT_EQ(link.calls, std::vector<std::string>{"write U.pHL=6.86"});
  // A point the module refuses is not taken: the link's text comes back.
  link.answers["U.pHH"] = {Fails("Прибор сообщил об ошибке")};
  EXPECT_EQ(WritePoint(link, 1, 2, "9.18"), "Прибор сообщил об ошибке");

  // Only one whole number that a float carries is a buffer value.
  const std::pair<const char*, std::optional<std::string>> values[] = {
      {"6,86", "6.86"}, {" 7.01 ", "7.01"}, {"-250", "-250"}, {"1e3", "1e3"},  {"1e39", std::nullopt},
      {"6.86abc", std::nullopt}, {"6,86,1", std::nullopt}, {"pH", std::nullopt}, {"", std::nullopt},
      {"  ", std::nullopt}, {"nan", std::nullopt}, {"inf", std::nullopt}, {"0x10", std::nullopt},
      {"0x1p3", std::nullopt},
  };
  for (const auto& [text, expected] : values) EXPECT_EQ(NormaliseBufferValue(text), expected) << text;
}

TEST(PhRedox, StatusWatchAndSlopeCheck) {
  for (const auto& [text, taken] : std::vector<std::pair<std::string, bool>>{
           {"0", true}, {"8", true}, {"16", false}, {"48", false}, {"", false}, {"нет", false}}) {
    EXPECT_EQ(IsPointTaken(text), taken) << text;
  }
  struct Slope {
    const char* text;
    SlopeReport::Kind kind;
  } slopes[] = {{"0.96", SlopeReport::Good},       {"1.1", SlopeReport::Good},         {"1.000", SlopeReport::Good},
                {"0.95", SlopeReport::OutOfRange}, {"1.101", SlopeReport::OutOfRange}, {"", SlopeReport::Unknown}};
  for (const Slope& s : slopes) EXPECT_EQ(SlopeOfText(s.text).kind, s.kind) << s.text;
  EXPECT_EQ(SlopeOfText("0.96").text, "Числовое значение отклонения крутизны водородной характеристики: 0.96");

  auto doc = Tree(
      "type T_TComp Авто Ручная Нет\n"
      "parameter tco.t T_TComp Термокомпенсация\n"
      "parameter TSe.T float Поправка\n"
      "parameter C.Tem float Температура\n"
      "parameter E.Crd float Потенциал\n"
      "parameter p.Crd float pH_точки\n"
      "branch Измерение 1 2 3 tco.t TSe.T C.Tem E.Crd p.Crd\n"
      "root Прибор 1 1 1 Измерение\n"
      "parameter !Rd.St int Слово noattr\n"
      "branch Состояние 1 2 3 !Rd.St\n"
      "scanners Опрос 1 26 26 Состояние\n");
  ScriptedCalibrationLink link;
  link.answers["tco.t"] = {Value("Ручная"), Value("Другая")};
  link.answers["E.Crd"] = {Fails("Таймаут")};
  link.answers["C.Tem"] = {Value("25.000")};
  link.answers["p.Crd"] = {Value("7.000")};
  const Confirmation c = ReadConfirmation(link, doc->rootBranch);
  ASSERT_TRUE(c.ok);
  EXPECT_EQ(c.temperatureSource, 1);
  EXPECT_EQ(c.text, "Температура: 25.000\nПотенциал: Нет данных\npH точки: 7.000\n\nУказанные параметры верны?");
  EXPECT_EQ(ReadConfirmation(link, doc->rootBranch).failedName, "tco.t");

  // 0x08 after saving asks for a repeat and reads nothing more.
  link.calls.clear();
  link.answers["Rd.St"] = {Value("8"), Value("0")};
  EXPECT_TRUE(SavePh(link, doc->scannersBranch, doc->rootBranch, 0).repeat);
  EXPECT_EQ(link.calls, (std::vector<std::string>{"write U.Apl=", "read Rd.St"}));
  link.answers["U.Apl"] = {Value("ignored")};
  link.calls.clear();
  const PhSaveOutcome redox = SavePh(link, doc->scannersBranch, doc->rootBranch, 3);
  EXPECT_EQ(redox.slope.kind, SlopeReport::None);
  EXPECT_FALSE(redox.unverified);
  EXPECT_EQ(link.calls, (std::vector<std::string>{"write U.Apl=", "read Rd.St", "read E.Crd", "read p.Crd"}));

  // A status word that cannot be read or makes no number leaves the result unknown.
  for (const ParameterAnswer& status : {Fails("Таймаут"), Value("нет")}) {
    link.calls.clear();
    link.answers["Rd.St"] = {status};
    const PhSaveOutcome unknown = SavePh(link, doc->scannersBranch, doc->rootBranch, 1);
    EXPECT_TRUE(unknown.unverified);
    EXPECT_FALSE(unknown.repeat);
    EXPECT_EQ(unknown.slope.kind, SlopeReport::None);
    EXPECT_EQ(link.calls, (std::vector<std::string>{"write U.Apl=", "read Rd.St"}));
  }
}

TEST(Mains, ModeReadingsOnTheStepPages) {
  BaseDevice::CZ580M20 m19(nullptr);
  BaseDevice::CZ580M22 m21(nullptr);
  struct Case {
    const BaseDevice::CDevicePW* model;
    const char* name;
    const char* value;
    int step;
    ModeVerdict verdict;
  } cases[] = {
      {&m19, "Mode", "2", 1, ModeVerdict::Done},
      {&m19, "mode", "4", 2, ModeVerdict::Done},
      {&m19, "Mode", "2", 2, ModeVerdict::Wait},
      {&m19, "Mode", "1", 1, ModeVerdict::Error},
      {&m19, "Mode", "3", 1, ModeVerdict::Error},  // the error bit wins over a done bit
      {&m19, "Mode", "Нет данных", 1, ModeVerdict::Ignore},
      {&m19, "Rd.St", "2", 1, ModeVerdict::Ignore},
      {&m21, "Mode", "0", 3, ModeVerdict::Done},
      {&m21, "Mode", "0", 2, ModeVerdict::Wait},
      {&m21, "Mode", "8", 1, ModeVerdict::Done},
  };
  for (const Case& c : cases) EXPECT_EQ(JudgeModeReading(c.name, c.value, *c.model, c.step), c.verdict) << c.value;
  EXPECT_EQ(MainsStepPages(20), 3);
  EXPECT_EQ(MainsStepPages(21), 2);
  ScriptedCalibrationLink link;
  Parameter mode("Mode");
  WriteStartMode(link, mode, m19);
  WriteStartMode(link, mode, m21);
  EXPECT_EQ(link.calls, (std::vector<std::string>{"write Mode=256", "write Mode=16"}));
}

TEST(Inductance, SplineThroughTwoAndThreeKnownPoints) {
  std::string why;
  auto two = FitSpline({0, 10}, {0, 100}, why);
  ASSERT_TRUE(two);
  EXPECT_EQ(*two, (std::vector<float>{0, 10, 0, 0}));
  auto three = FitSpline({0, 1, 2}, {0, 1, 0}, why);
  ASSERT_TRUE(three);
  const std::vector<float> expected{0, 1.5f, 0, -0.5f, 1, 0, -1.5f, 0.5f};
  ASSERT_EQ(three->size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR((*three)[i], expected[i], 1e-6) << i;
}

TEST(Inductance, RandomTablesGiveANaturalSpline) {
  std::mt19937 random(580);
  for (int round = 0; round < 200; ++round) {
    const int n = 2 + static_cast<int>(random() % 20);
    std::vector<double> x, y;
    double at = std::uniform_real_distribution<double>(-10, 10)(random);
    for (int i = 0; i < n; ++i) {
      at += std::uniform_real_distribution<double>(0.05, 3)(random);
      x.push_back(at);
      y.push_back(std::uniform_real_distribution<double>(-100, 100)(random));
    }
    const auto solved = SolveLinearSystem(BuildSplineSystem(x, y));
    ASSERT_TRUE(solved);
    const auto& k = *solved;
    auto seg = [&](int i, int d, double t) {  // d-th derivative of segment i at offset t
      const double a = k[4 * i], b = k[4 * i + 1], c = k[4 * i + 2], e = k[4 * i + 3];
      if (d == 0) return a + b * t + c * t * t + e * t * t * t;
      if (d == 1) return b + 2 * c * t + 3 * e * t * t;
      return 2 * c + 6 * e * t;
    };
    const double tol = 1e-6 * 100;
    for (int i = 0; i + 1 < n; ++i) {
      const double h = x[i + 1] - x[i];
      EXPECT_NEAR(seg(i, 0, 0), y[i], tol);
      EXPECT_NEAR(seg(i, 0, h), y[i + 1], tol);
      if (i + 2 < n) {
        EXPECT_NEAR(seg(i, 1, h), seg(i + 1, 1, 0), tol);
        EXPECT_NEAR(seg(i, 2, h), seg(i + 1, 2, 0), tol);
      }
    }
    EXPECT_NEAR(seg(0, 2, 0), 0, tol);
    EXPECT_NEAR(seg(n - 2, 2, x[n - 1] - x[n - 2]), 0, tol);
  }
}

TEST(Inductance, TableSaveValidatesBeforeWriting) {
  auto doc = Tree(
      "parameter Addr int Адрес\nbranch Сеть 1 4 4 Addr\nroot Прибор 1 1 1 Сеть\n"
      "parameter !Rd.St int Слово noattr\nbranch Состояние 1 2 3 !Rd.St\nscanners Опрос 1 26 26 Состояние\n");
  std::vector<std::unique_ptr<Parameter>> cells;
  auto points = [&](std::vector<std::pair<const char*, const char*>> rows) {
    std::vector<TablePoint> out;
    for (size_t i = 0; i < rows.size(); ++i) {
      cells.push_back(std::make_unique<Parameter>("uU.Pn"));
      MakeTemporary(*cells.back(), "float", rows[i].first, static_cast<int>(i));
      out.push_back({cells.back().get(), rows[i].second});
    }
    return out;
  };
  for (auto rows : {std::vector<std::pair<const char*, const char*>>{{"1.000", "0"}, {"1.000", "5"}},
                    std::vector<std::pair<const char*, const char*>>{{"2.000", "0"}, {"1.000", "5"}, {"3.0", "1"}}}) {
    ScriptedCalibrationLink link;
    const UserTableOutcome out = SaveUserTable(link, doc->scannersBranch, doc->rootBranch, points(rows));
    EXPECT_FALSE(out.done);
    EXPECT_EQ(out.caption, "Ошибка юстировки");
    EXPECT_TRUE(link.calls.empty());
  }
  ScriptedCalibrationLink link;
  link.answers["Rd.St"] = {Value("128")};
  const UserTableOutcome out =
      SaveUserTable(link, doc->scannersBranch, doc->rootBranch, points({{"0.000", "0.000"}, {"10.000", "100.000"}}));
  EXPECT_TRUE(out.done);
  EXPECT_TRUE(out.calibrationFailed);
  EXPECT_TRUE(out.verified);
  EXPECT_EQ(link.calls,
            (std::vector<std::string>{"write uU.Pn:0=0.000", "write uU.Pn:1=10.000", "write uU.Kf:0=0.000000",
                                      "write uU.Kf:1=10.000000", "write uU.Kf:2=0.000000", "write uU.Kf:3=0.000000",
                                      "write U.Apl=", "read Rd.St"}));
  // A status word that cannot be read: done, but not verified.
  link.answers["Rd.St"] = {Fails("Таймаут")};
  const UserTableOutcome unknown =
      SaveUserTable(link, doc->scannersBranch, doc->rootBranch, points({{"0.000", "0.000"}, {"10.000", "100.000"}}));
  EXPECT_TRUE(unknown.done);
  EXPECT_FALSE(unknown.calibrationFailed);
  EXPECT_FALSE(unknown.verified);
  // A failed point write names the parameter in the caption and writes no coefficient.
  ScriptedCalibrationLink failing;
  failing.answers["uU.Pn"] = {Value(""), Fails("Таймаут")};
  const UserTableOutcome failed =
      SaveUserTable(failing, nullptr, nullptr, points({{"0", "0"}, {"1", "1"}, {"2", "0"}}));
  EXPECT_EQ(failed.caption, "Ошибка записи параметра uU.Pn.");
  EXPECT_EQ(failed.text, "Таймаут\nЗаписано в прибор: uU.Pn:0.\nНе записано: uU.Pn:1, uU.Pn:2, uU.Kf:0, uU.Kf:1, "
                         "uU.Kf:2, uU.Kf:3, uU.Kf:4, uU.Kf:5, uU.Kf:6, uU.Kf:7.");
  EXPECT_EQ(failing.calls.size(), 2u);
}

TEST(Inductance, AveragingAndPointCount) {
  RunningAverage average;
  std::vector<double> seen;
  for (double v : {1.0, 3.0, 3.0}) {
    average.Add(v);
    seen.push_back(average.Value());
  }
  EXPECT_EQ(seen, (std::vector<double>{1, 2, 2.5}));
  // A first reading of 0 is a reading, not "no value yet".
  RunningAverage zero;
  zero.Add(0);
  zero.Add(4);
  EXPECT_EQ(zero.Value(), 2);

  FloatLink link;
  Parameter reading("Rd.fH");
  reading.type = "float";
  for (int i = 0; i < kMeasureReadings; ++i) link.answers["Rd.fH"].push_back(Value(i == 0 ? "1" : "3"));
  std::string error;
  const std::optional<double> mean = MeasureAverage(link, reading, error);
  ASSERT_TRUE(mean);
  EXPECT_NEAR(*mean, 3.0, 1e-6);
  EXPECT_EQ(link.calls.size(), static_cast<size_t>(kMeasureReadings));
  // An invalid reading ends the measurement as a failed read does.
  link.answers["Rd.fH"] = {Value("2"), Value("nan-bytes")};
  EXPECT_FALSE(MeasureAverage(link, reading, error));
  EXPECT_EQ(error, resources::LoadString(kStrInvalidValue));
  link.answers["Rd.fH"] = {Fails("Таймаут")};
  EXPECT_FALSE(MeasureAverage(link, reading, error));
  EXPECT_EQ(error, "Таймаут");

  for (const auto& [text, n] : std::vector<std::pair<std::string, std::optional<int>>>{{"2", 2},
                                                                                       {"21", 21},
                                                                                       {"1", std::nullopt},
                                                                                       {"22", std::nullopt},
                                                                                       {"0x5", std::nullopt},
                                                                                       {" 5 ", 5},
                                                                                       {"5a", std::nullopt},
                                                                                       {"", std::nullopt},
                                                                                       {"010", 10}})
    EXPECT_EQ(ParsePointCount(text), n) << text;
}

}  // namespace

namespace {

TEST(ReadingLoop, ReadingsOfAStoppedGenerationAreStale) {
  ReadingLoop loop;
  std::mutex m;
  std::vector<std::uint64_t> seen;
  auto pass = [&](std::uint64_t g) {
    std::lock_guard lock(m);
    seen.push_back(g);
  };
  ASSERT_TRUE(loop.Start(pass, 5));
  EXPECT_FALSE(loop.Start(pass, 5));  // one thread at a time
  for (;;) {
    {
      std::lock_guard lock(m);
      if (seen.size() >= 3) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  loop.Stop();
  const std::uint64_t first = seen.front();
  EXPECT_FALSE(loop.IsCurrent(first));  // posted before the stop: dropped
  ASSERT_TRUE(loop.Start(pass, 5));
  EXPECT_FALSE(loop.IsCurrent(first));
  EXPECT_TRUE(loop.IsCurrent(loop.Generation()));
  loop.Stop();  // wakes the pause: no 200 ms wait, and nothing runs afterwards
  const size_t count = seen.size();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(seen.size(), count);
}

}  // namespace
