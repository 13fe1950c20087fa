// Exchanges through the real serial port with a simulated module on a bus that
// misbehaves as real ones do: replies twice or late, another module or another
// index answering the same name, a converter that echoes, noise before a reply.
// Whatever comes, no read may show a value of another address, index or exchange,
// no write the module refused is done, and no refusal fails another request.
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
#include "support/SimModule.h"
#include "link/ConnectAttempt.h"
#include "link/DeviceErrors.h"
#include "link/Device.h"
#include "link/DeviceIO.h"
#include "link/PollWindow.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "resources/StringTable.h"

namespace {

// Model 8 answers the calibration coefficients 1 to 4 as 1.125, 1.25, 1.375, 1.5
// ("CLB.G", its answer led by the coefficient's number).
constexpr int kCalibrationModel = 8;
constexpr int kIndex = 1;  // of "CHAr", exchanged back to back
constexpr uint8_t kKept = 5;
constexpr uint8_t kRefused = 6;

// Model 14 answers "rEAd" at four addresses (its channels) and has the indexed
// "CHAr" (indexes 0 to 3); every slot holds a value of its own.
constexpr int kModel = 14;
constexpr int kSlots = 4;
std::string CharValue(int index) { return std::to_string(10 + index); }
std::string ReadValue(int channel) { return std::to_string(20 + channel); }

class MisbehavingBusTest : public LinkTestBase {
 protected:
  void TearDown() override {
    device_.reset();
    if (sim_) sim_->Stop();
    LinkTestBase::TearDown();
  }

  // The module with `faults` applied before the link opens its port.
  void Start(unsigned baud, const std::vector<std::string>& faults, int model = kModel) {
    z580sim::SimConfig config;
    config.model = model;
    config.line.baud = baud;
    config.logLimit = 0;
    ASSERT_NO_FATAL_FAILURE(testsupport::StartSimModule(sim_, config, testsupport::SimTable::BuiltIn,
                                                        [&](z580sim::Simulator& sim) {
      for (int i = 0; i < kSlots && model == kModel; ++i) {
        ASSERT_TRUE(sim.SetValue("CHAr", i, {static_cast<uint8_t>(10 + i)}));
        ASSERT_TRUE(sim.SetValue("rEAd", i, {0, 0, 0, static_cast<uint8_t>(20 + i)}));
      }
      if (model != kModel) {
        ASSERT_TRUE(sim.SetValue("CHAr", kIndex, {kKept}));
      }
      for (const std::string& fault : faults) {
        std::string error;
        ASSERT_TRUE(z580sim::ApplyFaultCommand(sim, fault, &error)) << error;
      }
    }));
    device_ = std::make_unique<Device>();
    z580sim::MatchPortSettings(device_->Settings(), *sim_);
    device_->ApplyPortSettings();
    ASSERT_EQ(device_->Port().Open(), 0);
  }

  struct Tally {
    int wrong = 0;        // a value of another address, index or exchange
    int stale = 0;        // a reading of what the module held before it was asked
    int failed = 0;
    int refusedDone = 0;  // a write the module refused reported done
    int misplacedRefusals = 0;  // a read failed with a write's refusal
    std::string example;
    void Wrong(const std::string& what) {
      if (wrong++ == 0) example = what;
    }
  };

  // Writes `value` to the index of "CHAr", or reads it (-1); the link's result.
  int ExchangeChar(int value, Parameter& p) {
    p.type = "int";
    p.indexed = true;
    p.linearIndex = kIndex;
    p.value = std::to_string(value);
    return device_->ExchangeParameter(value < 0 ? 1 : 0, &p, nullptr, false);
  }

  // One parameter exchanged back to back, `runs` times over: read, then a write the
  // module refuses, a write it takes, the refused one again, a read, and the four
  // coefficients. The write after a refusal is left out of the failures: a refusal
  // sent twice may fail it, as it names no request.
  Tally BackToBack(int runs) {
    Tally tally;
    std::string refusal;  // the module's text of its refusal, code 0x37
    const uint8_t code = 0x37;
    DeviceErrorText(&code, 1, refusal);
    auto once = [&](int value) {
      Parameter p("CHAr");
      const int result = ExchangeChar(value, p);
      if (value == kRefused) tally.refusedDone += result == 0 ? 1 : 0;
      else if (value < 0 && result != 0) ++(p.note == refusal ? tally.misplacedRefusals : tally.failed);
      if (result == 0 && p.value != std::to_string(kKept)) tally.Wrong(p.name + " " + p.value);
    };
    for (int run = 0; run < runs; ++run) {
      for (int value : {-1, int{kRefused}, int{kKept}, int{kRefused}, -1}) once(value);
      for (uint8_t n = 1; n <= 4; ++n) {
        uint8_t data[exchange::kMaxDataLength] = {};
        uint8_t length = 0;
        std::string text;
        ReplyShape shape;
        shape.echoedHead = 1;  // the answer starts with the coefficient's number
        if (device_->TransactFrame(1, Parameter::HashOfName("CLB.G"), &n, 1, data, length, text, 0, shape) != 1)
          ++tally.failed;
        else if (length != 5 || data[0] != n || data[1] != 0x3F || data[2] != 0x80 + 0x10 * n)
          tally.Wrong("coefficient " + std::to_string(n) + " came as " + std::to_string(data[0]));
      }
    }
    return tally;
  }

  // Two accepted values, 30 and 12 (stored as `stored12`), and a refused one written
  // back to back, then `reads` reads while the module's value changes ("set" before
  // each).
  Tally WriteAndFollow(int runs, int stored12, int reads) {
    Tally tally;
    auto exchange = [&](int value) {
      Parameter p("CHAr");
      const int result = ExchangeChar(value, p);
      if (result != 0 && value != kRefused) ++tally.failed;
      return result == 0 ? p.value : std::string();
    };
    for (int run = 0; run < runs; ++run) {
      for (int value : {30, 12, int{kRefused}}) {
        const std::string shown = exchange(value);
        if (value == kRefused) tally.refusedDone += shown.empty() ? 0 : 1;
        else if (!shown.empty() && shown != std::to_string(value == 12 ? stored12 : value)) tally.Wrong(shown);
      }
      for (int k = 0; k < reads; ++k) {
        const std::string now = std::to_string(40 + 3 * run + k);
        std::string error;
        EXPECT_TRUE(z580sim::ApplyFaultCommand(*sim_, "set CHAr " + std::to_string(kIndex) + " " + now, &error))
            << error;
        const std::string shown = exchange(-1);
        if (!shown.empty() && shown != now) ++tally.stale;
      }
    }
    return tally;
  }

  // Reads the index of "CHAr" and the channel of a polled "rEAd" in turn, each
  // slot round robin, and counts values of another slot.
  Tally ReadAround(int reads) {
    std::vector<std::unique_ptr<Parameter>> chars, channels;
    for (int i = 0; i < kSlots; ++i) {
      auto c = std::make_unique<Parameter>("CHAr");
      c->type = "int";
      c->indexed = true;
      c->linearIndex = i;
      chars.push_back(std::move(c));
      auto r = std::make_unique<Parameter>("rEAd");
      r->type = "int";
      r->linearIndex = i;  // polling reads it at that channel
      r->pollPeriod = 100;
      r->PreparePolling();
      channels.push_back(std::move(r));
    }
    Tally tally;
    for (int n = 0; n < reads; ++n) {
      const int slot = (n / 2) % kSlots;
      Parameter& p = n % 2 == 0 ? *chars[slot] : *channels[slot];
      const std::string expected = n % 2 == 0 ? CharValue(slot) : ReadValue(slot);
      p.value.clear();
      if (device_->ExchangeParameter(1, &p, nullptr, false) != 0) {
        ++tally.failed;
      } else if (p.value != expected) {
        tally.Wrong(p.name + " slot " + std::to_string(slot) + ": " + p.value);
      }
    }
    return tally;
  }

  std::unique_ptr<z580sim::Simulator> sim_;
  std::unique_ptr<Device> device_;
};

TEST_F(MisbehavingBusTest, NoExchangeTakesTheReplyOfAnotherAddressIndexOrExchange) {
  // Reads that may fail: none, where a retry always gets the answer; a bound where a
  // busy machine can push an answer past the retry; any number where every answer
  // comes after the time-out.
  constexpr int kAny = 1 << 30;
  enum class Run { Around, BackToBack, WriteAndFollow };
  struct Case {
    std::vector<std::string> faults;
    int runs;
    int failuresAllowed;
    Run run = Run::Around;
    int responseTimeout = 0;  // ms; 0: as the port sets it
    unsigned onlyAt = 0;      // a rate; 0: both
    int stored12 = 12;        // what the module stores for 12
    // Reads of a changing value after the writes. None behind a valid copy of each
    // reply: one that lands after the next request is that read's answer as far as
    // the protocol tells.
    int changingReads = 3;
  } cases[] = {
      {{"twice all"}, 2000, 0},
      {{"twice all after 2"}, 600, 0},
      // Longer than the response time-out at both rates: the late answer comes into
      // the retry, the answer to the retry into the next request. The retry waits
      // until about twice the time-out after the request (2 x 160 ms at 115200, 2 x
      // 220 ms at 9600): 70 ms or more to spare, which a loaded machine may use up.
      // Then that read fails, but no more of them than answers were late (1 in 40).
      {{"late 250 all every 40"}, 240, 240 / 40},
      {{"other-address before all"}, 1000, 0},
      {{"other-address after all"}, 1000, 0},
      {{"other-index before all"}, 1000, 0},
      {{"other-index after all"}, 1000, 0},
      // The module answers a few milliseconds after the echo of the request.
      {{"echo", "delay 3"}, 400, 0},
      {{"noise all every 3"}, 1000, 0},
      // The same parameter back to back behind a reply that comes twice (the copy at
      // once, 2 or 20 ms later) or later than the response time-out: the copy or the
      // late answer of one exchange arrives while the next one waits.
      {{"refuse 6", "twice all"}, 60, 0, Run::BackToBack},
      {{"refuse 6", "twice all after 2"}, 60, 0, Run::BackToBack},
      {{"refuse 6", "twice all after 20"}, 40, 0, Run::BackToBack},
      {{"refuse 6", "late 200 all"}, 2, kAny, Run::BackToBack, 160},
      // Every answer later than both tries (160 ms each at 115200, 220 ms at 9600):
      // every exchange fails, and none takes what the module owes an earlier one.
      {{"refuse 6", "late 400 all"}, 2, kAny, Run::WriteAndFollow, 0, 115200},
      {{"refuse 6", "late 500 all"}, 2, kAny, Run::WriteAndFollow, 0, 9600},
      // A corrupted copy of each reply 2 ms after it: the next exchange's answer
      // follows it.
      {{"refuse 6", "twice-bad all after 2"}, 10, 0, Run::WriteAndFollow},
      // A module that stores 10 for 12, each reply sent again 20 ms later: the
      // copy of 30 comes before the acknowledgement of 10; the refusal's copy may
      // fail the write after it, as a refusal names no request.
      {{"refuse 6", "round 5", "twice all after 20"}, 6, 6, Run::WriteAndFollow, 0, 0, 10, 0},
      // Each answer comes with the next request: every write's answer is its own.
      {{"refuse 6", "behind all"}, 3, kAny, Run::BackToBack},
  };
  for (unsigned baud : {9600u, 115200u}) {
    for (const Case& c : cases) {
      const std::string what = c.faults.front() + (c.faults.size() > 1 ? ", " + c.faults.back() : "") + " at " +
                               std::to_string(baud);
      if (c.onlyAt != 0 && c.onlyAt != baud) continue;
      SCOPED_TRACE(what);
      ASSERT_NO_FATAL_FAILURE(Start(baud, c.faults, c.run != Run::Around ? kCalibrationModel : kModel));
      if (c.responseTimeout > 0) device_->Port().responseTimeout = static_cast<uint16_t>(c.responseTimeout);
      const Tally tally = c.run == Run::BackToBack       ? BackToBack(c.runs)
                          : c.run == Run::WriteAndFollow ? WriteAndFollow(c.runs, c.stored12, c.changingReads)
                                                         : ReadAround(c.runs);
      EXPECT_EQ(tally.wrong, 0) << "first: " << tally.example;
      EXPECT_EQ(tally.stale, 0);
      EXPECT_EQ(tally.refusedDone, 0);
      EXPECT_EQ(tally.misplacedRefusals, 0);
      EXPECT_LE(tally.failed, c.failuresAllowed);
      device_.reset();
      sim_->Stop();
      sim_.reset();
    }
  }
}

class QuietWindow : public exchange::PollWindow {
 public:
  QuietWindow() { exchange::SetPollWindow(this); }
  ~QuietWindow() override { exchange::SetPollWindow(nullptr); }
  void PostPollResults() override {}
};

// The polling thread on the four channels of "rEAd": every record it delivers
// carries its own channel's value or an error, never a neighbour's.
TEST_F(MisbehavingBusTest, NoPollShowsAValueOfAnotherChannel) {
  struct Case {
    std::string fault;
    int polls;
  } cases[] = {
      {"late 250 all every 25", 100},
      {"twice all after 1", 300},
      {"other-address after all", 400},
  };
  for (unsigned baud : {9600u, 115200u}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.fault + " at " + std::to_string(baud));
      ASSERT_NO_FATAL_FAILURE(Start(baud, {c.fault}));
      QuietWindow window;
      DescBranch branch;
      branch.elementName = "scanners";
      for (int i = 0; i < kSlots; ++i) {
        Parameter& p = branch.AddParameter(std::make_unique<Parameter>("rEAd"));
        p.type = "int";
        p.linearIndex = i;
        p.pollPeriod = 2;
        p.PreparePolling();
      }
      device_->lowScanPriority = false;  // the count of polls, not their priority, is under test
      ASSERT_EQ(device_->StartScanThread(branch), 0);
      for (auto& p : branch.parameters) p->StartPolling();
      int polls = 0, wrong = 0, failed = 0;
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (polls < c.polls && std::chrono::steady_clock::now() < end) {
        const auto record = App().pollResults.PopFront();
        if (!record) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
          continue;
        }
        ++polls;
        if (!record->error.empty()) ++failed;
        else if (record->value != ReadValue(record->index)) ++wrong;
      }
      device_->StopThreads();
      App().pollResults.Flush();
      EXPECT_EQ(polls, c.polls);
      EXPECT_EQ(wrong, 0);
      EXPECT_LT(failed, polls / 4);
      device_.reset();
      sim_->Stop();
      sim_.reset();
    }
  }
}

// On a converter that echoes, a refused write fails with the module's reason and an
// accepted one is done only on the module's answer; a connection that gets nothing
// but the echo says so.
TEST_F(MisbehavingBusTest, EchoingLineNeverPassesForTheModule) {
  ASSERT_NO_FATAL_FAILURE(Start(115200, {"echo"}));
  Parameter dev("dev");
  ASSERT_EQ(device_->ExchangeParameter(1, &dev, nullptr, false), 0) << dev.note;
  EXPECT_EQ(dev.value, "zd580-14");

  Parameter serial("SEr.n");  // read-only: the module refuses
  serial.type = "int";
  serial.value = "7";
  EXPECT_EQ(device_->ExchangeParameter(0, &serial, nullptr, false), 1);
  EXPECT_EQ(serial.note, resources::LoadString(kStrDeviceErrorRomWrite));

  Parameter type("tYPE");
  type.type = "a:b:c:d";
  type.value = "c";
  ASSERT_EQ(device_->ExchangeParameter(0, &type, nullptr, false), 0) << type.note;
  z580sim::Bytes stored;
  ASSERT_TRUE(sim_->GetValue("tYPE", 0, stored));
  EXPECT_EQ(stored, z580sim::Bytes{2});

  sim_->SetFault(z580sim::Fault::Silence, -1);
  device_->ResetTally();
  EXPECT_EQ(device_->IdentifyDevice(false), 0);
  const std::string reason = exchange::ConnectFailureReason({device_->LastAttempt()});
  EXPECT_NE(reason.find("эхо"), std::string::npos) << reason;

  // A new link on a converter that echoes with no module behind it: connecting, with
  // the switch-back requests of every framing, hears only itself and says so.
  device_.reset();
  ASSERT_NO_FATAL_FAILURE(Start(115200, {"echo", "silence"}));
  device_->Port().Close();
  EXPECT_FALSE(device_->EstablishLink(false));
  const exchange::ConnectAttempt attempt = device_->LastAttempt();
  EXPECT_EQ(attempt.tally.answered, 0);
  EXPECT_EQ(attempt.tally.Protocols(), 0xFu);
  const std::string connectReason = exchange::ConnectFailureReason({attempt});
  EXPECT_EQ(connectReason.rfind("Линия возвращает программе её же запросы", 0), 0u) << connectReason;
}

}  // namespace
