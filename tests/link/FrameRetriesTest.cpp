#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "link/AlternateFraming.h"
#include "link/ExchangeFrame.h"

using namespace exchange;

namespace {

const uint16_t kHashAddr = 0x9F62;

// A port that answers from a script: one (port result, reply characters) per
// transaction, the last one repeated once the script runs out.
struct ScriptedPort {
  struct Step {
    int result;
    std::string reply;
  };
  std::deque<Step> script;
  std::vector<std::string> requests;

  FrameTransport Transport() {
    return [this](const uint8_t* request, int length, uint8_t* reply, int& count) {
      requests.emplace_back(reinterpret_cast<const char*>(request), static_cast<size_t>(length));
      const Step step = script.front();
      if (script.size() > 1) script.pop_front();
      count = static_cast<int>(std::min<size_t>(step.reply.size(), kMaxReplyChars));
      std::memcpy(reply, step.reply.data(), static_cast<size_t>(count));
      return step.result;
    };
  }
};

std::string GoodReply(uint16_t hash, std::vector<uint8_t> data) {
  return EncodeRequest(0, hash, data.data(), static_cast<int>(data.size()), {8, 1, 0});
}

}  // namespace

TEST(FrameRetries, AttemptsPerOutcome) {
  const std::string request = EncodeRequest(1, kHashAddr, nullptr, 0, {8, 1, 0});
  struct Case {
    ScriptedPort::Step step;
    FrameOutcome outcome;
    int attempts;
  } cases[] = {
      {{2, ""}, FrameOutcome::TimeOut, 2},
      {{3, ""}, FrameOutcome::LineError, 17},
      {{0, "garbage"}, FrameOutcome::LostStart, 11},
      {{0, ""}, FrameOutcome::LostStart, 11},
      {{-1, ""}, FrameOutcome::Cancelled, 1},
      {{0, "#\r"}, FrameOutcome::BadChecksum, 1},
      {{0, GoodReply(0x00E9, {1})}, FrameOutcome::ForeignHash, 1},
      {{0, GoodReply(kHashNErr, {0x47})}, FrameOutcome::DeviceError, 1},
      {{0, GoodReply(kHashAddr, {1, 2})}, FrameOutcome::Success, 1},
  };
  for (const auto& c : cases) {
    ScriptedPort port;
    port.script = {c.step};
    int attempts = 0;
    const FrameReply reply = TransactWithRetries(request, kHashAddr, false, port.Transport(), &attempts);
    EXPECT_EQ(reply.outcome, c.outcome) << c.step.reply;
    EXPECT_EQ(attempts, c.attempts) << c.step.reply;
    for (const auto& sent : port.requests) EXPECT_EQ(sent, request);
  }
}

TEST(FrameRetries, CountersAreKeptPerOutcome) {
  ScriptedPort port;
  port.script.push_back({2, ""});
  for (int i = 0; i < 16; ++i) port.script.push_back({3, ""});
  for (int i = 0; i < 10; ++i) port.script.push_back({0, "x"});
  port.script.push_back({0, GoodReply(kHashAddr, {7})});
  int attempts = 0;
  FrameReply reply = TransactWithRetries("#req\r", kHashAddr, false, port.Transport(), &attempts);
  EXPECT_EQ(reply.outcome, FrameOutcome::Success);
  EXPECT_EQ(attempts, 28);
  EXPECT_EQ(reply.dataLength, 1);

  // The second time-out ends the frame even after other retries in between.
  port = {};
  port.script = {{2, ""}, {3, ""}, {0, "x"}, {2, ""}, {0, GoodReply(kHashAddr, {})}};
  reply = TransactWithRetries("#req\r", kHashAddr, false, port.Transport(), &attempts);
  EXPECT_EQ(reply.outcome, FrameOutcome::TimeOut);
  EXPECT_EQ(attempts, 4);
}

TEST(FrameRetries, IgnoredReplySucceedsAfterOneTransaction) {
  ScriptedPort port;
  port.script = {{2, ""}};
  int attempts = 0;
  const FrameReply reply = TransactWithRetries("#req\r", kHashAPLY, true, port.Transport(), &attempts);
  EXPECT_EQ(reply.outcome, FrameOutcome::Success);
  EXPECT_EQ(reply.dataLength, 0);
  EXPECT_EQ(attempts, 1);
}

TEST(AlternateRetries, ResultsAndAttempts) {
  const auto coil = SwitchBackRequest(kSelectorModbusRtu);
  const auto wire = BuildAlternateRequest(kSelectorModbusRtu, 16, coil.data(), coil.size());
  const std::string echo(wire.begin(), wire.end());
  struct Case {
    ScriptedPort::Step step;
    int result;
    int attempts;
  } cases[] = {
      {{2, ""}, 2, 2},
      {{3, ""}, 3, 17},
      {{-1, ""}, -1, 1},
      {{0, ""}, 4, 1},
      {{0, echo}, 0, 1},
  };
  for (const auto& c : cases) {
    ScriptedPort port;
    port.script = {c.step};
    std::vector<uint8_t> data{0xEE};
    int attempts = 0;
    EXPECT_EQ(TransactAlternateWithRetries(kSelectorModbusRtu, 8, 16, coil.data(), coil.size(),
                                           port.Transport(), data, &attempts),
              c.result);
    EXPECT_EQ(attempts, c.attempts);
    EXPECT_EQ(data, c.result == 0 ? coil : std::vector<uint8_t>{});
    ASSERT_FALSE(port.requests.empty());
    EXPECT_EQ(port.requests.front(), echo);
  }

  ScriptedPort port;
  port.script = {{0, echo}};
  std::vector<uint8_t> data;
  int attempts = -5;
  EXPECT_EQ(TransactAlternateWithRetries(kSelectorModbusRtu, 11, 16, coil.data(), coil.size(),
                                         port.Transport(), data, &attempts),
            -1);
  EXPECT_EQ(attempts, 0);
  EXPECT_TRUE(port.requests.empty());
}
