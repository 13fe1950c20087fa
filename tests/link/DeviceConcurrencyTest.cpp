// Frames of several threads against what the window thread changes under them: a
// reopen of the port and a new device model. Also run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LinkTestSupport.h"
#include "link/Device.h"
#include "link/ResultFlags.h"
#include "model/Parameter.h"
#include "resources/StringTable.h"
#include "support/FakePort.h"

namespace {

uint16_t Hash(const char* name) { return Parameter::HashOfName(name); }

class DeviceConcurrencyTest : public LinkTestBase {
 protected:
  void SetUp() override {
    LinkTestBase::SetUp();
    device_ = std::make_unique<Device>();
    device_->ReplacePort(std::unique_ptr<FakePort>(port_ = new FakePort));
    port_->values[{Hash("Addr"), 0}] = {0, 1};
  }
  void TearDown() override {
    device_.reset();
    LinkTestBase::TearDown();
  }

  // Runs `frames` on `threads` threads while `change` runs on this one until they end.
  static void WhileFramesRun(int threads, const std::function<void()>& frames, const std::function<void()>& change) {
    std::atomic<int> running{threads};
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; ++i)
      workers.emplace_back([&] {
        frames();
        --running;
      });
    while (running > 0) change();
    for (auto& w : workers) w.join();
  }

  std::unique_ptr<Device> device_;
  FakePort* port_ = nullptr;
};

TEST_F(DeviceConcurrencyTest, AFrameNeverMeetsAClosedPortWithoutItsReason) {
  // A closed port: the port-open error text and flags 8, not the silence of a cancel.
  port_->open = false;
  uint8_t out[exchange::kMaxDataLength];
  uint8_t length = 0;
  std::string error;
  EXPECT_EQ(device_->TransactFrame(1, Hash("Addr"), nullptr, 0, out, length, error, 0, {}), 0);
  EXPECT_EQ(error, resources::LoadString(kStrPortOpenError));
  EXPECT_EQ(App().resultFlags.load(), exchange::kResultNoUsableReply);
  EXPECT_TRUE(port_->requests.empty());
  port_->open = true;
  App().resultFlags = 0;

  // Frames of other threads while the port is reopened again and again: each one
  // runs on an open port, before or after a reopen.
  std::atomic<int> failed{0};
  std::string firstError;
  WhileFramesRun(
      3,
      [&] {
        for (int i = 0; i < 300; ++i) {
          uint8_t n = 0;
          std::string text;
          if (device_->TransactFrame(1, Hash("Addr"), nullptr, 0, nullptr, n, text, 0, {}) != 1 && failed++ == 0)
            firstError = "'" + text + "'";
        }
      },
      [&] { EXPECT_EQ(device_->OpenPort(false), 0); });
  EXPECT_EQ(failed.load(), 0) << firstError;
  EXPECT_EQ(port_->requests.size(), 900u);
  EXPECT_EQ(App().resultFlags.load(), 0u);
}

TEST_F(DeviceConcurrencyTest, TheDeviceModelIsReplacedWhileFramesRun) {
  WhileFramesRun(
      3,
      [&] {
        Parameter p("Addr");
        p.type = "int";
        p.value = "1";
        for (int i = 0; i < 200; ++i) {
          // "APLY" asks the model whether a reply comes, the settings whether the line
          // carries 8 bits, a write whether it changes the network settings.
          uint8_t n = 0;
          std::string text;
          device_->TransactFrame(0, exchange::kHashAPLY, nullptr, 0, nullptr, n, text, 0, {});
          device_->ApplyPortSettings();
          device_->WriteParameter(p, 1);
        }
      },
      [&] { App().SetDeviceModel(std::make_unique<TestModel>()); });
  App().SetDeviceModel(nullptr);
  EXPECT_EQ(model::CurrentDeviceModel(), nullptr);
}

}  // namespace
