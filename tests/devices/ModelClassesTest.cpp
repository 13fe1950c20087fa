// What each of the 23 models answers: its flags and state layout, its network
// checks, its status rows, the "Log" pairs, the mains calibration steps, its menu
// item and its calibration window.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>
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

// State parameters ("" none), indicator rectangles and steps, row step, title id,
// flags, calibration, network names beyond the base (1 "Rs.dL", 2 and "T.pro"),
// status rows, FormatValue(2.5).
struct ModelRow {
  int index;
  std::string inputs, outputs;
  Rect inRect;
  int inStep;
  Rect outRect;
  int outStep, rowStep, title;
  bool scanners, dataLength, initAfterWrite, repliesToApply;
  W wizard;
  int networkExtras, statusRows;
  std::string formatted;
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
    Rect in = kUnset, out = kUnset;
    m->GetInputLedRect(in);
    m->GetOutputLedRect(out);
    EXPECT_EQ(std::make_tuple(m->HasInputs(), m->GetInputsStateParamName(), in, m->GetInputLedStep()),
              std::make_tuple(!row.inputs.empty(), row.inputs, row.inRect, row.inStep));
    EXPECT_EQ(std::make_tuple(m->HasOutputs(), m->GetOutputsStateParamName(), out, m->GetOutputLedStep()),
              std::make_tuple(!row.outputs.empty(), row.outputs, row.outRect, row.outStep));
    EXPECT_EQ(m->GetLedRowStep(), row.rowStep);
    EXPECT_EQ(m->GetStateWindowTitle(), resources::LoadString(row.title));
    EXPECT_EQ(std::make_tuple(m->HasScanners(), m->HasDataLengthParameter(), m->NeedsInitAfterWrite(),
                              m->RepliesToApply(), m->FormatValue(2.5f)),
              std::make_tuple(row.scanners, row.dataLength, row.initAfterWrite, row.repliesToApply, row.formatted));
    EXPECT_EQ(m->IsNetworkParameter("rs.dl"), row.networkExtras >= 1);
    EXPECT_EQ(m->IsNetworkParameter("T.pro"), row.networkExtras == 2);

    int rows = 0;
    for (; m->GetStatusBitCaption(rows) != 0; ++rows) EXPECT_TRUE(resources::HasString(m->GetStatusBitCaption(rows)));
    EXPECT_EQ(rows, row.statusRows);
    const unsigned word = 0xFFFF;
    EXPECT_EQ(m->GetStatusBitText(rows, &word), "");  // a row beyond the last

    EXPECT_EQ(m->GetCalibrationWizard(), row.wizard);
    EXPECT_EQ(m->HasCalibration(), row.wizard != W::None);
    launcher.runs.clear();
    m->Calibrate();
    using Runs = decltype(launcher.runs);
    EXPECT_EQ(launcher.runs, (row.wizard == W::None ? Runs{} : Runs{{row.wizard, m.get()}}));
  }
}

TEST(ModelClasses, StrainGaugeAddressRange) {
  struct Case {
    int address;
    const char* length;
    bool valid;
  } const cases[] = {{255, "11", false}, {256, "11", true}, {256, "8", false}, {0, "9", true},     {0, "11", false},
               {2036, "11", true}, {2037, "11", false}, {254, "8", true}, {255, "11 ", true}};
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

TEST(ModelClasses, StatusRowsEachReportTheirBit) {
  // Index and the bit of each row, in row order.
  const std::pair<int, std::vector<unsigned>> tables[] = {
      {12, {0x01, 0x02, 0x04, 0x08, 0x20, 0x40, 0x80}},
      {18, {0x01, 0x04, 0x08, 0x20}},
      {13, {0x01, 0x02, 0x04}},
      {14, {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x100}},
      {20, {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40}},
  };
  for (const auto& [index, bits] : tables) {
    auto m = Make(index);
    const std::vector<std::string> clear = StatusTexts(*m, 0);
    ASSERT_EQ(clear.size(), bits.size());
    for (size_t row = 0; row < bits.size(); ++row) {
      // Only the row of the bit turns; 0x10 is no bit of 12's rows.
      auto texts = StatusTexts(*m, bits[row] | (index == 12 ? 0x10u : 0u));
      EXPECT_NE(texts[row], clear[row]) << index << " " << row;
      texts[row] = clear[row];
      EXPECT_EQ(texts, clear) << index << " " << row;
    }
  }
  EXPECT_EQ(StatusTexts(*Make(14), 0x102), (std::vector<std::string>{"не установлена", "отказ", "норма", "норма", "норма",
                                                                   "нет ошибки", "нет ошибки", "нет ошибки", "ошибка"}));
  EXPECT_EQ(StatusTexts(*Make(12), 0x81), (std::vector<std::string>{"значение измерения неверно", "данные готовы",
                                                                  "значение допустимо", "значение допустимо",
                                                                  "не установлена", "нет срабатывания", "ошибка"}));
  EXPECT_EQ(StatusTexts(*Make(18), 0x24),
            (std::vector<std::string>{"не установлена", "отказ", "нет ошибки", "значение не корректно"}));
  EXPECT_EQ(StatusTexts(*Make(20), 0x41), (std::vector<std::string>{"1", "0", "0", "0", "0", "0", "1"}));
  // Rows asked out of order on one word answer alike.
  auto four = Make(14);
  const unsigned word = 0x102;
  EXPECT_EQ(four->GetStatusBitText(8, &word) + four->GetStatusBitText(1, &word), "ошибкаотказ");
  EXPECT_EQ(resources::LoadString(four->GetStatusBitCaption(6)), "Ошибка юстировки во 2 канале");
  EXPECT_EQ(resources::LoadString(Make(18)->GetStatusBitCaption(1)), "Состояние  датчика температуры");
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
    p.value = ValueText::OfStoredText(value);
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
  // Both ordinary, or no partner: nothing changes.
  log[2]->value = "И";
  log[3]->value = "ИЛИ";
  EXPECT_EQ(m->OnParameterEdited(*log[2]), nullptr);
  EXPECT_EQ(log[3]->value, "ИЛИ");
  EXPECT_EQ(m->OnParameterEdited(t.Add(t.tree, "Log", 7, "Счет", type)), nullptr);
}

TEST(ModelClasses, MainsCalibrationSteps) {
  struct Case {
    int index, mode;
    std::vector<int> texts;
    std::vector<unsigned> doneBits;  // steps 1..
  } cases[] = {
      {19, 256, {367, 366, 365}, {0x02, 0x04, 0x10}},
      {20, 256, {364, 363, 362, 361}, {0x02, 0x04, 0x40, 0x80}},
      {21, 16, {351, 350, 349}, {0x08, 0x04, 0x02}},
      {22, 16, {348, 347, 346}, {0x08, 0x04, 0x02}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    auto base = Make(c.index);
    auto* m = dynamic_cast<CDevicePW*>(base.get());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->GetCalibrationModeValue(), c.mode);
    for (int step = 0; step <= 5; ++step) {
      std::string text = "old";
      const bool has = step >= 1 && step <= static_cast<int>(c.texts.size());
      EXPECT_EQ(&m->GetCalibrationStepText(text, step), &text);
      if (c.index != 20) {  // its texts carry values (tested on the link)
        EXPECT_EQ(text, has ? resources::LoadString(c.texts[step - 1]) : "old") << step;
      } else if (!has) {
        EXPECT_EQ(text, "old");
      }
    }
    for (int step = 0; step <= static_cast<int>(c.doneBits.size()) + 1; ++step) {
      const unsigned bit = step >= 1 && step <= static_cast<int>(c.doneBits.size()) ? c.doneBits[step - 1] : 0;
      EXPECT_EQ(m->IsCalibrationStepDone(bit | 0x100u, step), bit != 0) << step;
      EXPECT_FALSE(m->IsCalibrationStepDone(~bit & 0xFFu, step) && bit != 0) << step;
    }
    // A cleared word finishes step 3 of the 16-mode models only.
    EXPECT_EQ(m->IsCalibrationStepDone(0, 3), c.mode == 16);

    // APLY carries 129 whatever a caller left in it.
    Parameter* aply = m->GetApplyParameter();
    aply->value = "Нет данных";
    EXPECT_EQ(m->GetApplyParameter(), aply);
    EXPECT_EQ(aply->type + " " + aply->value, "int 129");
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
  for (int answer : {platform::kAnswerNo, platform::kAnswerYes}) {
    prompter.answer = answer;
    Make(12, &t.doc)->ResetToDefaults();
  }
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
