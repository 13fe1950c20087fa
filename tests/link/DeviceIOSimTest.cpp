// The exchange through the real serial port against the simulated module on a
// pseudo-terminal.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "LinkTestSupport.h"
#include "SimLinkSettings.h"
#include "Simulator.h"
#include "link/DeviceIO.h"
#include "link/ResultFlags.h"
#include "model/Parameter.h"
#include "resources/StringTable.h"

using resources::LoadString;
using Clock = std::chrono::steady_clock;

namespace {

class DeviceIOSimTest : public LinkTestBase {
 protected:
  void Start(unsigned baud) {
    z580sim::SimConfig config;
    config.model = 2;
    config.line.baud = baud;
    sim_ = std::make_unique<z580sim::Simulator>(config);
    std::string error;
    ASSERT_TRUE(sim_->Start(&error)) << error;
    io_ = std::make_unique<DeviceIO>();
    z580sim::MatchPortSettings(io_->Settings(), *sim_);
    io_->ApplyPortSettings();
    ASSERT_EQ(io_->Port().Open(), 0);
  }
  void TearDown() override {
    io_.reset();
    if (sim_) sim_->Stop();
    LinkTestBase::TearDown();
  }

  std::unique_ptr<z580sim::Simulator> sim_;
  std::unique_ptr<DeviceIO> io_;
};

TEST_F(DeviceIOSimTest, ReadWriteAndAttributes) {
  Start(115200);
  Parameter dev("dev");
  ASSERT_EQ(io_->ExchangeParameter(1, &dev, nullptr, false), 0) << dev.note;
  EXPECT_EQ(dev.value, "ZD580-03");

  Parameter type("tYPE");
  type.type = "a:b:c:d";
  type.value = "c";
  ASSERT_EQ(io_->ExchangeParameter(0, &type, nullptr, false), 0) << type.note;
  z580sim::Bytes stored;
  ASSERT_TRUE(sim_->GetValue("tYPE", 0, stored));
  EXPECT_EQ(stored, z580sim::Bytes{2});
  type.value = "";
  ASSERT_EQ(io_->ExchangeParameter(1, &type, nullptr, false), 0);
  EXPECT_EQ(type.value, "c");

  // The maker's indexed coefficient: attributes read first, then the value by index.
  Parameter clb("CLB.K");
  clb.type = "int";
  clb.attributes = 1;
  clb.indexed = true;
  clb.linearIndex = 1;
  ASSERT_EQ(io_->ExchangeParameter(1, &clb, nullptr, false), 0) << clb.note;
  EXPECT_EQ(clb.editable, 0);
  EXPECT_EQ(clb.owner, 1);
  EXPECT_EQ(clb.value, "4095");
  const auto log = sim_->Requests();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2].name, "M.s.t.r.:CLB.K");  // the attributes of CLB.K
  EXPECT_EQ(log.back().name, "CLB.K");
}

TEST_F(DeviceIOSimTest, DeviceErrorAndSwitchBack) {
  Start(115200);
  Parameter serial("SEr.n");
  serial.type = "int";
  serial.value = "1";
  EXPECT_EQ(io_->ExchangeParameter(0, &serial, nullptr, false), 1);
  EXPECT_FALSE(serial.note.empty());
  EXPECT_EQ(App().resultFlags.load(), exchange::kResultDeviceError);

  sim_->SetFault(z580sim::Fault::DeviceError, 1, 0x47);
  Parameter dev("dev");
  EXPECT_EQ(io_->ExchangeParameter(1, &dev, nullptr, false), 1);
  EXPECT_EQ(dev.note, LoadString(253));

  // A module left in Modbus RTU answers the switch-back request.
  sim_->SetProtocol(z580sim::Protocol::ModbusRtu);
  exchange::SetProtocolSelector(exchange::kSelectorModbusRtu);
  EXPECT_EQ(io_->ExchangeParameter(1, nullptr, nullptr, false), 0);
  exchange::SetProtocolSelector(exchange::kSelectorOwnFrame);
  EXPECT_EQ(sim_->CurrentProtocol(), z580sim::Protocol::Own);
  EXPECT_EQ(io_->ExchangeParameter(1, &dev, nullptr, false), 0) << dev.note;
}

TEST_F(DeviceIOSimTest, SilentModuleTimesOutAfterOneRetry) {
  Start(115200);
  sim_->SetFault(z580sim::Fault::Silence, -1);
  sim_->ClearRequests();
  Parameter dev("dev");
  EXPECT_EQ(io_->ExchangeParameter(1, &dev, nullptr, false), 1);
  EXPECT_EQ(dev.note, LoadString(197));
  // The simulator logs a request once its reply is out; wait for the record.
  sim_->WaitForRequests(2u, 1000);
  EXPECT_EQ(sim_->Requests().size(), 2u);
  EXPECT_EQ(App().resultFlags.load(), exchange::kResultExchangeError);
}

TEST_F(DeviceIOSimTest, CancelFromAnotherThreadEndsTheTransactionAtOnce) {
  Start(2400);  // a response time-out of 460 ms
  sim_->SetFault(z580sim::Fault::Silence, -1);
  sim_->ClearRequests();
  std::atomic<bool> done{false};
  Clock::time_point ended;
  int result = 0;
  Parameter dev("dev");
  std::thread reader([&] {
    result = io_->ExchangeParameter(1, &dev, nullptr, false);
    ended = Clock::now();
    done = true;
  });
  ASSERT_TRUE(sim_->WaitForRequests(1, 2000));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const Clock::time_point cancelled = Clock::now();
  io_->Port().CancelEvent().Set();
  reader.join();
  EXPECT_EQ(result, -1);
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(ended - cancelled).count(), 50);
  // The simulator logs a request once its reply is out; wait for the record.
  sim_->WaitForRequests(1u, 1000);
  EXPECT_EQ(sim_->Requests().size(), 1u);
  EXPECT_EQ(App().resultFlags.load(), 0u);
  io_->Port().CancelEvent().Reset();
}

TEST_F(DeviceIOSimTest, HangUpIsALineError) {
  Start(115200);
  sim_->HangUp();
  Parameter dev("dev");
  EXPECT_EQ(io_->ExchangeParameter(1, &dev, nullptr, false), 1);
  EXPECT_EQ(dev.note, LoadString(425));
  EXPECT_EQ(App().resultFlags.load(), exchange::kResultNoUsableReply);
}

}  // namespace
