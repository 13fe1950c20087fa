// The link's tasks against the in-process fake port, with the progress dialog
// played by the test thread.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "LinkTestSupport.h"
#include "link/Device.h"
#include "link/ResultFlags.h"
#include "model/DescBranch.h"
#include "model/InvisibleElement.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "resources/StringTable.h"
#include "support/FakePort.h"
#include "support/FakeTaskWindow.h"
#include "support/ReadFile.h"

using Fault = FakePort::Fault;
using resources::LoadString;

namespace {

uint16_t Hash(const std::string& name) { return Parameter::HashOfName(name); }

struct InitModel : TestModel {
  bool NeedsInitAfterWrite() const override { return true; }
};

class DeviceTaskTest : public LinkTestBase {
 protected:
  void SetUp() override {
    LinkTestBase::SetUp();
    device_ = std::make_unique<Device>();
    device_->finishPauseMs = 0;
    auto port = std::make_unique<FakePort>();
    port_ = port.get();
    device_->ReplacePort(std::move(port));
    port_->moduleAddress = 1;
  }
  void TearDown() override {
    device_.reset();
    LinkTestBase::TearDown();
  }

  // Until the transmit thread has finished the end of the task (it holds the
  // exchange lock for the whole task).
  static void WaitTaskEnd() { std::lock_guard lock(App().exchangeLock); }

  // An element "E" with parameters of type "int" valued "0".
  static std::unique_ptr<Elements::InvisibleElement> Element(const std::vector<std::string>& names) {
    auto e = std::make_unique<Elements::InvisibleElement>();
    e->elementName = "E";
    for (const auto& name : names) {
      Parameter& p = e->AddParameter(std::make_unique<Parameter>(name));
      p.type = "int";
      p.value = "0";
    }
    return e;
  }

  void DeviceValue(const std::string& name, int value, int index = 0) {
    port_->values[{Hash(name), index}] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value & 0xFF)};
  }

  std::vector<std::string> RequestNames(const std::vector<std::string>& names) const {
    std::vector<std::string> out;
    for (const auto& r : port_->requests) {
      std::string n = "?";
      for (const auto& name : names)
        if (r.decoded && r.hash == Hash(name)) n = (r.read ? "read " : "write ") + name;
      out.push_back(n);
    }
    return out;
  }

  FakeTaskWindow window_;
  platform::CollectingPrompter prompter_;
  std::unique_ptr<Device> device_;
  FakePort* port_ = nullptr;
};

TEST_F(DeviceTaskTest, ReadAllRunsBehindTheDialogAndReportsProgress) {
  auto e = Element({"P0", "P1", "P2"});
  DeviceValue("P0", 5);
  DeviceValue("P1", 6);
  DeviceValue("P2", 7);
  ASSERT_TRUE(device_->StartReadTask(*e));
  WaitTaskEnd();

  EXPECT_EQ(e->parameters[0]->value, "5");
  EXPECT_EQ(e->parameters[2]->value, "7");
  const auto dialogs = window_.Dialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].taskCode, Device::kTaskReadAll);
  EXPECT_EQ(dialogs[0].captionId, 265);
  EXPECT_EQ(dialogs[0].total, 3);
  EXPECT_TRUE(dialogs[0].ended);
  EXPECT_EQ(window_.LastLines(),
            (std::vector<std::string>{"Читаем ветвь 'E'", "  Чтение: P0 = 5", "  Чтение: P1 = 6", "  Чтение: P2 = 7",
                                      "", LoadString(kStrTaskDone)}));
  const auto& lines = dialogs[0].lines;
  EXPECT_EQ(lines[1].counts, "1 из 3");
  EXPECT_EQ(lines[1].done, 1);
  EXPECT_EQ(lines[3].counts, "3 из 3");
  EXPECT_EQ(lines[0].elapsed.size(), 8u);
  EXPECT_EQ(lines[0].elapsed, "00:00:00");
  // The list scrolls at every fifth line and at the end.
  EXPECT_FALSE(lines[3].scrollToEnd);
  EXPECT_TRUE(lines[4].scrollToEnd);
  EXPECT_TRUE(lines[5].scrollToEnd);
  EXPECT_EQ(App().resultFlags.load(), 0u);

  // Nothing reaches a dialog that has closed.
  device_->AddProgressLine("late");
  EXPECT_EQ(window_.Dialogs()[0].lines.size(), 6u);
  EXPECT_EQ(window_.DroppedLines(), 0);
}

TEST_F(DeviceTaskTest, ABranchTaskCountsItsWholeSubtree) {
  DescBranch root("root", 1, 0, 0, 0);
  auto child = std::make_unique<DescBranch>("child", 1, 0, 0, 0);
  for (const char* name : {"C0", "C1"}) {
    Parameter& p = child->AddParameter(std::make_unique<Parameter>(name));
    p.type = "int";
    DeviceValue(name, 4);
  }
  child->parameters[1]->valueChanged = true;
  root.children.push_back(std::move(child));
  Parameter& own = root.AddParameter(std::make_unique<Parameter>("R0"));
  own.type = "int";
  DeviceValue("R0", 4);

  ASSERT_TRUE(device_->StartWriteChangedTask(root));
  WaitTaskEnd();
  ASSERT_FALSE(window_.Dialogs().empty());
  EXPECT_EQ(window_.Dialogs().back().total, 1);
  ASSERT_TRUE(device_->StartReadTask(root));
  WaitTaskEnd();
  EXPECT_EQ(window_.Dialogs().back().total, 3);
  EXPECT_EQ(root.children[0]->parameters[0]->value, "4");
  EXPECT_EQ(App().doneCount.load(), 3);
}

TEST_F(DeviceTaskTest, LongLinesAreCutTo255Characters) {
  auto e = Element({"P0"});
  e->elementName = std::string(300, 'x');
  DeviceValue("P0", 1);
  ASSERT_TRUE(device_->StartReadTask(*e));
  WaitTaskEnd();
  // "Читаем ветвь '" is 14 characters (26 bytes).
  const std::string first = window_.LastLines().at(0);
  EXPECT_EQ(first, "Читаем ветвь '" + std::string(241, 'x'));
}

TEST_F(DeviceTaskTest, AbortDuringReadAllStopsAfterTheCurrentParameter) {
  device_->finishPauseMs = 2000;
  auto e = Element({"P0", "P1", "P2", "P3", "P4", "P5"});
  for (int i = 0; i < 6; ++i) DeviceValue("P" + std::to_string(i), i);
  // The user presses the button while P2 is being read.
  port_->handler = [&](const FakePort::Request& r) {
    if (r.hash == Hash("P2")) device_->OnAbortPressed();
    FakePort::Answer a;
    a.data = port_->values[{r.hash, 0}];
    return a;
  };
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(device_->StartReadTask(*e));
  WaitTaskEnd();
  const auto elapsed = std::chrono::steady_clock::now() - start;

  EXPECT_EQ(port_->requests.size(), 3u);
  EXPECT_EQ(e->parameters[2]->value, "2");
  EXPECT_EQ(e->parameters[3]->value, "0");
  EXPECT_EQ(App().resultFlags.load(), exchange::kResultAborted);
  EXPECT_TRUE(window_.Dialogs()[0].ended);
  // The dialog closes without the pause, and the next task is not aborted.
  EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
  EXPECT_FALSE(device_->AbortEvent().IsSet());
}

TEST_F(DeviceTaskTest, FiveConsecutiveReadTimeOutsStopTheWalkOnce) {
  App().automaticReading = true;
  App().modelIndex = 2;
  auto e = Element({"P0", "P1", "P2", "P3", "P4", "P5", "P6", "P7"});
  port_->handler = [](const FakePort::Request&) { return FakePort::Answer(Fault::Silence); };
  ASSERT_TRUE(device_->StartReadTask(*e));
  WaitTaskEnd();

  EXPECT_EQ(port_->requests.size(), 10u);  // five parameters, each with its retry
  const auto messages = window_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  const std::string expected = platform::Format(LoadString(kStrTimeOutLimit).c_str(), 5, "Z580-03") + LoadString(kStrAutoReadingOff) +
                               LoadString(kStrExchangeSuspended) + "\nНе прочитано значений: 8 из 8.";
  EXPECT_EQ(messages[0].text, expected);
  EXPECT_EQ(messages[0].icon, platform::MessageIcon::Error);
  EXPECT_TRUE(messages[0].ownedByMainWindow);
  EXPECT_FALSE(App().automaticReading.load());
  EXPECT_EQ(App().consecutiveTimeOuts.load(), 0);
  EXPECT_TRUE(prompter_.requests.empty());  // posted, never shown from the worker

  // Without automatic reading the message only says that the exchange stopped.
  ASSERT_TRUE(device_->StartReadTask(*e));
  WaitTaskEnd();
  ASSERT_EQ(window_.Messages().size(), 2u);
  EXPECT_EQ(window_.Messages()[1].text, platform::Format(LoadString(kStrTimeOutLimit).c_str(), 5, "Z580-03") + LoadString(kStrExchangeSuspended) +
                                           "\nНе прочитано значений: 8 из 8.");
}

TEST_F(DeviceTaskTest, FiveTimeOutsStopAWalkOutsideATaskAndLeaveNoAbortBehind) {
  App().modelIndex = 2;
  std::vector<std::string> names;
  for (int i = 0; i < 12; ++i) names.push_back("P" + std::to_string(i));
  auto e = Element(names);
  port_->handler = [](const FakePort::Request&) { return FakePort::Answer(Fault::Silence); };
  // A read of a branch on the calling thread, as the tree's windows do it.
  e->ReadFromDevice(*device_);
  EXPECT_EQ(port_->requests.size(), 10u);
  ASSERT_EQ(window_.Messages().size(), 1u);
  EXPECT_EQ(window_.Messages()[0].text.rfind(platform::Format(LoadString(kStrTimeOutLimit).c_str(), 5, "Z580-03"), 0), 0u);
  EXPECT_FALSE(device_->IsAbortSet());

  // The same for writes, which say so too; the next walk and the next
  // identification still run.
  port_->requests.clear();
  e->WriteToDevice(*device_, 1);
  EXPECT_EQ(port_->requests.size(), 10u);
  ASSERT_EQ(window_.Messages().size(), 2u);
  EXPECT_EQ(window_.Messages()[1].text, LoadString(kStrWriteLimit) + "\n" + LoadString(kStrExchangeSuspended));
  port_->handler = nullptr;
  DeviceValue("P11", 3);
  const std::string id = "ZD580-01";
  port_->values[{Hash("dev"), 0}] = std::vector<uint8_t>(id.rbegin(), id.rend());
  EXPECT_EQ(device_->IdentifyDevice(false), 3);
  e->ReadFromDevice(*device_);
  EXPECT_EQ(e->parameters[11]->value, "3");
  EXPECT_EQ(window_.Messages().size(), 2u);
}

TEST_F(DeviceTaskTest, OnlyTimeOutsInARowThatAreCountedReachTheLimit) {
  Parameter p("P0");
  p.type = "int";
  bool answer = false;
  port_->handler = [&](const FakePort::Request&) {
    return answer ? FakePort::Answer(Fault::None, {0, 1}) : FakePort::Answer(Fault::Silence);
  };
  for (int i = 0; i < 4; ++i) EXPECT_EQ(device_->ReadParameter(p, 1), 1);
  EXPECT_EQ(App().consecutiveTimeOuts.load(), 4);
  answer = true;
  EXPECT_EQ(device_->ReadParameter(p, 1), 0);  // an answer starts the count again
  EXPECT_EQ(App().consecutiveTimeOuts.load(), 0);
  answer = false;
  for (int i = 0; i < 4; ++i) device_->ReadParameter(p, 1);
  for (int i = 0; i < 3; ++i) device_->ReadParameter(p, 0);  // not counted
  EXPECT_EQ(App().consecutiveTimeOuts.load(), 4);
  EXPECT_TRUE(window_.Messages().empty());
  EXPECT_FALSE(device_->AbortEvent().IsSet());

  // A reply that is not a time-out also starts the count again.
  port_->handler = [](const FakePort::Request&) { return FakePort::Answer(Fault::DeviceError, {}, 0x28); };
  device_->ReadParameter(p, 1);
  EXPECT_EQ(App().consecutiveTimeOuts.load(), 0);
}

TEST_F(DeviceTaskTest, FiveFailedWritesStopTheWalk) {
  App().automaticReading = true;
  auto e = Element({"P0", "P1", "P2", "P3", "P4", "P5", "P6"});
  port_->handler = [](const FakePort::Request&) { return FakePort::Answer(Fault::Silence); };
  // A time-out before the task is not one of its five.
  EXPECT_NE(device_->WriteParameter(*e->parameters[6], 1), 0);
  port_->requests.clear();
  ASSERT_TRUE(device_->StartWriteTask(*e));
  WaitTaskEnd();

  EXPECT_EQ(port_->requests.size(), 10u);
  ASSERT_EQ(window_.Messages().size(), 1u);
  EXPECT_EQ(window_.Messages()[0].text,
            LoadString(kStrWriteLimit) + "\n" + LoadString(kStrAutoReadingOff) + LoadString(kStrExchangeSuspended) + "\nНе записано значений: 7 из 7.");
  EXPECT_FALSE(App().automaticReading.load());
  EXPECT_EQ(App().resultFlags.load(), exchange::kResultExchangeError);
  const auto lines = window_.LastLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), LoadString(kStrWriteLimit)), 1);
  EXPECT_EQ(lines.at(1), "  Запись: P0 = 0 [новое значение]");
  EXPECT_EQ(App().consecutiveTimeOuts.load(), 0);
  EXPECT_EQ(window_.Dialogs()[0].captionId, 267);

  // Five failed writes outside a task (a dialog's, an immediate write) leave no
  // abort behind that would stop the next identification of the module.
  Parameter p("P0");
  p.type = "int";
  p.value = "1";
  for (int i = 0; i < 5; ++i) EXPECT_NE(device_->WriteParameter(p, 1), 0);
  EXPECT_EQ(App().resultFlags.load(), exchange::kResultExchangeError);
  EXPECT_EQ(App().consecutiveTimeOuts.load(), 0);
  EXPECT_FALSE(device_->AbortEvent().IsSet());
  port_->handler = nullptr;
  const std::string id = "ZD580-01";
  port_->values[{Hash("dev"), 0}] = std::vector<uint8_t>(id.rbegin(), id.rend());
  EXPECT_EQ(device_->IdentifyDevice(false), 3);
}

TEST_F(DeviceTaskTest, WritesSelectTheirParametersAndTheNetworkSettingsAskForApply) {
  auto e = Element({"P0", "P1", "Addr"});
  e->parameters[0]->value = "5";
  e->parameters[1]->value = "6";
  e->parameters[1]->valueChanged = true;
  e->parameters[2]->value = "17";
  e->parameters[2]->writable = false;

  ASSERT_TRUE(device_->StartWriteChangedTask(*e));
  WaitTaskEnd();
  EXPECT_EQ(RequestNames({"P0", "P1", "Addr"}), (std::vector<std::string>{"write P1"}));
  EXPECT_EQ(window_.Dialogs()[0].total, 1);
  EXPECT_EQ(window_.Dialogs()[0].captionId, 270);
  EXPECT_FALSE(e->parameters[1]->valueChanged);
  EXPECT_EQ(window_.ApplyPosts(), 0);

  e->parameters[2]->writable = true;
  port_->requests.clear();
  ASSERT_TRUE(device_->StartWriteTask(*e));
  WaitTaskEnd();
  EXPECT_EQ(RequestNames({"P0", "P1", "Addr"}),
            (std::vector<std::string>{"write P0", "write P1", "write Addr"}));
  EXPECT_EQ((port_->values[{Hash("Addr"), 0}]), (std::vector<uint8_t>{0, 17}));
  // "Addr" changed the module's network settings: the main window sends APLY.
  EXPECT_EQ(window_.ApplyPosts(), 1);
  EXPECT_FALSE(App().networkSettingsWritten.load());
}

TEST_F(DeviceTaskTest, InitWritesInitialValuesAndNeverNoData) {
  InitModel model;
  model::SetCurrentDeviceModel(&model);
  auto e = Element({"FiLt", "tYPE", "Rd"});
  for (int i = 0; i < 2; ++i) {
    Parameter& clb = e->AddParameter(std::make_unique<Parameter>("clb.k"));
    clb.type = "int";
    clb.indexed = true;
    clb.linearIndex = 4 + i;
    clb.initialValue = "7";
  }
  port_->indexedHashes.push_back(Hash("clb.k"));
  e->parameters[0]->initialValue = "3";
  e->parameters[1]->initialValue.SetNoData();
  e->parameters[1]->value = "2";

  ASSERT_EQ(device_->StartInitTask(*e), 1);
  WaitTaskEnd();
  EXPECT_EQ(window_.Dialogs()[0].captionId, 272);
  EXPECT_EQ(window_.Dialogs()[0].total, 4);
  EXPECT_EQ(RequestNames({"FiLt", "tYPE", "Rd", "clb.k", "INIT"}),
            (std::vector<std::string>{"write FiLt", "write clb.k", "write clb.k"}));
  EXPECT_EQ(e->parameters[0]->value, "3");
  EXPECT_EQ((port_->values[{Hash("clb.k"), 4}]), (std::vector<uint8_t>{0, 0}));
  EXPECT_EQ((port_->values[{Hash("clb.k"), 5}]), (std::vector<uint8_t>{0x0F, 0xFF}));
  EXPECT_EQ(e->parameters[4]->value, "4095");
  EXPECT_EQ(e->parameters[1]->note, LoadString(kStrNotInitialised));
  EXPECT_EQ(e->parameters[1]->value, "2");
  // A failed parameter: no INIT after the walk.

  e->parameters[1]->initialValue.clear();
  port_->requests.clear();
  ASSERT_EQ(device_->StartInitTask(*e), 1);
  WaitTaskEnd();
  EXPECT_EQ(RequestNames({"FiLt", "clb.k", "INIT"}),
            (std::vector<std::string>{"write FiLt", "write clb.k", "write clb.k", "write INIT"}));
  model::SetCurrentDeviceModel(nullptr);
}

TEST_F(DeviceTaskTest, InitWithoutFullAccessOnlyShowsTheNotice) {
  device_->fullAccess = false;
  auto e = Element({"P0"});
  e->parameters[0]->initialValue = "1";
  EXPECT_EQ(device_->StartInitTask(*e), 1);
  EXPECT_TRUE(window_.Dialogs().empty());
  EXPECT_TRUE(port_->requests.empty());
  ASSERT_EQ(prompter_.requests.size(), 1u);
  EXPECT_EQ(prompter_.requests[0].icon, platform::MessageIcon::Information);
  EXPECT_TRUE(prompter_.requests[0].text.starts_with("Авторизация относится к устаревшим функциям."));
}

TEST_F(DeviceTaskTest, NoDataIsNeverWritten) {
  Parameter p("P0");
  p.type = "int";
  p.value.SetNoData();
  EXPECT_EQ(device_->WriteParameter(p, 1), Device::kNotInitialised);
  EXPECT_EQ(p.note, LoadString(kStrNotInitialised));
  EXPECT_TRUE(port_->requests.empty());
  // A text that only reads the same is a value, judged like any other.
  p.value = LoadString(kStrNoData);
  EXPECT_EQ(device_->WriteParameter(p, 1), 3);  // refused by the write gate
  EXPECT_TRUE(port_->requests.empty());

  // Nor an address no single module may have, as a file may hold it.
  Parameter address("Addr");
  address.type = "int";
  for (const char* text : {"255", "-1", "2048", "0x"}) {
    address.value = text;
    EXPECT_EQ(device_->WriteParameter(address, 1), 3) << text;  // a value that is not sent
    EXPECT_NE(address.note.find(text), std::string::npos) << address.note;
  }
  EXPECT_TRUE(port_->requests.empty());

  // Nor is a value that does not read as its type (the encoding would make a
  // number of whatever it finds: "x" would go as 0), nor one its bytes cannot
  // carry; the note names the value.
  const std::pair<const char*, const char*> unreadable[] = {
      {"int", "x"},       {"int", "7x"},       {"int", "70000"}, {"int16", "1.5"},
      {"float", "2,5"},   {"stored_dot", "abc"}, {"CLK_frm", "12:ab"}, {"CLK_frm", ""},
      {"CLK_frm", "9999:59"}, {"string", "string"}, {"ASCI", "ASCI"}, {"name", "ABCDE"}};
  for (const auto& [type, value] : unreadable) {
    p.type = type;
    p.value = value;
    EXPECT_NE(device_->WriteParameter(p, 1), 0) << type << " " << value;
    EXPECT_EQ(p.note.rfind("P0 = \"" + std::string(value) + "\": ", 0), 0u) << type << " " << value << p.note;
    EXPECT_TRUE(port_->requests.empty()) << type << " " << value;
  }
  // Hexadecimal and blanks around the number read as typed numbers do.
  for (const auto& [type, value] : {std::pair{"int", "0x1F"}, std::pair{"float", " 2.5 "}}) {
    p.type = type;
    p.value = value;
    EXPECT_EQ(device_->WriteParameter(p, 1), 0) << type << " " << value;
  }
  port_->requests.clear();
  p.type = "int";

  p.value = "1";
  p.linearIndex = -1;
  EXPECT_EQ(device_->WriteParameter(p, 1), Device::kNoIndex);
  EXPECT_EQ(device_->ReadParameter(p, 1), Device::kNoIndex);
  EXPECT_EQ(device_->CompareParameter(p), Device::kNoIndex);
  EXPECT_TRUE(port_->requests.empty());
}

TEST_F(DeviceTaskTest, CompareReportsTwelveDifferencesListingTheFirstTen) {
  std::vector<std::string> names;
  for (int i = 0; i < 13; ++i) names.push_back("P" + std::to_string(i));
  auto e = Element(names);
  for (int i = 0; i < 13; ++i) {
    e->parameters[i]->value = "1";
    e->parameters[i]->description = "D" + std::to_string(i);
    DeviceValue(names[i], i < 12 ? 2 : 1);
  }
  ASSERT_TRUE(device_->StartCompareTask(*e));
  EXPECT_EQ(device_->DifferenceCount(), 12);
  ASSERT_EQ(prompter_.requests.size(), 1u);
  const auto& box = prompter_.requests[0];
  EXPECT_EQ(box.caption, LoadString(kStrCompareCaption));
  EXPECT_EQ(box.icon, platform::MessageIcon::Information);
  EXPECT_TRUE(box.text.starts_with("Отличия: 12 (показанны только первые 10):\n\n1) Параметер 'P0 (D0)' в конфигурации: "
                                   "значение=1, Редактируемый, принадлежность: Пользователь; в приборе: значение=2, "
                                   "Редактируемый, принадлежность: Пользователь.\n"))
      << box.text;
  EXPECT_NE(box.text.find("\n10) Параметер 'P9 (D9)'"), std::string::npos);
  EXPECT_EQ(box.text.find("11)"), std::string::npos);
  EXPECT_EQ(e->parameters[11]->note, "Знач-е в приборе: '2',РедактируемыйПользователь");
  EXPECT_EQ(e->parameters[12]->note, "");
  EXPECT_EQ(e->parameters[0]->value, "1");  // the configuration keeps its value
  EXPECT_EQ(window_.Dialogs()[0].captionId, 271);
  EXPECT_EQ(window_.LastLines().at(1), "  Сравниваем: P0=1<>2");

  // The next compare starts from nothing.
  for (int i = 0; i < 13; ++i) DeviceValue(names[i], 1);
  ASSERT_TRUE(device_->StartCompareTask(*e));
  EXPECT_EQ(device_->DifferenceCount(), 0);
  ASSERT_FALSE(prompter_.requests.empty());
  EXPECT_EQ(prompter_.requests.back().text, LoadString(kStrNoDifferences));
}

TEST_F(DeviceTaskTest, SingleParameterTasks) {
  InitModel model;
  model::SetCurrentDeviceModel(&model);
  Parameter p("P0");
  p.type = "int";
  DeviceValue("P0", 42);
  ASSERT_TRUE(device_->StartReadOneTask(p));
  WaitTaskEnd();
  EXPECT_EQ(p.value, "42");
  EXPECT_EQ(window_.Dialogs()[0].captionId, 266);
  EXPECT_EQ(App().doneCount.load(), 1);

  // A write that the model follows with INIT; INIT fails.
  p.value = "43";
  port_->requests.clear();
  port_->handler = [&](const FakePort::Request& r) {
    if (r.hash == Hash("INIT")) return FakePort::Answer(Fault::DeviceError, {}, 0x47);
    return FakePort::Answer(Fault::None, r.data);
  };
  ASSERT_TRUE(device_->StartWriteOneTask(p));
  WaitTaskEnd();
  EXPECT_EQ(window_.Dialogs()[1].captionId, 274);
  EXPECT_EQ(RequestNames({"P0", "INIT"}), (std::vector<std::string>{"write P0", "write INIT"}));
  const auto messages = window_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, LoadString(kStrInitFailed) + LoadString(kStrDeviceErrorInvalidCombination));

  // The link is being stopped while the write ends: no INIT, and no error about it.
  // (The transmit thread then ends, so this comes last.)
  port_->requests.clear();
  port_->handler = [&](const FakePort::Request& r) {
    device_->Port().CancelEvent().Set();
    return FakePort::Answer(Fault::None, r.data);
  };
  ASSERT_TRUE(device_->StartWriteOneTask(p));
  WaitTaskEnd();
  EXPECT_EQ(RequestNames({"P0", "INIT"}), (std::vector<std::string>{"write P0"}));
  EXPECT_EQ(window_.Messages().size(), 1u);
  model::SetCurrentDeviceModel(nullptr);
}

TEST_F(DeviceTaskTest, TasksNeedTheWindow) {
  auto e = Element({"P0"});
  window_.refuseDialogs = true;
  EXPECT_FALSE(device_->StartReadTask(*e));
  exchange::TaskWindow* previous = exchange::SetTaskWindow(nullptr);
  EXPECT_FALSE(device_->StartWriteTask(*e));
  exchange::SetTaskWindow(previous);
  window_.refuseDialogs = false;
  // A refused task leaves nothing pending for the next one.
  Parameter p("P1");
  p.type = "int";
  DeviceValue("P1", 1);
  ASSERT_TRUE(device_->StartReadOneTask(p));
  WaitTaskEnd();
  EXPECT_EQ(RequestNames({"P0", "P1"}), (std::vector<std::string>{"read P1"}));
}

TEST_F(DeviceTaskTest, BatchReadAsksForTheSaveAndSetsTheDoneEvent) {
  platform::Event done(false, false);
  App().batchRun = true;
  App().batchRead = true;
  App().batchDoneEvent = &done;
  auto e = Element({"P0"});
  DeviceValue("P0", 1);
  ASSERT_TRUE(device_->StartReadTask(*e));
  WaitTaskEnd();
  EXPECT_EQ(window_.BatchSaves(), 1);
  EXPECT_TRUE(done.IsSet());
}

TEST_F(DeviceTaskTest, FailuresGoToTheErrorLogOneLineEach) {
  char path[] = "/tmp/z580-elog-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  App().SetErrorLogPath(path);
  auto e = Element({"P0", "P1"});
  Parameter& c = e->AddParameter(std::make_unique<Parameter>("C"));
  c.type = "int";
  c.indexed = true;
  c.linearIndex = 3;
  DeviceValue("P1", 1);  // P0: no descriptor; C: silence
  port_->indexedHashes.push_back(Hash("C"));
  port_->handler = [&](const FakePort::Request& r) {
    if (r.hash == Hash("C")) return FakePort::Answer(Fault::Silence);
    if (r.hash == Hash("P0")) return FakePort::Answer(Fault::DeviceError, {}, 0x28);
    return FakePort::Answer(Fault::None, {0, 1});
  };
  ASSERT_TRUE(device_->StartReadTask(*e));
  WaitTaskEnd();
  EXPECT_EQ(testsupport::ReadFile(path), "P0 - " + LoadString(kStrDeviceErrorNoDescriptor) + "\nC:3 - " + LoadString(kStrTimeOut) + "\n");
  std::remove(path);

  // A log file that does not exist is not made.
  App().SetErrorLogPath(std::string(path) + "-missing");
  device_->ReadParameter(*e->parameters[0], 1);
  EXPECT_FALSE(std::ifstream(std::string(path) + "-missing").good());
}

TEST_F(DeviceTaskTest, ImmediateWriteOnlyWhenOnAndEdited) {
  Parameter p("P0");
  p.type = "int";
  p.value = "9";
  p.note = "old";
  EXPECT_EQ(WriteParameterIfImmediate(p), Device::kNotWritten);  // not edited
  p.valueChanged = true;
  EXPECT_EQ(WriteParameterIfImmediate(p), Device::kNotWritten);  // mode off
  App().immediateWriting = true;
  window_.mainWindow = false;
  EXPECT_EQ(WriteParameterIfImmediate(p), Device::kNotWritten);  // no main window
  EXPECT_TRUE(port_->requests.empty());
  window_.mainWindow = true;
  EXPECT_EQ(WriteParameterIfImmediate(p), 0);
  EXPECT_EQ(p.note, "");
  EXPECT_EQ((port_->values[{Hash("P0"), 0}]), (std::vector<uint8_t>{9}));
}

TEST_F(DeviceTaskTest, FreeFunctionsActOnTheOneLink) {
  Parameter p("P0");
  p.type = "int";
  DeviceValue("P0", 3);
  EXPECT_EQ(CurrentDevice(), device_.get());
  EXPECT_EQ(ReadParameter(p, 0), 0);
  EXPECT_EQ(p.value, "3");

  device_.reset();
  EXPECT_EQ(CurrentDevice(), nullptr);
  EXPECT_EQ(ReadParameter(p, 0), -1);
  EXPECT_EQ(p.note, LoadString(kStrPortOpenError));
  EXPECT_EQ(WriteParameter(p, 1), -1);
  std::string error;
  EXPECT_FALSE(SendInitCommand(error));
  AddProgressLine("nothing happens");
}

}  // namespace
