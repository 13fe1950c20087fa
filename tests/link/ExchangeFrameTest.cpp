#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "link/DeviceErrors.h"
#include "link/ExchangeFrame.h"
#include "link/ResultFlags.h"
#include "resources/StringTable.h"

using namespace exchange;

namespace {

const uint16_t kHashINIT = 0x00E9;
const uint16_t kHashAddr = 0x9F62;

// The reply goes into a buffer of exactly its size, so that reading past the
// characters that arrived is caught by the address sanitizer.
FrameReply Parse(const std::string& text, uint16_t requestHash, int portResult = 0) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  return ParseReply(portResult, bytes.empty() ? nullptr : bytes.data(), static_cast<int>(bytes.size()),
                    requestHash);
}

// A module's reply: the same layout as a request.
std::string ReplyText(uint16_t hash, std::vector<uint8_t> data, int address = 1) {
  return EncodeRequest(0, hash, data.data(), static_cast<int>(data.size()), {8, address, 0});
}

std::vector<uint8_t> Bytes(const char* s) { return {s, s + std::strlen(s)}; }

// The module's name hash, kept here only to check the constants the exchange uses.
uint16_t NameHashOfCodes(std::vector<int> codes) {
  uint16_t reg = 0;
  for (int code : codes) {
    const int shifted = code << 1;
    for (int bit = 7; bit >= 1; --bit) {
      const bool in = ((shifted >> bit) & 1) != 0;
      const bool top = (reg & 0x8000) != 0;
      reg = static_cast<uint16_t>(reg << 1);
      if (in != top) reg ^= 0x8F57;
    }
  }
  return reg;
}

}  // namespace

TEST(FrameCrc, CheckValuesAndAppendedCrcLeavesZero) {
  auto digits = Bytes("123456789");
  auto abc = Bytes("abc");
  EXPECT_EQ(hash_buffer(digits.data(), digits.size()), 0xB581);
  EXPECT_EQ(hash_buffer(abc.data(), abc.size()), 0x4F8D);
  EXPECT_EQ(hash_buffer(nullptr, 0), 0);

  // Appended high byte first, the CRC of the whole frame is 0.
  std::vector<uint8_t> frame;
  const uint8_t data[] = {0x12, 0x34, 0x56};
  ASSERT_TRUE(BuildRequestFrame(1, kHashAddr, data, 3, {8, 7, 0}, frame));
  EXPECT_EQ(hash_buffer(frame.data(), frame.size()), 0);
}

TEST(FrameCrc, AttributeHashIsTheNameHashOfMstr) {
  // The copy of the name hash first reproduces known names...
  EXPECT_EQ(NameHashOfCodes({20, 50, 42, 68}), kHashAPLY);        // A P L Y
  EXPECT_EQ(NameHashOfCodes({47, 28, 54, 54}), kHashNErr);        // N. E R R
  EXPECT_EQ(NameHashOfCodes({36, 46, 36, 58}), kHashINIT);        // I N I T
  EXPECT_EQ(NameHashOfCodes({55, 48, 28, 78}), 0xE894);           // R. O E
  // ...then "M.s.t.r.": every dot adds 1 to the letter before it.
  EXPECT_EQ(NameHashOfCodes({45, 57, 59, 55}), kHashAttributes);
}

TEST(RequestFrame, EncodingAndLength) {
  EXPECT_EQ(EncodeRequest(1, kHashAPLY, nullptr, 0, {8, 1, 0}), "#GHHGOKGJJVRV\r");

  const std::string empty = EncodeRequest(0, kHashINIT, nullptr, 0, {8, 3, 0});
  ASSERT_EQ(empty.size(), 14u);
  EXPECT_EQ(empty.front(), '#');
  EXPECT_EQ(empty.back(), '\r');
  for (size_t i = 1; i + 1 < empty.size(); ++i) EXPECT_TRUE(empty[i] >= 'G' && empty[i] <= 'V');

  std::vector<uint8_t> data(8, 0xFF);
  const std::string eight = EncodeRequest(0, kHashAddr, data.data(), 8, {8, 3, 0});
  EXPECT_EQ(eight.size(), 2 * 8 + 14u);

  std::vector<uint8_t> frame;
  std::vector<uint8_t> fifteen(15, 1);
  EXPECT_TRUE(BuildRequestFrame(0, kHashAddr, fifteen.data(), 15, {8, 3, 0}, frame));
  EXPECT_EQ(frame[1], 0x0F);
  std::vector<uint8_t> sixteen(16, 1);
  EXPECT_FALSE(BuildRequestFrame(0, kHashAddr, sixteen.data(), 16, {8, 3, 0}, frame));
  EXPECT_TRUE(frame.empty());
  EXPECT_EQ(EncodeRequest(0, kHashAddr, sixteen.data(), 16, {8, 3, 0}), "");
  EXPECT_FALSE(BuildRequestFrame(0, kHashAddr, nullptr, 2, {8, 3, 0}, frame));
}

TEST(RequestFrame, HeaderBytes) {
  std::vector<uint8_t> frame;
  const uint8_t data[] = {0xAB, 0xCD};

  ASSERT_TRUE(BuildRequestFrame(1, kHashAddr, data, 2, {8, 5, 2}, frame));
  ASSERT_EQ(frame.size(), 8u);
  EXPECT_EQ(frame[0], 7);     // module address plus channel
  EXPECT_EQ(frame[1], 0x12);  // read bit and two data bytes
  EXPECT_EQ(frame[2], 0x9F);
  EXPECT_EQ(frame[3], 0x62);
  EXPECT_EQ(frame[4], 0xAB);
  EXPECT_EQ(frame[5], 0xCD);

  ASSERT_TRUE(BuildRequestFrame(0, kHashAddr, nullptr, 0, {8, 5, kBroadcastChannel}, frame));
  EXPECT_EQ(frame[0], 255);
  EXPECT_EQ(frame[1], 0x00);

  ASSERT_TRUE(BuildRequestFrame(1, kHashAddr, nullptr, 0, {11, 5, kBroadcastChannel}, frame));
  EXPECT_EQ(frame[0], 31);
  EXPECT_EQ(frame[1], 0xF0);

  // 11-bit addresses above 255: the top 8 bits in byte 0, the low 3 in byte 1.
  ASSERT_TRUE(BuildRequestFrame(0, kHashAddr, data, 1, {11, 1000, 5}, frame));
  EXPECT_EQ(frame[0], 1005 >> 3);
  EXPECT_EQ(frame[1], ((1005 & 7) << 5) | 1);

  // An address the address bits cannot carry is never sent as its low bits
  // (300 with 8 bits would reach module 44).
  // Nor a channel whose sum with the address leaves int.
  const FrameAddressing beyond[] = {{8, 300, 0},  {8, 250, 6},        {8, -1, 0},         {11, 2048, 0},
                                    {11, 2040, 8}, {0, 256, 0},       {8, 16, INT_MAX},   {11, -16, INT_MIN}};
  for (const FrameAddressing& a : beyond) {
    EXPECT_FALSE(BuildRequestFrame(1, kHashAddr, nullptr, 0, a, frame)) << a.addressLength << " " << a.moduleAddress;
    EXPECT_TRUE(EncodeRequest(1, kHashAddr, nullptr, 0, a).empty());
  }
  EXPECT_TRUE(BuildRequestFrame(1, kHashAddr, nullptr, 0, {8, 250, 5}, frame));
  EXPECT_TRUE(BuildRequestFrame(1, kHashAddr, nullptr, 0, {11, 2040, 7}, frame));
}

TEST(ReplyFrame, WholeRepliesByHash) {
  const FrameReply ok = Parse(ReplyText(kHashAddr, {0x00, 0x2A}, 9), kHashAddr);
  EXPECT_EQ(ok.outcome, FrameOutcome::Success);
  ASSERT_EQ(ok.dataLength, 2);
  EXPECT_EQ(ok.data[0], 0x00);
  EXPECT_EQ(ok.data[1], 0x2A);
  EXPECT_EQ(ok.hash, kHashAddr);
  EXPECT_EQ(ok.addressByte, 9);
  EXPECT_EQ(FrameErrorText(ok), "");

  const FrameReply eight = Parse(ReplyText(kHashAddr, {1, 2, 3, 4, 5, 6, 7, 8}), kHashAddr);
  EXPECT_EQ(eight.outcome, FrameOutcome::Success);
  EXPECT_EQ(eight.dataLength, 8);

  const FrameReply none = Parse(ReplyText(kHashINIT, {}), kHashINIT);
  EXPECT_EQ(none.outcome, FrameOutcome::Success);
  EXPECT_EQ(none.dataLength, 0);

  const FrameReply foreign = Parse(ReplyText(kHashINIT, {1}), kHashAddr);
  EXPECT_EQ(foreign.outcome, FrameOutcome::ForeignHash);
  EXPECT_EQ(foreign.dataLength, 1);  // a valid CRC: the data is handed back
  EXPECT_EQ(FrameErrorText(foreign), resources::LoadString(kStrOtherCommandCode) + "\n");

  const FrameReply error = Parse(ReplyText(kHashNErr, {0x3A}), kHashAddr);
  EXPECT_EQ(error.outcome, FrameOutcome::DeviceError);
  EXPECT_EQ(FrameErrorText(error), resources::LoadString(kStrDeviceErrorGroupAttributeLevel) + "2");

  // An error reply without its code still fails with a text.
  const FrameReply bare = Parse(ReplyText(kHashNErr, {}), kHashAddr);
  EXPECT_EQ(bare.outcome, FrameOutcome::DeviceError);
  EXPECT_EQ(FrameErrorText(bare), resources::LoadString(kStrBadReply));
}

TEST(ReplyFrame, MalformedRepliesAreBadFrames) {
  const std::string good = ReplyText(kHashAddr, {0x10, 0x20});
  auto outcome = [](const std::string& text) { return Parse(text, kHashAddr).outcome; };

  EXPECT_EQ(outcome("#\r"), FrameOutcome::BadChecksum);
  EXPECT_EQ(outcome(good.substr(0, 13) + "\r"), FrameOutcome::BadChecksum);  // shorter than a frame
  EXPECT_EQ(outcome(good.substr(0, good.size() - 2) + "\r"), FrameOutcome::BadChecksum);  // odd
  EXPECT_EQ(outcome(good.substr(0, good.size() - 1)), FrameOutcome::BadChecksum);  // no carriage return
  EXPECT_EQ(outcome(good.substr(0, good.size() - 1) + "G\r"), FrameOutcome::BadChecksum);  // extra
  EXPECT_EQ(outcome(good.substr(0, good.size() - 3) + "GG\r"), FrameOutcome::BadChecksum);  // CRC

  for (char bad : {'F', 'W', 'g', '0', '\0', '\xFF'}) {
    std::string text = good;
    text[5] = bad;
    EXPECT_EQ(outcome(text), FrameOutcome::BadChecksum) << int(bad);
  }

  // A flipped tetrad anywhere fails the CRC.
  for (size_t i = 1; i + 1 < good.size(); ++i) {
    std::string text = good;
    text[i] = text[i] == 'G' ? 'H' : 'G';
    EXPECT_EQ(outcome(text), FrameOutcome::BadChecksum) << i;
  }

  const FrameReply bad = Parse("#\r", kHashAddr);
  EXPECT_EQ(bad.dataLength, 0);
  EXPECT_EQ(FrameErrorText(bad), resources::LoadString(kStrReplyChecksumError));
}

TEST(ReplyFrame, LengthFieldMustMatchTheBytesThatCame) {
  // Nine data bytes need 32 characters; the port stops at 31.
  const std::string nine = ReplyText(kHashAddr, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  ASSERT_EQ(nine.size(), 32u);
  EXPECT_EQ(Parse(nine.substr(0, 31), kHashAddr).outcome, FrameOutcome::BadChecksum);

  // A valid CRC over a frame whose length field claims 15 bytes but holds 2.
  std::vector<uint8_t> frame = {1, 0x0F, 0x9F, 0x62, 0xAA, 0xBB};
  const uint16_t crc = hash_buffer(frame.data(), frame.size());
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  const FrameReply claimed = Parse(encode_buffer(frame.data(), frame.size()), kHashAddr);
  EXPECT_EQ(claimed.outcome, FrameOutcome::BadChecksum);
  EXPECT_EQ(claimed.dataLength, 0);
}

TEST(ReplyFrame, PortResultsAndLostStarts) {
  const std::string good = ReplyText(kHashAddr, {1});
  EXPECT_EQ(Parse(good, kHashAddr, 2).outcome, FrameOutcome::TimeOut);
  EXPECT_EQ(Parse(good, kHashAddr, 3).outcome, FrameOutcome::LineError);
  EXPECT_EQ(Parse(good, kHashAddr, -1).outcome, FrameOutcome::Cancelled);
  EXPECT_EQ(Parse("", kHashAddr).outcome, FrameOutcome::LostStart);
  EXPECT_EQ(Parse("#", kHashAddr).outcome, FrameOutcome::LostStart);
  EXPECT_EQ(Parse(good.substr(1), kHashAddr).outcome, FrameOutcome::LostStart);
  EXPECT_EQ(Parse("x" + good, kHashAddr).outcome, FrameOutcome::LostStart);
  EXPECT_EQ(ParseReply(0, nullptr, 5, kHashAddr).outcome, FrameOutcome::LostStart);

  // Counts beyond the port's 31 characters are never trusted.
  std::vector<uint8_t> buffer(kMaxReplyChars, 'G');
  buffer[0] = '#';
  EXPECT_EQ(ParseReply(0, buffer.data(), 1000, kHashAddr).outcome, FrameOutcome::BadChecksum);
  EXPECT_EQ(ParseReply(0, buffer.data(), -4, kHashAddr).outcome, FrameOutcome::LostStart);

  EXPECT_EQ(RetryLimit(FrameOutcome::TimeOut), 1);
  EXPECT_EQ(RetryLimit(FrameOutcome::LineError), 16);
  EXPECT_EQ(RetryLimit(FrameOutcome::LostStart), 10);
  for (auto o : {FrameOutcome::Success, FrameOutcome::Cancelled, FrameOutcome::BadChecksum,
                 FrameOutcome::ForeignHash, FrameOutcome::DeviceError})
    EXPECT_EQ(RetryLimit(o), 0);

  FrameReply r;
  r.outcome = FrameOutcome::TimeOut;
  EXPECT_EQ(FrameErrorText(r), resources::LoadString(kStrTimeOut));
  r.outcome = FrameOutcome::LineError;
  EXPECT_EQ(FrameErrorText(r), resources::LoadString(kStrBadPortSettings));
  r.outcome = FrameOutcome::LostStart;
  EXPECT_EQ(FrameErrorText(r), resources::LoadString(kStrFrameStartLost) + "\n");
  r.outcome = FrameOutcome::Cancelled;
  EXPECT_EQ(FrameErrorText(r), "");
}

TEST(ReplyFrame, ResultFlagsAreCombined) {
  auto after = [](uint32_t flags, FrameOutcome outcome, std::vector<uint8_t> data = {}) {
    FrameReply r;
    r.outcome = outcome;
    r.dataLength = static_cast<int>(data.size());
    for (size_t i = 0; i < data.size(); ++i) r.data[i] = data[i];
    return UpdateResultFlags(flags, r);
  };
  EXPECT_EQ(after(0, FrameOutcome::TimeOut), kResultExchangeError);
  // The lowest flag is the exit code: whatever came first, a time-out stays 202.
  EXPECT_EQ(after(kResultDeviceError, FrameOutcome::TimeOut), kResultExchangeError | kResultDeviceError);
  EXPECT_EQ(after(kResultExchangeError, FrameOutcome::DeviceError, {0x47}), kResultExchangeError | kResultDeviceError);
  EXPECT_EQ(after(kResultNoUsableReply, FrameOutcome::TimeOut), kResultNoUsableReply | kResultExchangeError);
  EXPECT_EQ(after(0x02, FrameOutcome::LineError), 0x02 | kResultNoUsableReply);
  EXPECT_EQ(after(0, FrameOutcome::LostStart), kResultNoUsableReply);
  EXPECT_EQ(after(0, FrameOutcome::Success), 0u);
  EXPECT_EQ(after(0x10, FrameOutcome::Success), 0x10u);
  // A reply after a time-out leaves the time-out a time-out.
  EXPECT_EQ(after(kResultExchangeError, FrameOutcome::Success), kResultExchangeError);
  EXPECT_EQ(after(kResultExchangeError, FrameOutcome::BadChecksum), kResultExchangeError | kResultNoUsableReply);
  // Replies that never became usable fail a run that had no fault before.
  for (FrameOutcome o : {FrameOutcome::BadChecksum, FrameOutcome::ForeignHash, FrameOutcome::PortClosed})
    EXPECT_EQ(after(0, o), kResultNoUsableReply);
  EXPECT_EQ(after(0, FrameOutcome::DeviceError, {}), kResultNoUsableReply);
  EXPECT_EQ(after(0, FrameOutcome::DeviceError, {0x47}), kResultDeviceError);
  // A cancelled frame says nothing about the module.
  EXPECT_EQ(after(kResultExchangeError, FrameOutcome::Cancelled), kResultExchangeError);
  EXPECT_EQ(after(0, FrameOutcome::Cancelled), 0u);
}

TEST(AttributeFrame, RequestData) {
  // Write with full access: attribute byte, then the parameter's hash.
  auto w = BuildAttributeRequest(true, true, false, true, 0, false, 0, kHashAddr);
  EXPECT_EQ(w.requestBit, 0);
  EXPECT_EQ(w.data, (std::vector<uint8_t>{0x03, 0x9F, 0x62}));
  w = BuildAttributeRequest(true, true, false, false, 1, false, 0, kHashAddr);
  EXPECT_EQ(w.data, (std::vector<uint8_t>{0x00, 0x9F, 0x62}));
  w = BuildAttributeRequest(true, true, false, false, 0, false, 0, kHashAddr);
  EXPECT_EQ(w.data[0], 0x02);
  w = BuildAttributeRequest(true, true, true, false, 1, true, 0x1234, kHashAddr);
  EXPECT_EQ(w.data, (std::vector<uint8_t>{0x03, 0x00, 0x34, 0x9F, 0x62}));

  // Without full access, and for reads, the attributes are only read.
  for (bool write : {true, false}) {
    auto r = BuildAttributeRequest(write, write ? false : true, true, true, 0, true, 7, kHashINIT);
    EXPECT_EQ(r.requestBit, 1);
    EXPECT_EQ(r.data, (std::vector<uint8_t>{0x00, 0x07, 0x00, 0xE9}));
  }
}

TEST(AttributeFrame, ReplySizeAndBits) {
  const uint8_t reply[] = {0x01, 0, 0, 0, 0};
  AttributeReply a = ParseAttributeReply(reply, 3, false);
  EXPECT_TRUE(a.sizeOk);
  EXPECT_TRUE(a.editable);
  EXPECT_EQ(a.owner, 1);
  EXPECT_TRUE(ParseAttributeReply(reply, 5, true).sizeOk);
  EXPECT_FALSE(ParseAttributeReply(reply, 5, false).sizeOk);
  EXPECT_FALSE(ParseAttributeReply(reply, 3, true).sizeOk);
  EXPECT_FALSE(ParseAttributeReply(reply, 0, false).sizeOk);

  const uint8_t noOwner[] = {0x02, 0, 0};
  a = ParseAttributeReply(noOwner, 3, false);
  EXPECT_FALSE(a.editable);
  EXPECT_EQ(a.owner, 0);
}

TEST(ParameterData, IndexBytesAndValueLength) {
  std::vector<uint8_t> data{0x55};
  AppendIndexBytes(data, 0x0102);
  EXPECT_EQ(data, (std::vector<uint8_t>{0x55, 0x01, 0x02}));

  EXPECT_EQ(ValueLengthOfReply(5, true, false), 2);   // "JuRD"
  EXPECT_EQ(ValueLengthOfReply(6, false, true), 4);   // echoed index
  EXPECT_EQ(ValueLengthOfReply(7, true, true), 2);
  EXPECT_EQ(ValueLengthOfReply(1, true, true), 0);
  EXPECT_EQ(ValueLengthOfReply(4, false, false), 4);
}

TEST(ExchangeTrace, Lines) {
  EXPECT_EQ(ExchangeTraceLine(true, 0, 'A'), ">> Посылка: # 0 : 065 = 0x41 (A)");
  EXPECT_EQ(ExchangeTraceLine(false, 12, 0x05), "<< Ответ: #12 : 005 = 0x05 (.)");
  EXPECT_EQ(ExchangeTraceLine(false, 1, 0xC0), "<< Ответ: # 1 : 192 = 0xC0 (А)");
  EXPECT_EQ(ExchangeTraceLine(true, 2, 0x20), ">> Посылка: # 2 : 032 = 0x20 ( )");
  EXPECT_EQ(RequestSizeTraceLine(6), "Размер инф-ой части посылки 6 байт.");
  EXPECT_EQ(ReplySizeTraceLine(3), "Информационная часть квитанции ответа имеет размер 3 байт.");
}
