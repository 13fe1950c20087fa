// The base answers of the device model: the state-dialog tables, the counter
// indicators, the rewrite of the outputs, the reset to defaults and APLY.
#include <gtest/gtest.h>

#include <memory>

#include "devices/CBaseDevice.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "support/FakeDeviceDocument.h"
#include "support/FakeLink.h"
#include "platform/Prompter.h"
#include "support/FakeStateDialog.h"
#include "support/FakeTableControl.h"

namespace {

using BaseDevice::CBaseDevice;
using myClass::TableControl;

// A polled branch as the loader builds it: each instance of an indexed parameter
// in a branch of its own.
class PolledBranch {
 public:
  Parameter& Add(const std::string& name, int linearIndex, const std::string& value,
                 const std::string& description = {}) {
    auto& child = *root.children.emplace_back(std::make_unique<DescBranch>(name, 1, linearIndex, 0, 0));
    Parameter& p = child.AddParameter(std::make_unique<Parameter>(name));
    p.linearIndex = linearIndex;
    p.value = ValueText::OfStoredText(value);
    p.description = description;
    return p;
  }
  DescBranch root;
};

// A model with counters on "r.Cou" and outputs on "r.oe".
class IoModel : public CBaseDevice {
 public:
  using CBaseDevice::CBaseDevice;
  bool inputs = true;
  bool outputs = true;
  bool HasInputs() const override { return inputs; }
  bool HasOutputs() const override { return outputs; }
  std::string GetInputsStateParamName() const override { return "r.Cou"; }
  std::string GetOutputsStateParamName() const override { return "r.oe"; }
};

class DeviceModelTest : public ::testing::Test {
 protected:
  DeviceModelTest() {
    doc.polled = &polled.root;
    doc.tree = &tree;
    doc.link = &link;
  }
  ~DeviceModelTest() override { model::SetCurrentDeviceModel(nullptr); }

  PolledBranch polled;
  DescBranch tree;
  FakeLink link;
  FakeDeviceDocument doc;
  platform::CollectingPrompter prompter;
};

TEST_F(DeviceModelTest, BaseAnswersSeenByOtherLayers) {
  CBaseDevice device(&doc);
  const model::DeviceModelHooks& hooks = device;
  EXPECT_EQ(hooks.GetStatusBitCaption(0), 0);  // "Rd.St" gets no rows
  EXPECT_EQ(hooks.FormatValue(2.5f), "2.500");
  EXPECT_TRUE(hooks.IsValidAddress(255, "11"));
  // The main frame takes the tooltip after the line break.
  EXPECT_EQ(device.GetStateWindowTitle(), "\nСостояние входов и выходов");
  BaseDevice::Rect rect{1, 2, 3, 4};
  device.GetInputLedRect(rect);
  EXPECT_EQ(rect, (BaseDevice::Rect{1, 2, 3, 4}));
}

TEST_F(DeviceModelTest, NetworkParametersIgnoreCaseOnly) {
  CBaseDevice device(&doc);
  for (const char* name : {"bPS", "LEn", "PrtY", "Sbit", "A.Len", "Addr", "addr", "ADDR", "a.len", "bps"})
    EXPECT_TRUE(device.IsNetworkParameter(name)) << name;
  for (const char* name : {"Addr ", " Addr", "Add", "Rs.dL", "T.pro", "", "ALen"})
    EXPECT_FALSE(device.IsNetworkParameter(name)) << name;
}

TEST_F(DeviceModelTest, CountersTableWithoutInputsHasItsColumnsOnly) {
  CBaseDevice device(&doc);
  polled.Add("r.Cou", 0, "5");
  FakeTableControl table;
  table.clientWidth = 302;
  table.notAllFit = true;
  EXPECT_TRUE(device.FillInputsList(&table));
  EXPECT_EQ(table.style, 0x420u);
  EXPECT_EQ(table.Headings(), (std::vector<std::string>{"Значение", "Счетчики", "Обнуление"}));
  for (const auto& c : table.columns) {
    EXPECT_EQ(c.format, TableControl::kColumnCentre);
    EXPECT_EQ(c.width, 100);
  }
  EXPECT_TRUE(table.rows.empty());
  EXPECT_EQ(table.autoSizeCalls, (std::vector<std::vector<int>>{{100, 100, 100}}));
  EXPECT_FALSE(device.FillInputsList(nullptr));
}

TEST_F(DeviceModelTest, CountersTableHasOneRowPerInstanceInIndexOrder) {
  IoModel device(&doc);
  // Added out of order; "Нет данных" is shown as 0.
  Parameter& third = polled.Add("r.Cou", 2, "17");
  Parameter& first = polled.Add("r.Cou", 0, "Нет данных");
  Parameter& second = polled.Add("R.COU", 1, "3");
  polled.Add("r.oe", 0, "1");
  FakeTableControl table;
  table.clientWidth = 200;  // (200 - 2) * 2 / 6 = 66
  EXPECT_FALSE(device.FillInputsList(&table));
  ASSERT_EQ(table.rows.size(), 3u);
  EXPECT_EQ(table.ColumnTexts(0), (std::vector<std::string>{"0", "3", "17"}));
  EXPECT_EQ(table.ColumnTexts(1), (std::vector<std::string>{"Счетчик 1", "Счетчик 2", "Счетчик 3"}));
  EXPECT_EQ(table.ColumnTexts(2), (std::vector<std::string>{"Сброс", "Сброс", "Сброс"}));
  const Parameter* expected[] = {&first, &second, &third};
  for (size_t r = 0; r < 3; ++r) {
    EXPECT_EQ(table.rows[r].objects, (std::vector<CObject*>(3, const_cast<Parameter*>(expected[r]))));
    EXPECT_EQ(table.rows[r].flags, (std::vector<std::uint16_t>{4, 4, 4 | 0x20}));
  }
  EXPECT_EQ(table.autoSizeCalls, (std::vector<std::vector<int>>{{66, 66, 66}}));
  // The value shown is copied, the parameter keeps its text.
  EXPECT_EQ(first.value, "Нет данных");
}

TEST_F(DeviceModelTest, CountersTableLabelsAndRowsFollowTheLinearIndex) {
  IoModel device(&doc);
  {
    // A single instance is one row labelled 1.
    polled.Add("r.Cou", 0, "9");
    FakeTableControl table;
    device.FillInputsList(&table);
    ASSERT_EQ(table.rows.size(), 1u);
    EXPECT_EQ(table.rows[0].Text(1), "Счетчик 1");
  }
  {
    // Indexes that do not start at 0: labels show the index, the rest of each row
    // goes where the list put its first cell.
    PolledBranch other;
    other.Add("r.Cou", 5, "1");
    other.Add("r.Cou", 4, "2");
    doc.polled = &other.root;
    FakeTableControl table;
    device.FillInputsList(&table);
    ASSERT_EQ(table.rows.size(), 2u);
    EXPECT_EQ(table.ColumnTexts(0), (std::vector<std::string>{"2", "1"}));
    EXPECT_EQ(table.ColumnTexts(1), (std::vector<std::string>{"Счетчик 5", "Счетчик 6"}));
    EXPECT_EQ(table.rows[1].flags[2], 4 | 0x20);
  }
  {
    // Without a polled branch (or document) the table gets its columns only.
    doc.polled = nullptr;
    FakeTableControl table;
    device.FillInputsList(&table);
    EXPECT_EQ(table.columns.size(), 3u);
    EXPECT_TRUE(table.rows.empty());
    IoModel orphan(nullptr);
    FakeTableControl table2;
    orphan.FillInputsList(&table2);
    EXPECT_TRUE(table2.rows.empty());
  }
}

TEST_F(DeviceModelTest, OutputsTable) {
  IoModel device(&doc);
  Parameter& second = polled.Add("r.oe", 1, "Нет данных", "Выход 2");
  Parameter& first = polled.Add("r.oe", 0, "1", "Выход 1");
  polled.Add("r.Cou", 0, "4");
  FakeTableControl table;
  table.clientWidth = 301;  // (301 - 2) / 2 = 149
  device.FillOutputsList(&table);
  EXPECT_EQ(table.style, 0x420u);
  EXPECT_EQ(table.Headings(), (std::vector<std::string>{"Значение", "Выходы"}));
  EXPECT_EQ(table.columns[1].width, 149);
  EXPECT_EQ(table.columns[1].format, TableControl::kColumnCentre);
  EXPECT_EQ(table.ColumnTexts(0), (std::vector<std::string>{"1", "0"}));
  EXPECT_EQ(table.ColumnTexts(1), (std::vector<std::string>{"Выход 1", "Выход 2"}));
  EXPECT_EQ(table.rows[0].objects, (std::vector<CObject*>{&first, &first}));
  EXPECT_EQ(table.rows[1].objects, (std::vector<CObject*>{&second, &second}));
  EXPECT_EQ(table.rows[1].flags, (std::vector<std::uint16_t>{0, 4}));
  EXPECT_EQ(table.autoSizeCalls, (std::vector<std::vector<int>>{{149, 149}}));

  device.outputs = false;
  FakeTableControl empty;
  device.FillOutputsList(&empty);
  EXPECT_EQ(empty.columns.size(), 2u);
  EXPECT_TRUE(empty.rows.empty());
}

TEST_F(DeviceModelTest, CounterIndicatorsFollowTheBitsOfRcn) {
  IoModel device(&doc);
  model::SetCurrentDeviceModel(&device);
  Parameter& rcn = polled.Add("r.cn", 0, "Нет данных");
  std::string reply = "13";  // 0b1101
  link.onCall = [&](const std::string& op, Parameter& p) {
    if (op == "read" && p.name == "r.cn") p.value = reply;
  };
  FakeStateDialog dialog;
  FakeStateIndicator* a = dialog.AddRow(true);   // bit 0
  dialog.AddRow(false);                          // no bit used
  FakeStateIndicator* b = dialog.AddRow(true);   // bit 1
  FakeStateIndicator* c = dialog.AddRow(true);   // bit 2
  FakeStateIndicator* d = dialog.AddRow(true);   // bit 3
  device.UpdateStateList(&dialog);
  EXPECT_EQ(link.calls, (std::vector<std::string>{"read r.cn (0)"}));
  EXPECT_EQ(dialog.Texts(), "1-011");
  EXPECT_EQ(a->invalidations + b->invalidations + c->invalidations + d->invalidations, 4);

  // Only indicators whose text changes are repainted.
  reply = "9";  // 0b1001
  device.UpdateStateList(&dialog);
  EXPECT_EQ(dialog.Texts(), "1-001");
  EXPECT_EQ(a->invalidations, 1);
  EXPECT_EQ(b->invalidations, 1);
  EXPECT_EQ(c->invalidations, 2);
  EXPECT_EQ(d->invalidations, 1);

  // A reading that is no number, or a failed read that leaves the last good word,
  // shows no state at all.
  reply = "Нет данных";
  device.UpdateStateList(&dialog);
  EXPECT_EQ(dialog.Texts(), "?-???");
  EXPECT_EQ(rcn.value, "Нет данных");
  reply = "9";
  device.UpdateStateList(&dialog);
  link.readResults["r.cn"] = 1;
  device.UpdateStateList(&dialog);
  EXPECT_EQ(dialog.Texts(), "?-???");
}

TEST_F(DeviceModelTest, CounterIndicatorsBeyondThirtyTwoBitsStayOff) {
  IoModel device(&doc);
  model::SetCurrentDeviceModel(&device);
  polled.Add("r.cn", 0, "4294967295");
  FakeStateDialog dialog;
  for (int i = 0; i < 34; ++i) dialog.AddRow(true);
  device.UpdateStateList(&dialog);
  EXPECT_EQ(dialog.Texts(), std::string(32, '1') + "00");
}

TEST_F(DeviceModelTest, CounterIndicatorsNeedTheCurrentModelsInputsAndRcn) {
  IoModel device(&doc);
  polled.Add("r.cn", 0, "1");
  FakeStateDialog dialog;
  FakeStateIndicator* a = dialog.AddRow(true);

  // No current model, or one without inputs: no reading.
  device.UpdateStateList(&dialog);
  CBaseDevice plain(&doc);
  model::SetCurrentDeviceModel(&plain);
  device.UpdateStateList(&dialog);
  EXPECT_TRUE(link.calls.empty());

  // The current model's answer counts, not the object's own.
  model::SetCurrentDeviceModel(&device);
  plain.UpdateStateList(&dialog);
  EXPECT_EQ(a->text, "1");

  // Without "r.cn" nothing is read.
  PolledBranch other;
  doc.polled = &other.root;
  link.calls.clear();
  device.UpdateStateList(&dialog);
  EXPECT_TRUE(link.calls.empty());
}

TEST_F(DeviceModelTest, RewriteOutputParametersRestoresInitialValues) {
  CBaseDevice device(&doc);
  Parameter& pout1 = polled.Add("pout", 1, "");
  Parameter& pout0 = polled.Add("pout", 0, "");
  Parameter& npco0 = polled.Add("npco", 0, "");
  Parameter& npco1 = polled.Add("npco", 1, "");
  Parameter& npcp0 = polled.Add("npcp", 0, "");
  Parameter& npcp1 = polled.Add("npcp", 1, "");
  for (Parameter* p : {&pout0, &pout1, &npco0, &npco1, &npcp0, &npcp1}) p->initialValue = "0";
  npcp1.initialValue.clear();  // nothing to restore
  // The device answers "0" except for pout 1 and npcp 1; npco 0 cannot be read.
  link.onCall = [&](const std::string& op, Parameter& p) {
    if (op == "read") p.value = (&p == &pout1 || &p == &npcp1 || &p == &npco1) ? "7" : "0";
  };
  link.readResults["npco"] = 3;
  device.RewriteOutputParameters();
  EXPECT_EQ(link.calls, (std::vector<std::string>{"read npcp (0)", "read npcp (0)", "read npco (0)", "read pout (0)",
                                                  "read pout (0)", "write pout (1)"}));
  EXPECT_EQ(pout1.value, "0");
  EXPECT_EQ(npcp1.value, "7");
}

TEST_F(DeviceModelTest, ResetToDefaults) {
  {
    CBaseDevice device(&doc);
    prompter.answer = platform::kAnswerNo;
    device.ResetToDefaults();
    ASSERT_EQ(prompter.requests.size(), 1u);
    EXPECT_EQ(prompter.requests[0].text,
              "Предупреждение:\nДанная операция приведет к потере конфигурации в приборе и в программе.\n\n"
              "Вы уверены, что хотите продолжить?");
    EXPECT_EQ(prompter.requests[0].buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(prompter.requests[0].icon, platform::MessageIcon::Warning);
    EXPECT_TRUE(doc.calls.empty());

    prompter.answer = platform::kAnswerYes;
    device.ResetToDefaults();
    EXPECT_EQ(doc.calls, (std::vector<std::string>{"wait on", "init task", "wait off", "update views", "send init"}));

    // A task that did nothing leaves the views alone; INIT is still offered.
    doc.calls.clear();
    doc.initTaskResult = 0;
    device.ResetToDefaults();
    EXPECT_EQ(doc.calls, (std::vector<std::string>{"wait on", "init task", "wait off", "send init"}));
  }
  prompter.requests.clear();
  doc.calls.clear();
  doc.tree = nullptr;
  for (CBaseDevice* device : {new CBaseDevice(&doc), new CBaseDevice(nullptr)}) {
    std::unique_ptr<CBaseDevice> owner(device);
    device->ResetToDefaults();
  }
  ASSERT_EQ(prompter.requests.size(), 2u);
  for (const auto& r : prompter.requests) {
    EXPECT_EQ(r.text, "Дерево не определено");
    EXPECT_EQ(r.caption, "Z580");
    EXPECT_EQ(r.icon, platform::MessageIcon::Error);
    EXPECT_TRUE(r.ownedByMainWindow);
  }
  EXPECT_TRUE(doc.calls.empty());
}

TEST_F(DeviceModelTest, ApplyParameterIsMadeOnceAndSendsNoData) {
  CBaseDevice device(&doc);
  Parameter* aply = device.GetApplyParameter();
  ASSERT_NE(aply, nullptr);
  EXPECT_EQ(device.GetApplyParameter(), aply);
  EXPECT_EQ(aply->name, "APLY");
  EXPECT_EQ(aply->value, "");
  ValueBytes data;
  EXPECT_EQ(aply->ConvertToData(data), MyConverter::kConverted);
  EXPECT_TRUE(data.empty());
}

TEST_F(DeviceModelTest, DestroyedModelIsNoLongerCurrent) {
  auto device = std::make_unique<CBaseDevice>(&doc);
  CBaseDevice other(&doc);
  model::SetCurrentDeviceModel(device.get());
  device.reset();
  EXPECT_EQ(model::CurrentDeviceModel(), nullptr);
  // Another model stays current.
  model::SetCurrentDeviceModel(&other);
  CBaseDevice(&doc).GetApplyParameter();
  EXPECT_EQ(model::CurrentDeviceModel(), &other);
}

}  // namespace
