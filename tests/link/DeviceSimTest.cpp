// The link object end to end through the serial port against the simulated module
// on a pseudo-terminal: connecting, identifying every model, tasks, stopping.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "LinkTestSupport.h"
#include "SimLinkSettings.h"
#include "Simulator.h"
#include "link/Device.h"
#include "link/ModelTable.h"
#include "link/ResultFlags.h"
#include "model/InvisibleElement.h"
#include "model/Parameter.h"
#include "resources/StringTable.h"
#include "support/FakeTaskWindow.h"
#include "support/SimModule.h"

using Clock = std::chrono::steady_clock;
using resources::LoadString;

namespace {

struct InitAfterWrite : TestModel {
  bool NeedsInitAfterWrite() const override { return true; }
};

class DeviceSimTest : public LinkTestBase {
 protected:
  void SetUp() override {
    LinkTestBase::SetUp();
  }
  void TearDown() override {
    device_.reset();
    if (sim_) sim_->Stop();
    LinkTestBase::TearDown();
  }

  // A module and a link whose port settings match it (not yet open).
  void Start(z580sim::SimConfig config) {
    device_.reset();
    if (sim_) sim_->Stop();
    ASSERT_NO_FATAL_FAILURE(testsupport::StartSimModule(sim_, config));
    device_ = std::make_unique<Device>();
    device_->finishPauseMs = 0;
    z580sim::MatchPortSettings(device_->Settings(), *sim_);
  }
  static z580sim::SimConfig Config(int model, unsigned baud = 115200) {
    z580sim::SimConfig config;
    config.model = model;
    config.line.baud = baud;
    return config;
  }
  static void WaitTaskEnd() { std::lock_guard lock(App().exchangeLock); }

  // An element with the simulated module's ordinary parameters.
  static std::unique_ptr<Elements::InvisibleElement> Tree() {
    auto e = std::make_unique<Elements::InvisibleElement>();
    e->elementName = "Tree";
    auto add = [&](const char* name, const char* type) -> Parameter& {
      Parameter& p = e->AddParameter(std::make_unique<Parameter>(name));
      p.type = type;
      return p;
    };
    add("tYPE", "a:b:c:d");
    add("SEr.n", "int").writable = false;
    add("Addr", "int").attributes = 1;
    for (int i = 0; i < 2; ++i) {
      Parameter& clb = add("CLB.K", "int");
      clb.attributes = 1;
      clb.indexed = true;
      clb.linearIndex = i;
      clb.writable = false;
    }
    return e;
  }

  FakeTaskWindow window_;
  platform::CollectingPrompter prompter_;
  std::unique_ptr<z580sim::Simulator> sim_;
  std::unique_ptr<Device> device_;
};

// Half a reply without its end (what a wrong speed mostly gives) arrives
// through the real port: the line is garbled, not silent.
TEST_F(DeviceSimTest, RepliesThatNeverEndAreGarbledNotSilent) {
  ASSERT_NO_FATAL_FAILURE(Start(Config(2)));
  sim_->SetFault(z580sim::Fault::CutReply, -1);
  ASSERT_EQ(device_->OpenPort(false), 0);
  EXPECT_EQ(device_->IdentifyDevice(false), 0);
  const exchange::ConnectAttempt attempt = device_->LastAttempt();
  EXPECT_EQ(attempt.tally.silent, 0);
  EXPECT_GT(attempt.tally.unreadable, 0);
  EXPECT_EQ(exchange::ConnectFailureReason({attempt}).rfind("Ответы прибора не читаются", 0), 0u);
}

TEST_F(DeviceSimTest, EveryModelIsIdentified) {
  for (int model = 0; model < exchange::kModelCount; ++model) {
    SCOPED_TRACE(model);
    App().modelIndex = -1;
    ASSERT_NO_FATAL_FAILURE(Start(Config(model)));
    ASSERT_TRUE(device_->EstablishLink());
    EXPECT_EQ(App().modelIndex.load(), model);
    EXPECT_EQ(App().firmwareMajor.load(), 2);
    EXPECT_EQ(App().firmwareMinor.load(), 14);
    EXPECT_EQ(device_->ConverterMode(), 1);
    // "dev", "ver", and "tdev" for the model that has two variants.
    // The simulator logs a request once its reply is out; wait for the record.
    sim_->WaitForRequests(model == 13 || model == 14 ? 3u : 2u, 1000);
    EXPECT_EQ(sim_->Requests().size(), model == 13 || model == 14 ? 3u : 2u);
  }
}

TEST_F(DeviceSimTest, ModuleLeftInAnotherProtocolIsFoundAfterItsSwitchBack) {
  for (auto protocol : {z580sim::Protocol::ModbusRtu, z580sim::Protocol::ModbusAscii, z580sim::Protocol::Percent}) {
    SCOPED_TRACE(static_cast<int>(protocol));
    z580sim::SimConfig config = Config(4);
    config.protocol = protocol;
    ASSERT_NO_FATAL_FAILURE(Start(config));
    ASSERT_TRUE(device_->EstablishLink());
    EXPECT_EQ(App().modelIndex.load(), 4);
    EXPECT_EQ(sim_->CurrentProtocol(), z580sim::Protocol::Own);
    EXPECT_EQ(exchange::ProtocolSelector(), exchange::kSelectorOwnFrame);
    EXPECT_EQ(App().resultFlags.load() & (exchange::kResultConnectFailed | exchange::kResultNoUsableReply), 0u);
  }
}

TEST_F(DeviceSimTest, ElevenBitAddressing) {
  z580sim::SimConfig config = Config(9);
  config.addressBits = 11;
  config.address = 1500;
  ASSERT_NO_FATAL_FAILURE(Start(config));
  ASSERT_TRUE(device_->EstablishLink());
  EXPECT_EQ(App().modelIndex.load(), 9);
  auto tree = Tree();
  ASSERT_TRUE(device_->StartReadTask(*tree));
  WaitTaskEnd();
  EXPECT_EQ(tree->parameters[2]->value, "1500");  // the module reports its address
  EXPECT_EQ(tree->parameters[1]->note, "");
}

TEST_F(DeviceSimTest, TasksEndToEnd) {
  InitAfterWrite model;
  ASSERT_NO_FATAL_FAILURE(Start(Config(2)));
  ASSERT_TRUE(device_->EstablishLink());
  auto tree = Tree();

  ASSERT_TRUE(device_->StartReadTask(*tree));
  WaitTaskEnd();
  EXPECT_EQ(tree->parameters[0]->value, "a");
  EXPECT_EQ(tree->parameters[1]->value, "12345");
  EXPECT_EQ(tree->parameters[4]->value, "4095");
  EXPECT_EQ(tree->parameters[4]->editable, 0);
  EXPECT_EQ(tree->parameters[4]->owner, 1);

  ASSERT_TRUE(device_->StartCompareTask(*tree));
  EXPECT_EQ(device_->DifferenceCount(), 0);
  ASSERT_FALSE(prompter_.requests.empty());
  EXPECT_EQ(prompter_.requests.back().text, LoadString(kStrNoDifferences));

  // Write the changed value; the model asks for INIT after a write.
  model::SetCurrentDeviceModel(&model);
  tree->parameters[0]->value = "c";
  tree->parameters[0]->valueChanged = true;
  sim_->ClearRequests();
  ASSERT_TRUE(device_->StartWriteChangedTask(*tree));
  WaitTaskEnd();
  z580sim::Bytes stored;
  ASSERT_TRUE(sim_->GetValue("tYPE", 0, stored));
  EXPECT_EQ(stored, z580sim::Bytes{2});
  ASSERT_FALSE(sim_->Requests().empty());
  EXPECT_EQ(sim_->Requests().back().name, "INIT");
  EXPECT_TRUE(window_.Messages().empty());
  model::SetCurrentDeviceModel(nullptr);

  // Initial values, then one parameter each way.
  tree->parameters[0]->initialValue = "b";
  ASSERT_EQ(device_->StartInitTask(*tree), 1);
  WaitTaskEnd();
  ASSERT_TRUE(sim_->GetValue("tYPE", 0, stored));
  EXPECT_EQ(stored, z580sim::Bytes{1});

  Parameter type("tYPE");
  type.type = "a:b:c:d";
  ASSERT_TRUE(device_->StartReadOneTask(type));
  WaitTaskEnd();
  EXPECT_EQ(type.value, "b");
  type.value = "d";
  ASSERT_TRUE(device_->StartWriteOneTask(type));
  WaitTaskEnd();
  ASSERT_TRUE(sim_->GetValue("tYPE", 0, stored));
  EXPECT_EQ(stored, z580sim::Bytes{3});

  // The configuration now differs in one value.
  ASSERT_TRUE(device_->StartCompareTask(*tree));
  EXPECT_EQ(device_->DifferenceCount(), 1);
  EXPECT_EQ(tree->parameters[0]->note, "Знач-е в приборе: 'd',РедактируемыйПользователь");
  for (const auto& dialog : window_.Dialogs()) EXPECT_TRUE(dialog.ended);
}

TEST_F(DeviceSimTest, StopThreadsDuringATaskReturnsWithinOneResponseTimeOut) {
  ASSERT_NO_FATAL_FAILURE(Start(Config(2, 9600)));
  ASSERT_TRUE(device_->EstablishLink());
  device_->finishPauseMs = 2000;
  sim_->SetFault(z580sim::Fault::Silence, -1);
  sim_->ClearRequests();
  auto tree = Tree();

  Clock::duration stopTook{};
  std::thread stopper([&] {
    ASSERT_TRUE(sim_->WaitForRequests(1, 5000));
    const auto start = Clock::now();
    device_->StopThreads();
    stopTook = Clock::now() - start;
  });
  ASSERT_TRUE(device_->StartReadTask(*tree));
  stopper.join();
  EXPECT_LT(stopTook, std::chrono::milliseconds(device_->Port().responseTimeout));
  EXPECT_FALSE(device_->TransmitThreadRunning());
  ASSERT_FALSE(window_.Dialogs().empty());
  EXPECT_TRUE(window_.Dialogs().back().ended);
  // The walk stopped at the parameter whose exchange was cancelled.
  EXPECT_LE(sim_->Requests().size(), 2u);
  EXPECT_FALSE(device_->Port().CancelEvent().IsSet());

  // The next task starts the thread again.
  sim_->ClearFaults();
  device_->finishPauseMs = 0;
  ASSERT_TRUE(device_->StartReadTask(*tree));
  WaitTaskEnd();
  EXPECT_EQ(tree->parameters[1]->value, "12345");
}

}  // namespace
