#include "SimFrameCodec.h"

#include <cstdio>

namespace z580sim {

namespace {

uint16_t CrcBits(uint16_t reg, unsigned value, int bits) {
  for (int i = bits - 1; i >= 0; --i) {
    const unsigned bit = (value >> i) & 1u;
    const unsigned top = (reg >> 15) & 1u;
    reg = static_cast<uint16_t>(reg << 1);
    if (bit != top) reg ^= 0x8F57;
  }
  return reg;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void AppendHex(std::string& out, uint8_t b) {
  static const char digits[] = "0123456789ABCDEF";
  out += digits[b >> 4];
  out += digits[b & 0x0F];
}

}  // namespace

uint16_t Crc16(const uint8_t* data, size_t size) {
  uint16_t reg = 0;
  for (size_t i = 0; i < size; ++i) reg = CrcBits(reg, data[i], 8);
  return reg;
}

uint16_t NameHash(std::string_view name) {
  if (name.empty()) return 0;
  uint8_t codes[4] = {78, 78, 78, 78};
  int taken = 0;
  const size_t limit = name.size() < 8 ? name.size() : 8;
  for (size_t i = 0; i < limit && taken <= 4; ++i) {
    char c = name[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    int code = -1;
    if (c == '.') {
      if (taken > 0 && taken <= 4) ++codes[taken - 1];
      continue;
    }
    if (c == ' ') code = 78;
    else if (c == '_') code = 74;
    else if (c == '-') code = 72;
    else if (c >= 'A' && c <= 'Z') code = (c - 'A' + 10) * 2;
    else if (c >= '0' && c <= '9') code = (c - '0') * 2;
    if (code < 0) continue;
    if (taken < 4) codes[taken] = static_cast<uint8_t>(code);
    ++taken;  // a fifth character is read and dropped
  }
  uint16_t reg = 0;
  for (uint8_t code : codes) reg = CrcBits(reg, code & 0x7Fu, 7);
  return reg;
}

Bytes FrameBytes(const Frame& frame, int addressBits) {
  Bytes b;
  const size_t n = frame.data.size() < 15 ? frame.data.size() : 15;  // the length field has 4 bits
  if (addressBits == 11) {
    b.push_back(static_cast<uint8_t>((frame.address >> 3) & 0xFF));
    b.push_back(static_cast<uint8_t>(((frame.address & 7u) << 5) | (frame.read ? 0x10 : 0) | n));
  } else {
    b.push_back(static_cast<uint8_t>(frame.address & 0xFF));
    b.push_back(static_cast<uint8_t>((frame.read ? 0x10 : 0) | n));
  }
  b.push_back(static_cast<uint8_t>(frame.hash >> 8));
  b.push_back(static_cast<uint8_t>(frame.hash & 0xFF));
  for (size_t i = 0; i < n; ++i) b.push_back(frame.data[i]);
  const uint16_t crc = Crc16(b);
  b.push_back(static_cast<uint8_t>(crc >> 8));
  b.push_back(static_cast<uint8_t>(crc & 0xFF));
  return b;
}

std::string EncodeTetrads(const Bytes& bytes) {
  std::string s = "#";
  for (uint8_t v : bytes) {
    s += static_cast<char>('G' + (v >> 4));
    s += static_cast<char>('G' + (v & 0x0F));
  }
  s += '\r';
  return s;
}

std::string EncodeFrame(const Frame& frame, int addressBits) {
  return EncodeTetrads(FrameBytes(frame, addressBits));
}

DecodeStatus DecodeTetrads(std::string_view text, Bytes& out) {
  out.clear();
  if (text.size() % 2 != 0) return DecodeStatus::BadLength;
  for (size_t i = 0; i < text.size(); i += 2) {
    const char hi = text[i], lo = text[i + 1];
    if (hi < 'G' || hi > 'V' || lo < 'G' || lo > 'V') return DecodeStatus::BadCharacter;
    out.push_back(static_cast<uint8_t>(((hi - 'G') << 4) | (lo - 'G')));
  }
  return DecodeStatus::Ok;
}

DecodeStatus DecodeFrame(std::string_view text, int addressBits, Frame& out) {
  Bytes b;
  const DecodeStatus st = DecodeTetrads(text, b);
  if (st != DecodeStatus::Ok) return st;
  if (b.size() < 6) return DecodeStatus::TooShort;
  const size_t n = b[1] & 0x0F;
  if (b.size() != n + 6) return DecodeStatus::BadLength;
  const uint16_t stored = static_cast<uint16_t>((b[4 + n] << 8) | b[5 + n]);
  if (Crc16(b.data(), 4 + n) != stored) return DecodeStatus::BadCrc;
  out.address = addressBits == 11 ? ((static_cast<unsigned>(b[0]) << 3) | (b[1] >> 5)) : b[0];
  out.read = (b[1] & 0x10) != 0;
  out.hash = static_cast<uint16_t>((b[2] << 8) | b[3]);
  out.data.assign(b.begin() + 4, b.begin() + 4 + static_cast<std::ptrdiff_t>(n));
  return DecodeStatus::Ok;
}

uint16_t ModbusCrc(const uint8_t* data, size_t size) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
  }
  return crc;
}

uint8_t ModbusLrc(const uint8_t* data, size_t size) {
  uint8_t sum = 0;
  for (size_t i = 0; i < size; ++i) sum = static_cast<uint8_t>(sum + data[i]);
  return static_cast<uint8_t>(-sum);
}

uint8_t PercentSum(std::string_view chars) {
  uint8_t sum = 0;
  for (char c : chars) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
  return sum;
}

Bytes WrapModbusRtu(const Bytes& message) {
  Bytes out = message;
  const uint16_t crc = ModbusCrc(message.data(), message.size());
  out.push_back(static_cast<uint8_t>(crc & 0xFF));
  out.push_back(static_cast<uint8_t>(crc >> 8));
  return out;
}

std::string WrapModbusAscii(const Bytes& message) {
  std::string s = ":";
  for (uint8_t b : message) AppendHex(s, b);
  AppendHex(s, ModbusLrc(message.data(), message.size()));
  s += "\r\n";
  return s;
}

std::string WrapPercent(char start, uint8_t address, std::string_view payload) {
  std::string s(1, start);
  AppendHex(s, address);
  s += payload;
  AppendHex(s, PercentSum(s));
  s += '\r';
  return s;
}

bool UnwrapModbusAscii(std::string_view line, Bytes& message) {
  message.clear();
  if (line.empty() || line[0] != ':' || line.size() < 3 || (line.size() - 1) % 2 != 0) return false;
  Bytes all;
  for (size_t i = 1; i + 1 < line.size(); i += 2) {
    const int hi = HexValue(line[i]), lo = HexValue(line[i + 1]);
    if (hi < 0 || lo < 0) return false;
    all.push_back(static_cast<uint8_t>((hi << 4) | lo));
  }
  if (all.empty()) return false;
  const uint8_t lrc = all.back();
  all.pop_back();
  if (ModbusLrc(all.data(), all.size()) != lrc) return false;
  message = std::move(all);
  return true;
}

bool UnwrapPercent(std::string_view frame, char start, uint8_t& address, std::string& payload) {
  if (frame.size() < 5 || frame[0] != start) return false;
  const int a1 = HexValue(frame[1]), a2 = HexValue(frame[2]);
  const int s1 = HexValue(frame[frame.size() - 2]), s2 = HexValue(frame[frame.size() - 1]);
  if (a1 < 0 || a2 < 0 || s1 < 0 || s2 < 0) return false;
  if (PercentSum(frame.substr(0, frame.size() - 2)) != ((s1 << 4) | s2)) return false;
  address = static_cast<uint8_t>((a1 << 4) | a2);
  payload.assign(frame.substr(3, frame.size() - 5));
  return true;
}

Bytes ModbusSwitchBack(uint8_t address) { return {address, 0x05, 0xF0, 0xF0, 0xFF, 0x00}; }

std::string Printable(std::string_view raw) {
  std::string s;
  for (char ch : raw) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      s += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      s += buf;
    }
  }
  return s;
}

std::string HexBytes(const Bytes& b) {
  std::string s;
  for (size_t i = 0; i < b.size(); ++i) {
    if (i) s += ' ';
    AppendHex(s, b[i]);
  }
  return s;
}

}  // namespace z580sim
