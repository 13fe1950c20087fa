// What each of the 23 models answers: its flags and state layout, its network
// checks, its status rows, the "Log" pairs, the mains calibration steps, the reset
// by "S.Def", its menu item and its calibration window.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "devices/CDevicePW.h"
#include "devices/CZ580M14.h"
#include "devices/CalibrationLauncher.h"
#include "devices/CreateDeviceModel.h"
#include "devices/MainMenu.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"
#include "support/FakeDeviceDocument.h"
#include "support/FakeLink.h"
#include "support/FakeStateDialog.h"
#include "support/FakeTableControl.h"

namespace {

using namespace BaseDevice;
using W = CalibrationWizard;

std::unique_ptr<CBaseDevice> Make(int index, DeviceDocument* doc = nullptr) {
  return CreateDeviceModel(static_cast<signed char>(index), doc);
}

constexpr Rect kUnset{-1, -1, -1, -1};

struct ModelRow {
  int index;
  std::string inputs, outputs;  // state parameters, "" none
  Rect inRect;
  int inStep;
  Rect outRect;
  int outStep;
  int rowStep;
  int title;
  bool scanners, dataLength, initAfterWrite, repliesToApply;
  W wizard;
  int networkExtras;  // 0 none, 1 "Rs.dL", 2 "Rs.dL" and "T.pro"
  int statusRows;
  std::string formatted;  // FormatValue(2.5)
};

const Rect A{14, 22, 30, 40}, B{34, 22, 50, 40}, C{6, 18, 22, 31};

const ModelRow kModels[] = {
    {0, "rEAd", "", A, 39, kUnset, 0, 25, 32823, false, true, false, false, W::AnalogInputDialogs, 0, 0, "2.5"},
    {1, "", "r.oe", kUnset, 0, A, 39, 25, 32822, false, true, false, false, W::AnalogOutputDialog, 0, 0, "2.500"},
    {2, "", "r.oe", kUnset, 0, A, 59, 25, 32822, false, true, false, false, W::AnalogOutputDialog, 0, 0, "2.500"},
    {3, "r.Cou", "r.oe", A, 39, B, 61, 25, 32821, false, true, false, false, W::None, 0, 0, "2.500"},
    {4, "r.Cou", "", {10, 22, 26, 40}, 18, kUnset, 0, 25, 32823, false, true, false, false, W::None, 0, 0, "2.500"},
    {5, "", "r.oe", kUnset, 0, A, 39, 25, 32822, false, true, false, false, W::None, 0, 0, "2.500"},
    {6, "", "", kUnset, 0, kUnset, 0, 25, 32821, true, true, false, false, W::None, 0, 0, "2.500"},
    {7, "", "", kUnset, 0, kUnset, 0, 25, 32821, true, false, false, false, W::CommonAnalogInput, 0, 0, "2.500"},
    {8, "rEAd", "", {34, 32, 60, 60}, 70, kUnset, 0, 25, 32821, true, true, false, false, W::AnalogInputDialogs, 0, 0,
     "2.500"},
    {9, "", "r.oe", kUnset, 0, {6, 22, 22, 40}, 19, 25, 32822, false, true, false, false, W::None, 0, 0, "2.500"},
    {10, "r.Cou", "", A, 39, kUnset, 0, 25, 32823, false, true, false, false, W::None, 0, 0, "2.500"},
    {11, "r.Cou", "r.oe", B, 61, B, 61, 25, 32821, false, true, false, false, W::None, 0, 0, "2.500"},
    {12, "", "", kUnset, 0, kUnset, 0, 25, 32821, true, true, true, false, W::Inductance, 0, 7, "2.500"},
    {13, "", "", kUnset, 0, kUnset, 0, 25, 32821, true, true, false, false, W::StrainGauge, 1, 3, "2.500"},
    {14, "", "", kUnset, 0, kUnset, 0, 25, 32821, true, true, false, false, W::StrainGauge, 1, 9, "2.500"},
    {15, "", "r.oe", kUnset, 0, C, 19, 14, 32822, false, true, false, false, W::None, 0, 0, "2.500"},
    {16, "r.Cou", "", C, 19, kUnset, 0, 14, 32823, false, true, false, false, W::None, 0, 0, "2.500"},
    {17, "", "", kUnset, 0, kUnset, 0, 25, 32821, true, false, false, false, W::CommonAnalogInput, 0, 0, "2.500"},
    {18, "", "", kUnset, 0, kUnset, 0, 25, 32821, true, false, true, false, W::PhRedox, 1, 4, "2.500"},
    {19, "", "", kUnset, 0, kUnset, 0, 25, 32821, true, true, false, false, W::Mains, 1, 0, "2.500"},
    {20, "", "", kUnset, 0, kUnset, 0, 25, 32821, true, true, false, true, W::Mains, 2, 7, "2.500"},
    {21, "", "", kUnset, 0, kUnset, 0, 25, 32821, true, true, false, false, W::Mains, 1, 0, "2.500"},
    {22, "", "", kUnset, 0, kUnset, 0, 25, 32821, true, true, false, false, W::Mains, 1, 0, "2.500"},
};

class RecordingLauncher : public CalibrationLauncher {
 public:
  RecordingLauncher() { SetCalibrationLauncher(this); }
  ~RecordingLauncher() override { SetCalibrationLauncher(nullptr); }
  void Run(CalibrationWizard wizard, CBaseDevice& model) override { runs.push_back({wizard, &model}); }
  std::vector<std::pair<CalibrationWizard, CBaseDevice*>> runs;
};

TEST(ModelClasses, EveryIndexAnswersAsItsModel) {
  ASSERT_EQ(std::size(kModels), 23u);
  RecordingLauncher launcher;
  for (const ModelRow& row : kModels) {
    SCOPED_TRACE(row.index);
    auto m = Make(row.index);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->HasInputs(), !row.inputs.empty());
    EXPECT_EQ(m->GetInputsStateParamName(), row.inputs);
    EXPECT_EQ(m->HasOutputs(), !row.outputs.empty());
    EXPECT_EQ(m->GetOutputsStateParamName(), row.outputs);
    Rect in = kUnset, out = kUnset;
    m->GetInputLedRect(in);
    m->GetOutputLedRect(out);
    EXPECT_EQ(in, row.inRect);
    EXPECT_EQ(out, row.outRect);
    EXPECT_EQ(m->GetInputLedStep(), row.inStep);
    EXPECT_EQ(m->GetOutputLedStep(), row.outStep);
    EXPECT_EQ(m->GetLedRowStep(), row.rowStep);
    EXPECT_EQ(m->GetStateWindowTitle(), resources::LoadString(row.title));

    EXPECT_EQ(m->HasScanners(), row.scanners);
    EXPECT_EQ(m->HasDataLengthParameter(), row.dataLength);
    EXPECT_EQ(m->NeedsInitAfterWrite(), row.initAfterWrite);
    EXPECT_EQ(m->RepliesToApply(), row.repliesToApply);
    EXPECT_EQ(m->FormatValue(2.5f), row.formatted);

    EXPECT_TRUE(m->IsNetworkParameter("addr"));
    EXPECT_EQ(m->IsNetworkParameter("rs.dl"), row.networkExtras >= 1);
    EXPECT_EQ(m->IsNetworkParameter("T.pro"), row.networkExtras == 2);
    EXPECT_FALSE(m->IsNetworkParameter("Mode"));

    int rows = 0;
    while (m->GetStatusBitCaption(rows) != 0) {
      EXPECT_TRUE(resources::HasString(m->GetStatusBitCaption(rows))) << rows;
      ++rows;
    }
    EXPECT_EQ(rows, row.statusRows);
    const unsigned word = 0xFFFF;
    EXPECT_EQ(m->GetStatusBitText(rows, &word), "");  // a row beyond the last

    EXPECT_EQ(m->GetCalibrationWizard(), row.wizard);
    EXPECT_EQ(m->HasCalibration(), row.wizard != W::None);
    launcher.runs.clear();
    m->Calibrate();
    if (row.wizard == W::None) {
      EXPECT_TRUE(launcher.runs.empty());
    } else {
      ASSERT_EQ(launcher.runs.size(), 1u);
      EXPECT_EQ(launcher.runs[0].first, row.wizard);
      EXPECT_EQ(launcher.runs[0].second, m.get());
    }
  }
}

TEST(ModelClasses, CalibrationWithoutLauncherDoesNothing) {
  ASSERT_EQ(GetCalibrationLauncher(), nullptr);
  Make(0)->Calibrate();
  EXPECT_TRUE(Make(13)->OnModelCommand(111));
}

TEST(ModelClasses, StrainGaugeAddressRange) {
  struct Case {
    int address;
    const char* length;
    bool valid;
  } cases[] = {{255, "11", false}, {256, "11", true}, {256, "8", false}, {0, "9", true},  {0, "11", false},
               {1, "11", true},    {254, "11", true}, {2036, "11", true}, {2037, "11", false}, {0, "8", false},
               {1, "8", true},     {254, "8", true},  {255, "8", false}, {255, "11 ", true}, {-5, "", true}};
  for (int index : {13, 14}) {
    auto m = Make(index);
    for (const Case& c : cases) EXPECT_EQ(m->IsValidAddress(c.address, c.length), c.valid) << c.address << c.length;
  }
  EXPECT_TRUE(Make(12)->IsValidAddress(255, "11"));
}

// The texts of rows 0.. of a model for one word.
std::vector<std::string> StatusTexts(const CBaseDevice& m, unsigned word) {
  std::vector<std::string> texts;
  for (int row = 0; m.GetStatusBitCaption(row) != 0; ++row) texts.push_back(m.GetStatusBitText(row, &word));
  return texts;
}

TEST(ModelClasses, StatusRowsOfTheFourChannelStrainGauge) {
  auto m = Make(14);
  const unsigned word = 0x102;
  EXPECT_EQ(StatusTexts(*m, word),
            (std::vector<std::string>{"не установлена", "отказ", "норма", "норма", "норма", "нет ошибки", "нет ошибки",
                                      "нет ошибки", "ошибка"}));
  // Asked out of order, or twice, a row gives the same answer.
  EXPECT_EQ(m->GetStatusBitText(8, &word), "ошибка");
  EXPECT_EQ(m->GetStatusBitText(1, &word), "отказ");
  EXPECT_EQ(m->GetStatusBitText(1, &word), "отказ");
  EXPECT_EQ(resources::LoadString(m->GetStatusBitCaption(1)), "Состояние датчика 1 канала");
  EXPECT_EQ(resources::LoadString(m->GetStatusBitCaption(6)), "Ошибка юстировки во 2 канале");
  EXPECT_EQ(resources::LoadString(m->GetStatusBitCaption(8)), "Ошибка юстировки в 4 канале");
  EXPECT_EQ(m->GetStatusBitText(0, nullptr), "");

  auto one = Make(13);
  EXPECT_EQ(StatusTexts(*one, 0x7), (std::vector<std::string>{"установлена", "отказ", "ошибка"}));
  EXPECT_EQ(resources::LoadString(one->GetStatusBitCaption(2)), "Ошибка юстировки в канале");
}

TEST(ModelClasses, StatusRowsFollowOneBitEach) {
  struct Table {
    int index;
    std::vector<unsigned> bits;
    std::vector<std::pair<std::string, std::string>> texts;  // set, clear
  } tables[] = {
      {12,
       {0x01, 0x02, 0x04, 0x08, 0x20, 0x40, 0x80},
       {{"значение измерения неверно", "измерение успешно"},
        {"данные не готовы", "данные готовы"},
        {"значение слишком велико", "значение допустимо"},
        {"значение слишком мало", "значение допустимо"},
        {"установлена", "не установлена"},
        {"срабатывание", "нет срабатывания"},
        {"ошибка", "нет ошибки"}}},
      {18,
       {0x01, 0x04, 0x08, 0x20},
       {{"установлена", "не установлена"},
        {"отказ", "норма"},
        {"ошибка", "нет ошибки"},
        {"значение не корректно", "значение корректно"}}},
      {20, {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40}, std::vector<std::pair<std::string, std::string>>(7, {"1", "0"})},
  };
  for (const Table& t : tables) {
    auto m = Make(t.index);
    for (size_t bit = 0; bit < t.bits.size(); ++bit) {
      // Only the row of the bit turns; bits no row tests (0x10 on 12) change nothing.
      std::vector<std::string> expected;
      for (const auto& texts : t.texts) expected.push_back(texts.second);
      expected[bit] = t.texts[bit].first;
      EXPECT_EQ(StatusTexts(*m, t.bits[bit] | (t.index == 12 ? 0x10u : 0u)), expected) << t.index << " " << bit;
    }
  }
  EXPECT_EQ(resources::LoadString(Make(18)->GetStatusBitCaption(1)), "Состояние  датчика температуры");
  EXPECT_EQ(resources::LoadString(Make(20)->GetStatusBitCaption(6)), "выход за границу диапазона фаза C");
}

// A parameter tree with the given parameters at their linear indexes.
class TreeDocument {
 public:
  TreeDocument() {
    doc.tree = &tree;
    doc.polled = &polled;
    doc.link = &link;
  }
  Parameter& Add(DescBranch& top, const std::string& name, int linearIndex, const std::string& value,
                 const std::string& type = "float") {
    auto& child = *top.children.emplace_back(std::make_unique<DescBranch>(name, 1, linearIndex, 0, 0));
    Parameter& p = child.AddParameter(std::make_unique<Parameter>(name));
    p.linearIndex = linearIndex;
    p.indexed = true;
    p.value = value;
    p.type = type;
    return p;
  }
  DescBranch tree, polled;
  FakeLink link;
  FakeDeviceDocument doc;
};

TEST(ModelClasses, LogFunctionsComeInPairs) {
  TreeDocument t;
  const std::string type = "Нет:И:ИЛИ:Триггер:Счет:НЕ:Задержка:Генератор";
  Parameter* log[6];
  for (int i = 0; i < 6; ++i) log[i] = &t.Add(t.tree, "Log", i, "Нет", type);
  auto m = Make(11, &t.doc);

  // Position 4 (or 3, 7) takes the partner along: 5 pairs with 4.
  log[5]->value = "Счет";
  EXPECT_EQ(m->OnParameterEdited(*log[5]), log[4]);
  EXPECT_EQ(log[4]->value, "Счет");
  // Leaving it for an ordinary function sets the partner to the first name.
  log[4]->value = "И";
  EXPECT_EQ(m->OnParameterEdited(*log[4]), log[5]);
  EXPECT_EQ(log[5]->value, "Нет");
  // Both ordinary: nothing changes.
  log[2]->value = "И";
  log[3]->value = "ИЛИ";
  EXPECT_EQ(m->OnParameterEdited(*log[2]), nullptr);
  EXPECT_EQ(log[3]->value, "ИЛИ");
  log[0]->value = "Генератор";
  EXPECT_EQ(m->OnParameterEdited(*log[0]), log[1]);
  EXPECT_EQ(log[1]->value, "Генератор");

  // A value outside the list, another name, or no partner: nothing.
  log[2]->value = "???";
  EXPECT_EQ(m->OnParameterEdited(*log[2]), nullptr);
  Parameter& other = t.Add(t.tree, "Func", 0, "Счет", type);
  EXPECT_EQ(m->OnParameterEdited(other), nullptr);
  Parameter& lonely = t.Add(t.tree, "Log", 7, "Счет", type);
  EXPECT_EQ(m->OnParameterEdited(lonely), nullptr);
  // Other models pair nothing.
  EXPECT_EQ(Make(10, &t.doc)->OnParameterEdited(*log[5]), nullptr);
}

TEST(ModelClasses, MainsCalibrationSteps) {
  struct Case {
    int index;
    int mode;
    std::vector<int> texts;
    std::vector<unsigned> doneBits;  // steps 1..
  } cases[] = {
      {19, 256, {367, 366, 365}, {0x02, 0x04, 0x10}},
      {20, 256, {}, {0x02, 0x04, 0x40, 0x80}},
      {21, 16, {351, 350, 349}, {0x08, 0x04, 0x02}},
      {22, 16, {348, 347, 346}, {0x08, 0x04, 0x02}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    auto base = Make(c.index);
    auto* m = dynamic_cast<CDevicePW*>(base.get());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->GetCalibrationModeValue(), c.mode);
    for (size_t step = 1; step <= c.texts.size(); ++step) {
      std::string text = "old";
      EXPECT_EQ(&m->GetCalibrationStepText(text, static_cast<int>(step)), &text);
      EXPECT_EQ(text, resources::LoadString(c.texts[step - 1]));
    }
    for (int step : {0, 5}) {
      std::string text = "old";
      EXPECT_EQ(m->GetCalibrationStepText(text, step), "old");
    }
    for (size_t step = 1; step <= c.doneBits.size(); ++step) {
      const int s = static_cast<int>(step);
      EXPECT_TRUE(m->IsCalibrationStepDone(c.doneBits[step - 1] | 0x100u, s)) << s;
      EXPECT_FALSE(m->IsCalibrationStepDone(~c.doneBits[step - 1] & 0xFFu, s)) << s;
    }
    // A cleared word finishes step 3 of the 16-mode models only.
    EXPECT_EQ(m->IsCalibrationStepDone(0, 3), c.mode == 16);
    EXPECT_FALSE(m->IsCalibrationStepDone(0, 1));
    EXPECT_FALSE(m->IsCalibrationStepDone(0xFFFF, 0));
    EXPECT_FALSE(m->IsCalibrationStepDone(0xFFFF, static_cast<int>(c.doneBits.size()) + 1));

    // APLY carries 129 whatever a caller left in it.
    Parameter* aply = m->GetApplyParameter();
    EXPECT_EQ(aply->type, "int");
    EXPECT_EQ(aply->value, "129");
    aply->value = "Нет данных";
    EXPECT_EQ(m->GetApplyParameter(), aply);
    EXPECT_EQ(aply->value, "129");
  }
}

TEST(ModelClasses, PowerModelReadsItsStepParametersOnce) {
  TreeDocument t;
  t.Add(t.tree, "uk.hi", 0, "Нет данных").indexed = false;
  t.Add(t.tree, "ik.hi", 0, "5").indexed = false;
  t.Add(t.tree, "uk.lo", 0, "Нет данных").indexed = false;
  t.Add(t.tree, "ik.lo", 0, "0.02").indexed = false;
  t.link.onCall = [](const std::string&, Parameter& p) { p.value = p.name == "uk.hi" ? "300" : "30"; };
  auto base = Make(20, &t.doc);
  auto* m = dynamic_cast<CDevicePW*>(base.get());
  std::string text;
  m->GetCalibrationStepText(text, 1);
  EXPECT_NE(text.find("напряжение 300 В, ток 5 А, cos(fi) = 1;"), std::string::npos) << text;
  EXPECT_EQ(text.rfind("Для начала", 0), 0u);
  m->GetCalibrationStepText(text, 2);
  EXPECT_EQ(text, "1. Установите напряжение 30 В, ток 0.02 А, cos(fi) = 1;\r\n2. Нажмите на кнопку \"Далее\".");
  m->GetCalibrationStepText(text, 3);
  EXPECT_NE(text.find("300 В, ток 5 А, cos(fi) = 0.5"), std::string::npos);
  m->GetCalibrationStepText(text, 4);
  EXPECT_EQ(text, "1. Установите напряжение 100 В, ток 1 А, cos(fi) = 1;\r\n2. Нажмите на кнопку \"Далее\".");
  EXPECT_EQ(t.link.calls, (std::vector<std::string>{"read uk.hi (0)", "read uk.lo (0)"}));

  // Without the parameters the text says so instead of failing.
  FakeDeviceDocument empty;
  auto bare = Make(20, &empty);
  dynamic_cast<CDevicePW&>(*bare).GetCalibrationStepText(text, 2);
  EXPECT_NE(text.find("напряжение Нет данных В"), std::string::npos);
}

TEST(ModelClasses, DefaultsResetBySdefChannelByChannel) {
  platform::CollectingPrompter prompter;
  prompter.answer = platform::kAnswerYes;
  TreeDocument t;
  std::vector<std::string> frames;
  std::string failAt;  // "S.Def#n" answered with a device error
  std::string undecodableAt;
  t.link.onCall = [&](const std::string& op, Parameter& p) {
    const std::string frame = p.name + (p.indexed ? "#" + std::to_string(p.linearIndex) : "") + "=" + p.value +
                              ":" + p.type;
    frames.push_back(op + " " + frame);
    const std::string key = p.name + "#" + std::to_string(p.linearIndex);
    t.link.writeResults[p.name] = 0;
    if (key == failAt) {
      p.note = "Команда отвергнута";
      t.link.writeResults[p.name] = 12;
    } else if (key == undecodableAt) {
      p.note = "Не могу раскодировать ответ";
      t.link.writeResults[p.name] = 6;
    }
  };

  // Four channels, one undecodable answer: all four written, then the read-back question.
  undecodableAt = "S.Def#2";
  Make(14, &t.doc)->ResetToDefaults();
  EXPECT_EQ(frames, (std::vector<std::string>{"write S.Def#0=:void", "write S.Def#1=:void", "write S.Def#2=:void",
                                              "write S.Def#3=:void"}));
  ASSERT_EQ(prompter.requests.size(), 1u);
  EXPECT_EQ(prompter.requests[0].text.rfind("Параметры в приборе были успешно сброшены", 0), 0u);
  EXPECT_EQ(prompter.requests[0].buttons, platform::MessageButtons::YesNo);
  EXPECT_EQ(prompter.requests[0].icon, platform::MessageIcon::Information);

  // A device error on channel 1 stops there with the error text.
  frames.clear();
  prompter.requests.clear();
  failAt = "S.Def#1";
  Make(14, &t.doc)->ResetToDefaults();
  EXPECT_EQ(frames, (std::vector<std::string>{"write S.Def#0=:void", "write S.Def#1=:void"}));
  ASSERT_EQ(prompter.requests.size(), 1u);
  EXPECT_EQ(prompter.requests[0].text, "Команда отвергнута");
  EXPECT_EQ(prompter.requests[0].caption, "Ошибка сброса параметров");
  EXPECT_EQ(prompter.requests[0].icon, platform::MessageIcon::Warning);
  EXPECT_TRUE(prompter.requests[0].ownedByMainWindow);

  // One write without index on the one-channel models; no question of the base kind.
  for (int index : {12, 13, 18}) {
    frames.clear();
    prompter.requests.clear();
    failAt = undecodableAt = "";
    Make(index, &t.doc)->ResetToDefaults();
    EXPECT_EQ(frames, (std::vector<std::string>{"write S.Def=:void"})) << index;
    EXPECT_EQ(prompter.requests.size(), 1u);
    EXPECT_TRUE(t.doc.calls.empty());
  }
}

class FakeMainMenu : public MainMenu {
 public:
  FakeMainMenu() { SetMainMenu(this); }
  ~FakeMainMenu() override { SetMainMenu(nullptr); }
  bool InsertItem(int subMenu, int before, int command, const std::string& text) override {
    calls.push_back("insert " + std::to_string(subMenu) + " " + std::to_string(before) + " " +
                    std::to_string(command) + " " + text);
    items.push_back(command);
    return true;
  }
  bool RemoveItem(int subMenu, int command) override {
    calls.push_back("remove " + std::to_string(subMenu) + " " + std::to_string(command));
    std::erase(items, command);
    return true;
  }
  bool HasItem(int, int command) override { return std::find(items.begin(), items.end(), command) != items.end(); }
  void PostCommand(int command) override { posted.push_back(command); }
  std::vector<std::string> calls;
  std::vector<int> items;
  std::vector<int> posted;
};

TEST(ModelClasses, TareWeightItemOncePerModel) {
  RecordingLauncher launcher;
  FakeMainMenu menu;
  {
    auto first = Make(13);
    first->AddModelMenuItems();
    first->AddModelMenuItems();
    EXPECT_EQ(menu.calls, (std::vector<std::string>{"insert 3 32824 111 Измерение веса тары"}));
    EXPECT_TRUE(first->OnModelCommand(111));
    EXPECT_FALSE(first->OnModelCommand(112));
    ASSERT_EQ(launcher.runs.size(), 1u);
    EXPECT_EQ(launcher.runs[0].first, CalibrationWizard::TareWeight);

    // The next strain-gauge model, built before the last one goes, keeps the item.
    auto second = Make(14);
    second->AddModelMenuItems();
    first.reset();
    EXPECT_EQ(menu.items, std::vector<int>{111});
    // Other models add nothing; the item goes with its model.
    Make(12)->AddModelMenuItems();
    EXPECT_EQ(menu.items, std::vector<int>{111});
  }
  EXPECT_TRUE(menu.items.empty());
  EXPECT_EQ(menu.calls.size(), 2u);
}

TEST(ModelClasses, ReadBackAfterResetIsPostedToTheMainWindow) {
  platform::CollectingPrompter prompter;
  FakeMainMenu menu;
  TreeDocument t;
  prompter.answer = platform::kAnswerNo;
  Make(12, &t.doc)->ResetToDefaults();
  EXPECT_TRUE(menu.posted.empty());
  prompter.answer = platform::kAnswerYes;
  Make(12, &t.doc)->ResetToDefaults();
  EXPECT_EQ(menu.posted, std::vector<int>{139});
}

TEST(ModelClasses, AnalogInputTables) {
  TreeDocument t;
  Parameter& second = t.Add(t.polled, "rEAd", 1, "Нет данных");
  Parameter& first = t.Add(t.polled, "rEAd", 0, "1.5");
  {
    FakeTableControl table;
    table.clientWidth = 302;
    Make(0, &t.doc)->FillInputsList(&table);
    EXPECT_EQ(table.style, 0x420u);
    EXPECT_EQ(table.Headings(), (std::vector<std::string>{"Значение", "Входы"}));
    EXPECT_EQ(table.autoSizeCalls, (std::vector<std::vector<int>>{{150, 150}}));
    EXPECT_EQ(table.ColumnTexts(0), (std::vector<std::string>{"1.5", "0"}));
    EXPECT_EQ(table.ColumnTexts(1), (std::vector<std::string>{"Вход №1", "Вход №2"}));
    EXPECT_EQ(table.rows[1].objects, (std::vector<CObject*>{&second, &second}));
    EXPECT_EQ(table.rows[1].flags, (std::vector<std::uint16_t>{4, 4}));  // no button cells
  }
  {
    FakeTableControl table;
    table.clientWidth = 502;
    Make(8, &t.doc)->FillInputsList(&table);
    EXPECT_EQ(table.Headings(), (std::vector<std::string>{"Значение", "Счетчики"}));
    EXPECT_EQ(table.autoSizeCalls, (std::vector<std::vector<int>>{{300, 200}}));
    EXPECT_EQ(table.ColumnTexts(1), (std::vector<std::string>{"Измеритель 1", "Измеритель 2"}));
  }

  // Their indicators show the rows' own values, without a read; a value the user
  // changed is not a state.
  auto m = Make(0, &t.doc);
  model::SetCurrentDeviceModel(m.get());
  FakeStateDialog dialog;
  FakeStateIndicator* a = dialog.AddRow(true, &first);
  FakeStateIndicator* b = dialog.AddRow(true, &second);
  dialog.AddRow(false, &first);
  dialog.AddRow(true, nullptr);
  m->UpdateStateList(&dialog);
  m->UpdateStateList(&dialog);
  EXPECT_EQ(dialog.Texts(), "1.5Нет данных-?");
  EXPECT_EQ(a->invalidations + b->invalidations, 2);
  first.value = "2";
  first.valueChanged = true;
  m->UpdateStateList(&dialog);
  EXPECT_EQ(a->text, "1.5");
  EXPECT_TRUE(t.link.calls.empty());
  model::SetCurrentDeviceModel(nullptr);
}

}  // namespace
