#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "link/AlternateFraming.h"

using namespace exchange;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }
std::string Text(const std::vector<uint8_t>& b) { return {b.begin(), b.end()}; }

int Check(uint8_t selector, const std::vector<uint8_t>& reply, std::vector<uint8_t>& data,
          uint8_t address = 16) {
  return CheckAlternateReply(selector, address, reply.empty() ? nullptr : reply.data(), reply.size(), data);
}

// Restores the process-wide selector whatever a test does.
struct SelectorGuard {
  ~SelectorGuard() { SetProtocolSelector(kSelectorOwnFrame); }
};

}  // namespace

TEST(AlternateChecksums, StandardValues) {
  const auto digits = Bytes("123456789");
  EXPECT_EQ(ModbusCrc(digits.data(), digits.size()), 0x4B37);
  EXPECT_EQ(ModbusCrc(nullptr, 0), 0xFFFF);
  const uint8_t coil[] = {0x10, 0x05, 0xF0, 0xF0, 0xFF, 0x00};
  EXPECT_EQ(ModbusLrc(coil, sizeof coil), 0x0C);
  EXPECT_EQ(ModbusLrc(nullptr, 0), 0x00);
  const auto percent = Bytes("%10TEVI");
  EXPECT_EQ(PercentSum(percent.data(), percent.size()), 0xBE);
}

TEST(AlternateRequests, SwitchBackForAddress16) {
  const auto coil = SwitchBackRequest(kSelectorModbusRtu);
  EXPECT_EQ(coil, (std::vector<uint8_t>{0x05, 0xF0, 0xF0, 0xFF, 0x00}));
  EXPECT_EQ(SwitchBackRequest(kSelectorModbusAscii), coil);
  EXPECT_EQ(Text(SwitchBackRequest(kSelectorPercent)), "TEVI");
  EXPECT_TRUE(SwitchBackRequest(kSelectorOwnFrame).empty());

  EXPECT_EQ(BuildAlternateRequest(kSelectorModbusRtu, 16, coil.data(), coil.size()),
            (std::vector<uint8_t>{0x10, 0x05, 0xF0, 0xF0, 0xFF, 0x00, 0xBC, 0x48}));
  EXPECT_EQ(Text(BuildAlternateRequest(kSelectorModbusAscii, 16, coil.data(), coil.size())),
            ":1005F0F0FF000C\r\n");
  const auto tevi = SwitchBackRequest(kSelectorPercent);
  EXPECT_EQ(Text(BuildAlternateRequest(kSelectorPercent, 16, tevi.data(), tevi.size())), "%10TEVIBE\r");

  // Lengths: n + 2, 2n + 5, n + 5 with n counting the address.
  const uint8_t one[] = {0xAB};
  EXPECT_EQ(BuildAlternateRequest(kSelectorModbusRtu, 1, one, 1).size(), 4u);
  EXPECT_EQ(BuildAlternateRequest(kSelectorModbusAscii, 1, one, 1).size(), 9u);
  EXPECT_EQ(BuildAlternateRequest(kSelectorPercent, 1, one, 1).size(), 7u);
}

TEST(AlternateReplies, RoundTripAndAddress) {
  const uint8_t data[] = {0x05, 0xF0, 0x3A};
  for (uint8_t selector : {kSelectorModbusRtu, kSelectorModbusAscii}) {
    auto reply = BuildAlternateRequest(selector, 16, data, sizeof data);
    if (selector == kSelectorModbusAscii) reply.pop_back();  // the port stops at the carriage return
    std::vector<uint8_t> out;
    EXPECT_EQ(Check(selector, reply, out), 0) << int(selector);
    EXPECT_EQ(out, (std::vector<uint8_t>{0x05, 0xF0, 0x3A}));
    EXPECT_EQ(Check(selector, reply, out, 17), 5) << int(selector);
    EXPECT_TRUE(out.empty());
  }

  std::vector<uint8_t> out;
  std::string percent = "!10OK";
  percent += "1C\r";
  EXPECT_EQ(Check(kSelectorPercent, Bytes(percent), out), 0);
  EXPECT_EQ(Text(out), "OK");
  EXPECT_EQ(Check(kSelectorPercent, Bytes(percent), out, 15), 5);

  // Lower-case hexadecimal is read as well.
  EXPECT_EQ(Check(kSelectorModbusAscii, Bytes(":1005f0f0ff000c\r"), out), 0);
  EXPECT_EQ(out.size(), 5u);
}

TEST(AlternateReplies, BrokenRepliesFail) {
  std::vector<uint8_t> out;
  const uint8_t data[] = {0x05, 0xF0};

  auto rtu = BuildAlternateRequest(kSelectorModbusRtu, 16, data, sizeof data);
  rtu[1] ^= 1;
  EXPECT_EQ(Check(kSelectorModbusRtu, rtu, out), 4);
  EXPECT_EQ(Check(kSelectorModbusRtu, {}, out), 4);
  EXPECT_EQ(Check(kSelectorModbusRtu, {0x10}, out), 4);
  EXPECT_EQ(Check(kSelectorModbusRtu, {0xFF, 0xFF}, out), 6);  // a valid CRC around nothing

  EXPECT_EQ(Check(kSelectorModbusAscii, Bytes(":1005F0F0FF000D\r"), out), 4);  // LRC
  EXPECT_EQ(Check(kSelectorModbusAscii, Bytes(":1005F0F0FF000C"), out), 4);    // no carriage return
  EXPECT_EQ(Check(kSelectorModbusAscii, Bytes(":1005F0F0FF00C\r"), out), 4);   // odd
  EXPECT_EQ(Check(kSelectorModbusAscii, Bytes(":10X5F0F0FF000C\r"), out), 4);  // not hexadecimal
  EXPECT_EQ(Check(kSelectorModbusAscii, Bytes(":0\r"), out), 4);
  EXPECT_EQ(Check(kSelectorModbusAscii, Bytes(":\r"), out), 4);
  EXPECT_EQ(Check(kSelectorModbusAscii, Bytes(":00\r"), out), 6);              // LRC only, no address
  EXPECT_EQ(Check(kSelectorModbusAscii, Bytes("1005F0F0FF000C\r"), out), 6);   // no colon
  EXPECT_EQ(Check(kSelectorModbusAscii, {}, out), 4);

  EXPECT_EQ(Check(kSelectorPercent, Bytes("!10OK1D\r"), out), 4);
  EXPECT_EQ(Check(kSelectorPercent, Bytes("!10OK1C"), out), 4);
  EXPECT_EQ(Check(kSelectorPercent, Bytes("!10OKZZ\r"), out), 4);
  EXPECT_EQ(Check(kSelectorPercent, Bytes("!1\r"), out), 4);
  EXPECT_EQ(Check(kSelectorPercent, {}, out), 4);
  EXPECT_EQ(Check(kSelectorPercent, Bytes("%10OK20\r"), out), 6);  // "%" instead of "!"
  EXPECT_EQ(Check(kSelectorPercent, Bytes("!XYOK6C\r"), out), 6);  // address not hexadecimal
  EXPECT_TRUE(out.empty());

  // A reply cut by the port's 31 characters fails its checksum.
  const std::vector<uint8_t> many(30, 0x33);
  auto longAscii = BuildAlternateRequest(kSelectorModbusAscii, 16, many.data(), many.size());
  longAscii.resize(31);
  EXPECT_EQ(Check(kSelectorModbusAscii, longAscii, out), 4);
  auto longRtu = BuildAlternateRequest(kSelectorModbusRtu, 16, many.data(), many.size());
  longRtu.resize(31);
  EXPECT_EQ(Check(kSelectorModbusRtu, longRtu, out), 4);
  auto longPercent = BuildAlternateRequest(kSelectorPercent, 16, many.data(), many.size());
  longPercent[0] = '!';
  longPercent.resize(31);
  EXPECT_EQ(Check(kSelectorPercent, longPercent, out), 4);

  EXPECT_EQ(Check(kSelectorOwnFrame, Bytes("#GG\r"), out), 6);
}

TEST(FrameCodec, FollowsTheSelector) {
  SelectorGuard guard;
  EXPECT_EQ(ProtocolSelector(), kSelectorOwnFrame);
  FrameCodec codec;
  const auto digits = Bytes("123456789");

  SetProtocolSelector(kSelectorModbusRtu);
  EXPECT_EQ(codec.Checksum(digits.data(), digits.size()), 0x4B37);
  std::vector<uint8_t> buffer{0x10, 0x05};
  codec.Wrap(buffer);
  EXPECT_EQ(buffer.size(), 4u);
  EXPECT_EQ(codec.Unwrap(buffer), 0);
  EXPECT_EQ(buffer, (std::vector<uint8_t>{0x10, 0x05}));

  SetProtocolSelector(kSelectorPercent);
  buffer = {0x10, 'T', 'E', 'V', 'I'};
  codec.Wrap(buffer);
  EXPECT_EQ(Text(buffer), "%10TEVIBE\r");
  EXPECT_EQ(codec.Unwrap(buffer), 6);  // a request, not a "!" reply

  SetProtocolSelector(kSelectorOwnFrame);
  EXPECT_EQ(codec.Checksum(digits.data(), digits.size()), 0xB581);
  buffer = {1, 2};
  codec.Wrap(buffer);
  EXPECT_EQ(buffer, (std::vector<uint8_t>{1, 2}));
}
