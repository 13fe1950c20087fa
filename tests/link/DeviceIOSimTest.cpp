// The exchange through the real serial port against the simulated module on a
// pseudo-terminal.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LinkTestSupport.h"
#include "SimLinkSettings.h"
#include "Simulator.h"
#include "link/DeviceIO.h"
#include "link/ResultFlags.h"
#include "model/Parameter.h"
#include "resources/StringTable.h"
#include "support/FakePort.h"
#include "support/SimModule.h"

using resources::LoadString;
using Clock = std::chrono::steady_clock;

namespace {

class DeviceIOSimTest : public LinkTestBase {
 protected:
  void Start(unsigned baud) {
    z580sim::SimConfig config;
    config.model = 2;
    config.line.baud = baud;
    ASSERT_NO_FATAL_FAILURE(testsupport::StartSimModule(sim_, config));
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
  ASSERT_NO_FATAL_FAILURE(Start(115200));
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
  ASSERT_NO_FATAL_FAILURE(Start(115200));
  Parameter serial("SEr.n");
  serial.type = "int";
  serial.value = "1";
  EXPECT_EQ(io_->ExchangeParameter(0, &serial, nullptr, false), 1);
  EXPECT_FALSE(serial.note.empty());
  EXPECT_EQ(App().resultFlags.load(), exchange::kResultDeviceError);

  sim_->SetFault(z580sim::Fault::DeviceError, 1, 0x47);
  Parameter dev("dev");
  EXPECT_EQ(io_->ExchangeParameter(1, &dev, nullptr, false), 1);
  EXPECT_EQ(dev.note, LoadString(kStrDeviceErrorInvalidCombination));

  // A module left in Modbus RTU answers the switch-back request.
  sim_->SetProtocol(z580sim::Protocol::ModbusRtu);
  exchange::SetProtocolSelector(exchange::kSelectorModbusRtu);
  EXPECT_EQ(io_->ExchangeParameter(1, nullptr, nullptr, false), 0);
  exchange::SetProtocolSelector(exchange::kSelectorOwnFrame);
  EXPECT_EQ(sim_->CurrentProtocol(), z580sim::Protocol::Own);
  EXPECT_EQ(io_->ExchangeParameter(1, &dev, nullptr, false), 0) << dev.note;
}

TEST_F(DeviceIOSimTest, SilentModuleTimesOutAfterOneRetry) {
  ASSERT_NO_FATAL_FAILURE(Start(115200));
  sim_->SetFault(z580sim::Fault::Silence, -1);
  sim_->ClearRequests();
  Parameter dev("dev");
  EXPECT_EQ(io_->ExchangeParameter(1, &dev, nullptr, false), 1);
  EXPECT_EQ(dev.note, LoadString(kStrTimeOut));
  // The simulator logs a request once its reply is out; wait for the record.
  sim_->WaitForRequests(2u, 1000);
  EXPECT_EQ(sim_->Requests().size(), 2u);
  EXPECT_EQ(App().resultFlags.load(), exchange::kResultExchangeError);
}

TEST_F(DeviceIOSimTest, CancelFromAnotherThreadEndsTheTransactionAtOnce) {
  ASSERT_NO_FATAL_FAILURE(Start(2400));  // a response time-out of 460 ms
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

// A converter pulled out (the line hangs up, its device goes) and plugged in again
// under the same path: every exchange says so until the port is back, then the
// next one opens it again by its path and works.
TEST_F(DeviceIOSimTest, APulledConverterIsNamedAndTheNextExchangeOpensItAgain) {
  ASSERT_NO_FATAL_FAILURE(Start(115200));
  const std::string path = ::testing::TempDir() + "z580-converter-" + std::to_string(::getpid());
  ::unlink(path.c_str());
  ASSERT_EQ(::symlink(sim_->SlavePath().c_str(), path.c_str()), 0);
  io_->Port().portName = path;
  ASSERT_EQ(io_->Port().Open(), 0);
  sim_->HangUp();
  for (int i = 0; i < 2; ++i) {
    Parameter dev("dev");
    EXPECT_EQ(io_->ExchangeParameter(1, &dev, nullptr, false), 1);
    EXPECT_EQ(dev.note, LoadString(kStrPortGone));
  }
  EXPECT_EQ(App().resultFlags.load(), exchange::kResultNoUsableReply);
  EXPECT_EQ(io_->Tally().vanished, 2);

  z580sim::SimConfig config;
  config.model = 2;
  config.line.baud = 115200;
  std::unique_ptr<z580sim::Simulator> back;
  ASSERT_NO_FATAL_FAILURE(testsupport::StartSimModule(back, config));
  ::unlink(path.c_str());
  ASSERT_EQ(::symlink(back->SlavePath().c_str(), path.c_str()), 0);
  Parameter dev("dev");
  EXPECT_EQ(io_->ExchangeParameter(1, &dev, nullptr, false), 0) << dev.note;
  EXPECT_EQ(dev.value, "ZD580-03");
  EXPECT_FALSE(io_->Port().Vanished());
  io_.reset();
  back->Stop();
  ::unlink(path.c_str());
}

// Right after a whole reply (its value or its error code, also when another name's
// or another address's reply came before it) the next frame goes out
// without a purge; a stray byte that came in between garbles that frame's reply,
// which is sent again and never taken for the answer. After a garbled reply the
// purge stays and the stray byte is gone before the request.
class DeviceIOPurgeTest : public LinkTestBase {};

TEST_F(DeviceIOPurgeTest, AStrayByteAfterAReplyIsNeverTakenForTheNextAnswer) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string slave = ::ptsname(master);
  const uint16_t hash = Parameter::HashOfName("dev");
  const std::string good = FakePort::ReplyText(16, hash, {0, 7}, 0, true);
  std::string badCrc = FakePort::ReplyText(16, hash, {0, 5}, 0, true);
  badCrc[badCrc.size() - 2] = badCrc[badCrc.size() - 2] == 'V' ? 'U' : static_cast<char>(badCrc[badCrc.size() - 2] + 1);
  struct Case {
    const char* name;
    std::string first;
    int firstResult;       // TransactFrame: 1 success, 0 failure
    size_t secondSends;    // requests the second frame takes
  } cases[] = {
      {"value", FakePort::ReplyText(16, hash, {0, 5}, 0, true), 1, 2},
      {"error code", FakePort::ReplyText(16, exchange::kHashNErr, {31}, 0, true), 0, 2},
      // A broken frame (a corrupted copy of an earlier reply) is passed over.
      {"bad checksum, then the value", badCrc + FakePort::ReplyText(16, hash, {0, 5}, 0, true), 1, 2},
      {"another name, then the value",
       FakePort::ReplyText(16, static_cast<uint16_t>(hash ^ 0x1111), {0, 5}, 0, true) +
           FakePort::ReplyText(16, hash, {0, 5}, 0, true),
       1, 2},
      {"another address, then the value",
       FakePort::ReplyText(17, hash, {0, 6}, 0, true) + FakePort::ReplyText(16, hash, {0, 5}, 0, true), 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeviceIO io;
    io.Port().portName = slave;
    io.Port().baudRate = 110;  // a character time of 91 ms: the test acts well within it
    io.Port().moduleAddress = 16;
    ASSERT_EQ(io.Port().Open(), 0);
    io.Port().responseTimeout = 5000;
    // The module: the case's reply to the first request, the good one to the others.
    std::atomic<size_t> requests{0};
    std::atomic<bool> stop{false};
    std::atomic<Clock::rep> replied{0}, asked{0};
    std::thread module([&] {
      std::string pending;
      while (!stop) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 10) != 1) continue;
        char buffer[64];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) continue;
        pending.append(buffer, static_cast<size_t>(n));
        for (size_t end; (end = pending.find('\r')) != std::string::npos;) {
          pending.erase(0, end + 1);
          const size_t number = requests++;
          if (number == 0) replied = Clock::now().time_since_epoch().count();
          if (number == 1) asked = Clock::now().time_since_epoch().count();
          const std::string& reply = number == 0 ? c.first : good;
          EXPECT_EQ(::write(master, reply.data(), reply.size()), static_cast<ssize_t>(reply.size()));
        }
      }
    });
    uint8_t data[exchange::kMaxDataLength] = {};
    uint8_t length = 0;
    std::string text;
    EXPECT_EQ(io.TransactFrame(1, hash, nullptr, 0, data, length, text, 0, {}), c.firstResult);
    const auto firstDone = Clock::now();
    // Line noise, in the port's input queue before the next request goes out.
    EXPECT_EQ(::write(master, "\xFF", 1), 1);
    const int probe = ::open(slave.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    int queued = 0;
    for (auto until = Clock::now() + std::chrono::seconds(2); probe >= 0 && queued < 1 && Clock::now() < until;)
      ::ioctl(probe, FIONREAD, &queued);
    if (probe >= 0) ::close(probe);
    EXPECT_GE(queued, 1);
    const auto secondSent = Clock::now();
    EXPECT_EQ(io.TransactFrame(1, hash, nullptr, 0, data, length, text, 0, {}), 1) << text;
    EXPECT_EQ(std::vector<uint8_t>(data, data + length), (std::vector<uint8_t>{0, 7}));
    // The port saw a gap between these bounds; past a character time (a loaded
    // machine) the purge rightly stays and the stray byte costs no second send.
    const auto at = [](Clock::rep ticks) { return Clock::time_point(Clock::duration(ticks)); };
    const double gapAtLeast = std::chrono::duration<double, std::milli>(secondSent - firstDone).count();
    const double gapAtMost = std::chrono::duration<double, std::milli>(at(asked) - at(replied)).count();
    if (c.secondSends == 1 || gapAtLeast >= io.Port().characterTime)
      EXPECT_EQ(requests.load(), 2u);
    else if (gapAtMost < io.Port().characterTime)
      EXPECT_EQ(requests.load(), 1 + c.secondSends);
    else
      EXPECT_GE(requests.load(), 2u);
    stop = true;
    module.join();
  }
  ::close(master);
}

}  // namespace
