#include <gtest/gtest.h>

#include "SimFrameCodec.h"

using namespace z580sim;

TEST(SimFrameCodec, CrcCheckValues) {
  const std::string a = "123456789", b = "abc";
  EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(a.data()), a.size()), 0xB581);
  EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(b.data()), b.size()), 0x4F8D);
  EXPECT_EQ(Crc16(nullptr, 0), 0);
}

TEST(SimFrameCodec, NameHashes) {
  EXPECT_EQ(NameHash("APLY"), 0x8403);
  EXPECT_EQ(NameHash("n.Err"), 0x0233);
  EXPECT_EQ(NameHash("INIT"), 0x00E9);
  EXPECT_EQ(NameHash("Addr"), 0x9F62);
  EXPECT_EQ(NameHash("bPS"), 0xB760);
  EXPECT_EQ(NameHash("r.oe"), 0xE894);
  EXPECT_EQ(NameHash("A"), 0xC36F);
  EXPECT_EQ(NameHash("addr"), 0x9F62);
  // a fifth character is dropped, other characters skipped, a leading dot ignored
  EXPECT_EQ(NameHash("AB.CDE"), 0x0BCB);
  EXPECT_EQ(NameHash("AB.CD"), 0x0BCB);
  EXPECT_EQ(NameHash("A*B"), 0xCA19);
  EXPECT_EQ(NameHash("AB"), 0xCA19);
  EXPECT_EQ(NameHash(".A"), NameHash("A"));
  EXPECT_EQ(NameHash(""), 0);
}

TEST(SimFrameCodec, FrameLayoutAndRoundTrip) {
  Frame f;
  f.address = 16;
  f.read = true;
  f.hash = NameHash("dev");
  const std::string empty = EncodeFrame(f, 8);
  EXPECT_EQ(empty.size(), 14u);
  EXPECT_EQ(empty.front(), '#');
  ASSERT_FALSE(empty.empty());
  EXPECT_EQ(empty.back(), '\r');

  f.data = {0x01, 0xFF, 0x80};
  const std::string text = EncodeFrame(f, 8);
  EXPECT_EQ(text.size(), 2 * 3 + 14u);
  Frame back;
  ASSERT_EQ(DecodeFrame(std::string_view(text).substr(1, text.size() - 2), 8, back), DecodeStatus::Ok);
  EXPECT_EQ(back.address, 16u);
  EXPECT_TRUE(back.read);
  EXPECT_EQ(back.hash, f.hash);
  EXPECT_EQ(back.data, f.data);

  // broadcast with 11-bit addresses: 255 >> 3 = 31 and the low three bits on top of byte 1
  Frame bc;
  bc.address = 255;
  const Bytes b = FrameBytes(bc, 11);
  EXPECT_EQ(b[0], 31);
  EXPECT_EQ(b[1] & 0xE0, 0xE0);
  Frame b11;
  ASSERT_EQ(DecodeFrame(std::string_view(EncodeTetrads(b)).substr(1, 12), 11, b11), DecodeStatus::Ok);
  EXPECT_EQ(b11.address, 255u);
  EXPECT_EQ(FrameBytes(bc, 8)[0], 255);

  // more data than the 4-bit length field can say is cut to 15 bytes, not wrapped to 0
  Frame big;
  big.data.assign(16, 0xAA);
  const Bytes bigBytes = FrameBytes(big, 8);
  EXPECT_EQ(bigBytes[1] & 0x0F, 15);
  EXPECT_EQ(bigBytes.size(), 15 + 6u);
}

TEST(SimFrameCodec, RejectsDamagedFrames) {
  Frame f;
  f.address = 16;
  f.hash = NameHash("bPS");
  f.data = {4};
  std::string body = EncodeFrame(f, 8).substr(1);
  body.pop_back();
  Frame out;
  std::string crc = body;
  crc[crc.size() - 1] = crc.back() == 'G' ? 'H' : 'G';
  EXPECT_EQ(DecodeFrame(crc, 8, out), DecodeStatus::BadCrc);
  std::string bad = body;
  bad[3] = 'Z';
  EXPECT_EQ(DecodeFrame(bad, 8, out), DecodeStatus::BadCharacter);
  EXPECT_EQ(DecodeFrame(body.substr(0, body.size() - 1), 8, out), DecodeStatus::BadLength);
  EXPECT_EQ(DecodeFrame(body.substr(0, body.size() - 2), 8, out), DecodeStatus::BadLength);  // length field says 1
  EXPECT_EQ(DecodeFrame("", 8, out), DecodeStatus::TooShort);
}

TEST(SimFrameCodec, ForeignFramings) {
  const uint8_t sample[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A};
  EXPECT_EQ(ModbusCrc(sample, sizeof sample), 0xCDC5);  // sent C5 CD
  EXPECT_EQ(ModbusCrc(nullptr, 0), 0xFFFF);
  const uint8_t lrc[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
  EXPECT_EQ(ModbusLrc(lrc, sizeof lrc), 0xFB);

  const Bytes rtu = WrapModbusRtu(ModbusSwitchBack(16));
  ASSERT_EQ(rtu.size(), 8u);
  EXPECT_EQ(rtu[0], 0x10);
  EXPECT_EQ(ModbusCrc(rtu.data(), 8), 0);  // a correct CRC, low byte first, leaves 0

  const std::string ascii = WrapModbusAscii(ModbusSwitchBack(16));
  EXPECT_EQ(ascii.substr(0, 13), ":1005F0F0FF00");
  EXPECT_EQ(ascii.size(), 2 * 6 + 5u);
  Bytes msg;
  ASSERT_TRUE(UnwrapModbusAscii(ascii.substr(0, ascii.size() - 2), msg));
  EXPECT_EQ(msg, ModbusSwitchBack(16));
  std::string broken = ascii.substr(0, ascii.size() - 2);
  broken[3] = '1';
  EXPECT_FALSE(UnwrapModbusAscii(broken, msg));

  const std::string pct = WrapPercent('%', 16, kPercentSwitchBack);
  EXPECT_EQ(pct.substr(0, 7), "%10TEVI");
  EXPECT_EQ(pct.size(), 4 + 1 + 5u);
  uint8_t address = 0;
  std::string payload;
  ASSERT_TRUE(UnwrapPercent(pct.substr(0, pct.size() - 1), '%', address, payload));
  EXPECT_EQ(address, 16);
  EXPECT_EQ(payload, "TEVI");
  EXPECT_FALSE(UnwrapPercent("%10TEVI00", '%', address, payload));
}
