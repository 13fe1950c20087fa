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
// transaction, the last one repeated once the script runs out; the replies in
// `more` follow within the same transaction, then the line is silent.
struct ScriptedPort {
  struct Step {
    int result;
    std::string reply;
    std::vector<std::string> more = {};
  };
  std::deque<Step> script;
  std::vector<std::string> requests;
  std::deque<std::string> following;

  static int Give(const std::string& text, uint8_t* reply, int& count) {
    count = static_cast<int>(std::min<size_t>(text.size(), kMaxReplyChars));
    std::memcpy(reply, text.data(), static_cast<size_t>(count));
    return 0;
  }
  FrameTransport Transport() {
    return [this](const uint8_t* request, int length, uint8_t* reply, int& count) {
      requests.emplace_back(reinterpret_cast<const char*>(request), static_cast<size_t>(length));
      const Step step = script.front();
      if (script.size() > 1) script.pop_front();
      following.assign(step.more.begin(), step.more.end());
      Give(step.reply, reply, count);
      return step.result;
    };
  }
  ReplyReader ReadOn() {
    return [this](uint8_t* reply, int& count) {
      if (following.empty()) return 2;
      const std::string next = following.front();
      following.pop_front();
      return Give(next, reply, count);
    };
  }
  FrameReply Run(const FrameRequest& request, bool replyIgnored, int* attempts, bool lineEchoes = false) {
    return TransactWithRetries(request, replyIgnored, Transport(), ReadOn(), lineEchoes, attempts);
  }
};

FrameRequest Request(int requestBit, uint16_t hash, std::vector<uint8_t> data = {}, int echoedTail = 0,
                     FrameAddressing addressing = {8, 1, 0}) {
  FrameRequest request;
  EXPECT_TRUE(MakeFrameRequest(requestBit, hash, data.data(), static_cast<int>(data.size()), addressing, echoedTail,
                               request));
  request.answerCarriesData = requestBit == 1;
  return request;
}

std::string GoodReply(uint16_t hash, std::vector<uint8_t> data) {
  return EncodeRequest(1, hash, data.data(), static_cast<int>(data.size()), {8, 1, 0});
}

}  // namespace

TEST(FrameRetries, AttemptsPerOutcome) {
  const FrameRequest request = Request(1, kHashAddr);
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
      {{0, "#\r"}, FrameOutcome::BadChecksum, 2},
      // Another name's reply is passed over; the silence after it is a time-out.
      {{0, GoodReply(0x00E9, {1})}, FrameOutcome::ForeignHash, 2},
      {{0, "##" + GoodReply(kHashAddr, {1}).substr(1)}, FrameOutcome::LostStart, 11},
      {{0, GoodReply(kHashNErr, {0x47})}, FrameOutcome::DeviceError, 1},
      {{0, GoodReply(kHashAddr, {1, 2})}, FrameOutcome::Success, 1},
  };
  for (const auto& c : cases) {
    ScriptedPort port;
    port.script = {c.step};
    int attempts = 0;
    const FrameReply reply = port.Run(request, false, &attempts);
    EXPECT_EQ(reply.outcome, c.outcome) << c.step.reply;
    EXPECT_EQ(attempts, c.attempts) << c.step.reply;
    for (const auto& sent : port.requests) EXPECT_EQ(sent, request.text);
  }
}

TEST(FrameRetries, CountersAreKeptPerOutcome) {
  ScriptedPort port;
  port.script.push_back({2, ""});
  for (int i = 0; i < 16; ++i) port.script.push_back({3, ""});
  for (int i = 0; i < 10; ++i) port.script.push_back({0, "x"});
  port.script.push_back({0, GoodReply(kHashAddr, {7})});
  int attempts = 0;
  FrameReply reply = port.Run(Request(1, kHashAddr), false, &attempts);
  EXPECT_EQ(reply.outcome, FrameOutcome::Success);
  EXPECT_EQ(attempts, 28);
  EXPECT_EQ(reply.dataLength, 1);

  // The second time-out ends the frame even after other retries in between.
  port = {};
  port.script = {{2, ""}, {3, ""}, {0, "x"}, {2, ""}, {0, GoodReply(kHashAddr, {})}};
  reply = port.Run(Request(1, kHashAddr), false, &attempts);
  EXPECT_EQ(reply.outcome, FrameOutcome::TimeOut);
  EXPECT_EQ(attempts, 4);
}

std::string From(int addressBits, int address, uint16_t hash, std::vector<uint8_t> data, int requestBit = 1) {
  return EncodeRequest(requestBit, hash, data.data(), static_cast<int>(data.size()), {addressBits, address, 0});
}

// The frame with the last digit of its check sum one higher.
std::string BadCopy(std::string frame) {
  char& digit = frame[frame.size() - 2];
  digit = static_cast<char>('G' + (digit - 'G' + 1) % 16);
  return frame;
}

// Only the reply of the request's address, name and index is taken: the others
// (another module, an earlier request, the line's echo) are passed over within the
// same transaction, and a frame that gets nothing else fails with their outcome.
TEST(FrameRetries, OnlyTheRequestsOwnReplyIsTaken) {
  const uint16_t kHashNErrReply = kHashNErr;
  const FrameRequest readIndex2 = Request(1, kHashAddr, {0, 2}, 2, {8, 16, 1});      // address 17, index 2
  const FrameRequest read11 = Request(1, kHashAddr, {}, 0, {11, 300, 0});            // 11-bit address 300
  FrameRequest write = Request(0, kHashAddr, {5, 0, 2}, 2, {8, 16, 1});              // value 5 to index 2
  write.answerRepeatsValue = true;
  FrameRequest command = Request(1, kHashAddr, {0, 2}, 2, {8, 16, 1});  // a command read: answered without a value
  command.answerCarriesData = false;
  FrameRequest coefficient = Request(1, kHashAddr, {2}, 0, {8, 16, 1});  // coefficient 2: its answer starts with 2
  coefficient.echoedHead = 1;
  const std::string own = From(8, 17, kHashAddr, {9, 0, 2});
  const std::string refusal = From(8, 17, kHashNErrReply, {0x37}, 0);
  struct Case {
    const char* name;
    const FrameRequest& request;
    bool lineEchoes;
    std::vector<std::string> frames;  // one transaction's replies, then silence
    FrameOutcome outcome;
    std::vector<uint8_t> data;
    int attempts;
    bool echoesAfter;
  } cases[] = {
      {"another address first", readIndex2, false, {From(8, 18, kHashAddr, {7, 0, 2}), own},
       FrameOutcome::Success, {9, 0, 2}, 1, false},
      {"another index first", readIndex2, false, {From(8, 17, kHashAddr, {7, 0, 3}), own},
       FrameOutcome::Success, {9, 0, 2}, 1, false},
      {"another index after", readIndex2, false, {own, From(8, 17, kHashAddr, {7, 0, 3})},
       FrameOutcome::Success, {9, 0, 2}, 1, false},
      {"only another address", readIndex2, false, {From(8, 18, kHashAddr, {7, 0, 2})},
       FrameOutcome::ForeignAddress, {}, 2, false},
      {"only another index", readIndex2, false, {From(8, 17, kHashAddr, {7, 0, 1})},
       FrameOutcome::ForeignHash, {}, 2, false},
      {"index without its high byte", readIndex2, false, {From(8, 17, kHashAddr, {7, 1, 2})},
       FrameOutcome::ForeignHash, {}, 2, false},
      {"reply too short for an index", readIndex2, false, {From(8, 17, kHashAddr, {2})},
       FrameOutcome::ForeignHash, {}, 2, false},
      {"error reply of another address", readIndex2, false, {From(8, 18, kHashNErrReply, {0x28}), own},
       FrameOutcome::Success, {9, 0, 2}, 1, false},
      {"error reply", readIndex2, false, {From(8, 17, kHashNErrReply, {0x28})}, FrameOutcome::DeviceError, {0x28}, 1,
       false},
      {"11-bit: other low bits first", read11, false, {From(11, 301, kHashAddr, {1}), From(11, 300, kHashAddr, {4})},
       FrameOutcome::Success, {4}, 1, false},
      {"11-bit: same high byte only", read11, false, {From(11, 303, kHashAddr, {1})}, FrameOutcome::ForeignAddress,
       {}, 2, false},
      {"read: echo, then the answer", readIndex2, false, {readIndex2.text, own}, FrameOutcome::Success, {9, 0, 2}, 1,
       true},
      // Nothing after a frame just like the request: an answer without a value.
      {"read: echo only", readIndex2, false, {readIndex2.text}, FrameOutcome::Success, {0, 2}, 1, false},
      {"read: echo only on a line known to echo", readIndex2, true, {readIndex2.text}, FrameOutcome::TimeOut, {}, 2,
       true},
      {"read: only a write's refusal", readIndex2, false, {refusal}, FrameOutcome::ForeignHash, {}, 2, false},
      {"write: a read's refusal first", write, false, {From(8, 17, kHashNErrReply, {0x28}), write.text},
       FrameOutcome::Success, {5, 0, 2}, 1, false},
      {"write: another value's answer, then the refusal", write, false, {From(8, 17, kHashAddr, {6, 0, 2}, 0), refusal},
       FrameOutcome::DeviceError, {0x37}, 1, false},
      // Held, it never stands in for the retry; the retry's own (a module that
      // stores the value rounded) answers.
      {"write: another value's answer to both sends", write, false, {From(8, 17, kHashAddr, {6, 0, 2}, 0)},
       FrameOutcome::Success, {6, 0, 2}, 2, false},
      // Of several, the latest: the first is a copy of an earlier write's.
      {"write: an earlier value's copy, then the stored one", write, false,
       {From(8, 17, kHashAddr, {7, 0, 2}, 0), From(8, 17, kHashAddr, {4, 0, 2}, 0)}, FrameOutcome::Success,
       {4, 0, 2}, 2, false},
      {"write: acknowledged without a value (a command)", write, false, {From(8, 17, kHashAddr, {0, 2}, 0), refusal},
       FrameOutcome::Success, {0, 2}, 1, false},
      // Taken at once: what follows is not waited for.
      {"write: the value in two bytes", write, false, {From(8, 17, kHashAddr, {0, 5, 0, 2}, 0), refusal},
       FrameOutcome::Success, {0, 5, 0, 2}, 1, false},
      {"write: a refusal's copy with a bad check sum, then the answer", write, false,
       {BadCopy(refusal), write.text}, FrameOutcome::Success, {5, 0, 2}, 1, false},
      {"read: a bad check sum only", readIndex2, false, {BadCopy(own)}, FrameOutcome::BadChecksum, {}, 2, false},
      // Several came, none the answer: ChooseAnswer's order, whatever came first.
      {"read: a frame just like it, then another module's", readIndex2, false,
       {readIndex2.text, From(8, 18, kHashAddr, {7, 0, 2})}, FrameOutcome::Success, {0, 2}, 1, false},
      {"read: another index's, another module's, a broken frame", readIndex2, false,
       {From(8, 17, kHashAddr, {7, 0, 1}), From(8, 18, kHashAddr, {7, 0, 2}), BadCopy(own)},
       FrameOutcome::ForeignAddress, {}, 2, false},
      {"write: another value's answer, then another module's", write, false,
       {From(8, 17, kHashAddr, {6, 0, 2}, 0), From(8, 18, kHashAddr, {7, 0, 2}, 0)}, FrameOutcome::Success,
       {6, 0, 2}, 2, false},
      {"coefficient: only another number's answer", coefficient, false, {From(8, 17, kHashAddr, {3, 0x3F})},
       FrameOutcome::ForeignHash, {}, 2, false},
      {"read answered without an echo", readIndex2, true, {own}, FrameOutcome::Success, {9, 0, 2}, 1, false},
      {"write: its echo, then a refusal", write, true, {write.text, refusal},
       FrameOutcome::DeviceError, {0x37}, 1, true},
      {"write: its echo only", write, true, {write.text}, FrameOutcome::TimeOut, {}, 2, true},
      // The converter no longer echoes: the mark goes with the first answer without it.
      {"write: a refusal without its echo", write, true, {refusal}, FrameOutcome::DeviceError, {0x37}, 1, false},
      {"write: its echo, then the module's", write, true, {write.text, write.text}, FrameOutcome::Success,
       {5, 0, 2}, 1, true},
      {"write on a line without echo", write, false, {write.text}, FrameOutcome::Success, {5, 0, 2}, 1, false},
      {"command read", command, false, {command.text}, FrameOutcome::Success, {0, 2}, 1, false},
      {"command read: its echo, then the module's", command, true, {command.text, command.text},
       FrameOutcome::Success, {0, 2}, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedPort port;
    port.script = {{0, c.frames.front(), std::vector<std::string>(c.frames.begin() + 1, c.frames.end())}};
    int attempts = 0;
    bool echoes = c.lineEchoes;
    const FrameReply reply = TransactWithRetries(c.request, false, port.Transport(), port.ReadOn(), echoes, &attempts);
    EXPECT_EQ(reply.outcome, c.outcome);
    EXPECT_EQ(std::vector<uint8_t>(reply.data, reply.data + reply.dataLength), c.data);
    EXPECT_EQ(attempts, c.attempts);
    EXPECT_EQ(echoes, c.echoesAfter);
  }
}

// Which frame answers once the line fell silent after several that were not taken.
TEST(FrameRetries, ChooseAnswerRanksWhatCame) {
  using S = SilenceAnswer;
  struct Case {
    TransactionSeen seen;
    SilenceAnswer by;
    FrameOutcome outcome;
  } cases[] = {
      {{}, S::Nothing, FrameOutcome::TimeOut},
      {{.otherValue = true, .identical = true, .foreignAddress = true, .foreignReply = true, .badFrame = true},
       S::HeldValue, FrameOutcome::Success},
      {{.identical = true, .foreignAddress = true, .foreignReply = true, .badFrame = true}, S::Identical,
       FrameOutcome::Success},
      {{.foreignAddress = true, .foreignReply = true, .badFrame = true}, S::Others, FrameOutcome::ForeignAddress},
      {{.foreignReply = true, .badFrame = true}, S::Others, FrameOutcome::ForeignHash},
      {{.badFrame = true}, S::Others, FrameOutcome::BadChecksum},
      {{.otherValue = true}, S::HeldValue, FrameOutcome::Success},
      {{.identical = true}, S::Identical, FrameOutcome::Success},
      {{.foreignAddress = true}, S::Others, FrameOutcome::ForeignAddress},
  };
  for (const Case& c : cases) {
    const AnswerChoice choice = ChooseAnswer(c.seen);
    EXPECT_EQ(choice.by, c.by) << static_cast<int>(c.outcome);
    EXPECT_EQ(choice.outcome, c.outcome) << static_cast<int>(c.by);
  }
}

TEST(FrameRetries, IgnoredReplySucceedsAfterOneTransaction) {
  ScriptedPort port;
  port.script = {{2, ""}};
  int attempts = 0;
  const FrameReply reply = port.Run(Request(0, kHashAPLY), true, &attempts);
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
