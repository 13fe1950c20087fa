#include "link/AlternateFraming.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

#include "link/ExchangeFrame.h"

namespace exchange {

namespace {

std::atomic<uint8_t> g_selector{kSelectorOwnFrame};

void AppendHex(std::vector<uint8_t>& out, uint8_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  out.push_back(static_cast<uint8_t>(kDigits[value >> 4]));
  out.push_back(static_cast<uint8_t>(kDigits[value & 0x0F]));
}

int HexDigit(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Two hexadecimal characters to a byte; false when either is not one.
bool HexToByte(const uint8_t* text, uint8_t& value) {
  const int high = HexDigit(text[0]);
  const int low = HexDigit(text[1]);
  if (high < 0 || low < 0) return false;
  value = static_cast<uint8_t>((high << 4) | low);
  return true;
}

int UnwrapRtu(std::vector<uint8_t>& buffer) {
  if (buffer.size() < 2) return 4;
  const size_t length = buffer.size() - 2;
  const uint16_t stored = static_cast<uint16_t>(buffer[length] | (buffer[length + 1] << 8));
  if (ModbusCrc(buffer.data(), length) != stored) return 4;
  buffer.resize(length);
  return 0;
}

int UnwrapAscii(std::vector<uint8_t>& buffer) {
  size_t end = 0;
  while (end < buffer.size() && buffer[end] != '\r') ++end;
  if (end == buffer.size()) return 4;  // cut before its carriage return
  if (buffer.empty() || buffer[0] != ':') return 6;
  const size_t hexChars = end - 1;
  if (hexChars < 2 || hexChars % 2 != 0) return 4;
  std::vector<uint8_t> bytes;
  for (size_t i = 1; i + 1 < end; i += 2) {
    uint8_t value = 0;
    if (!HexToByte(&buffer[i], value)) return 4;
    bytes.push_back(value);
  }
  const uint8_t lrc = bytes.back();
  bytes.pop_back();
  if (ModbusLrc(bytes.data(), bytes.size()) != lrc) return 4;
  buffer = std::move(bytes);
  return 0;
}

int UnwrapPercent(std::vector<uint8_t>& buffer) {
  // "!", two address characters, data, two checksum characters, carriage return.
  if (buffer.size() < 6 || buffer.back() != '\r') return 4;
  const size_t checksumAt = buffer.size() - 3;
  uint8_t stored = 0;
  if (!HexToByte(&buffer[checksumAt], stored)) return 4;
  if (PercentSum(buffer.data(), checksumAt) != stored) return 4;
  if (buffer[0] != '!') return 6;
  uint8_t address = 0;
  if (!HexToByte(&buffer[1], address)) return 6;
  std::vector<uint8_t> bytes;
  bytes.push_back(address);
  bytes.insert(bytes.end(), buffer.begin() + 3, buffer.begin() + static_cast<std::ptrdiff_t>(checksumAt));
  buffer = std::move(bytes);
  return 0;
}

}  // namespace

uint8_t ProtocolSelector() { return g_selector.load(); }
void SetProtocolSelector(uint8_t selector) { g_selector.store(selector); }

uint16_t ModbusCrc(const uint8_t* data, size_t length) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
  }
  return crc;
}

uint8_t ModbusLrc(const uint8_t* data, size_t length) {
  uint8_t sum = 0;
  for (size_t i = 0; i < length; ++i) sum = static_cast<uint8_t>(sum + data[i]);
  return static_cast<uint8_t>(-sum);
}

uint8_t PercentSum(const uint8_t* data, size_t length) {
  uint8_t sum = 0;
  for (size_t i = 0; i < length; ++i) sum = static_cast<uint8_t>(sum + data[i]);
  return sum;
}

uint16_t AlternateChecksum(uint8_t selector, const uint8_t* data, size_t length) {
  switch (selector) {
    case kSelectorModbusRtu: return ModbusCrc(data, length);
    case kSelectorModbusAscii: return ModbusLrc(data, length);
    case kSelectorPercent: return PercentSum(data, length);
    default: return hash_buffer(data, length);
  }
}

void WrapAlternate(uint8_t selector, std::vector<uint8_t>& buffer) {
  switch (selector) {
    case kSelectorModbusRtu: {
      const uint16_t crc = ModbusCrc(buffer.data(), buffer.size());
      buffer.push_back(static_cast<uint8_t>(crc & 0xFF));
      buffer.push_back(static_cast<uint8_t>(crc >> 8));
      break;
    }
    case kSelectorModbusAscii: {
      std::vector<uint8_t> text;
      text.reserve(2 * buffer.size() + 5);
      text.push_back(':');
      for (uint8_t b : buffer) AppendHex(text, b);
      AppendHex(text, ModbusLrc(buffer.data(), buffer.size()));
      text.push_back('\r');
      text.push_back('\n');
      buffer = std::move(text);
      break;
    }
    case kSelectorPercent: {
      if (buffer.empty()) return;
      std::vector<uint8_t> text;
      text.reserve(buffer.size() + 5);
      text.push_back('%');
      AppendHex(text, buffer[0]);
      text.insert(text.end(), buffer.begin() + 1, buffer.end());
      AppendHex(text, PercentSum(text.data(), text.size()));
      text.push_back('\r');
      buffer = std::move(text);
      break;
    }
    default:
      break;
  }
}

int UnwrapAlternate(uint8_t selector, std::vector<uint8_t>& buffer) {
  switch (selector) {
    case kSelectorModbusRtu: return UnwrapRtu(buffer);
    case kSelectorModbusAscii: return UnwrapAscii(buffer);
    case kSelectorPercent: return UnwrapPercent(buffer);
    default: return 6;
  }
}

std::vector<uint8_t> BuildAlternateRequest(uint8_t selector, uint8_t addressByte,
                                           const uint8_t* request, size_t length) {
  std::vector<uint8_t> buffer;
  buffer.reserve(length + 1);
  buffer.push_back(addressByte);
  if (request != nullptr) buffer.insert(buffer.end(), request, request + length);
  WrapAlternate(selector, buffer);
  return buffer;
}

int CheckAlternateReply(uint8_t selector, uint8_t addressByte, const uint8_t* reply, size_t count,
                        std::vector<uint8_t>& data) {
  data.clear();
  std::vector<uint8_t> buffer;
  if (reply != nullptr) buffer.assign(reply, reply + count);
  const int result = UnwrapAlternate(selector, buffer);
  if (result != 0) return result;
  if (buffer.empty()) return 6;
  if (buffer[0] != addressByte) return 5;
  data.assign(buffer.begin() + 1, buffer.end());
  return 0;
}

int TransactAlternateWithRetries(uint8_t selector, int addressLength, uint8_t addressByte,
                                 const uint8_t* request, size_t length, const FrameTransport& transport,
                                 std::vector<uint8_t>& data, int* attempts, const ReplyReader& readOn,
                                 bool lineEchoes, bool* echoed) {
  data.clear();
  int made = 0;
  int result = -1;
  if (addressLength <= 8) {
    const std::vector<uint8_t> wire = BuildAlternateRequest(selector, addressByte, request, length);
    int timeOuts = 0;
    int lineErrors = 0;
    for (;;) {
      uint8_t reply[kMaxReplyChars] = {};
      int count = 0;
      int portResult = transport(wire.data(), static_cast<int>(wire.size()), reply, count);
      ++made;
      // On a line that gives requests back, the first copy of the request is its
      // echo, not the module's answer. The port ends a reply at its carriage return,
      // so the line feed of a Modbus ASCII request comes ahead of the next reply.
      const size_t echoedChars = static_cast<size_t>(std::clamp(count, 0, kMaxReplyChars));
      if (lineEchoes && portResult == 0 && echoedChars > 0 && echoedChars + 1 >= wire.size() &&
          echoedChars <= wire.size() && std::equal(reply, reply + echoedChars, wire.begin())) {
        if (echoed != nullptr) *echoed = true;
        std::fill(std::begin(reply), std::end(reply), 0);
        count = 0;
        portResult = readOn ? readOn(reply, count) : 2;
        const size_t rest = wire.size() - echoedChars;
        if (portResult == 0 && rest > 0 && count > static_cast<int>(rest) &&
            std::equal(wire.end() - static_cast<std::ptrdiff_t>(rest), wire.end(), reply)) {
          std::memmove(reply, reply + rest, static_cast<size_t>(count) - rest);
          count -= static_cast<int>(rest);
        }
      }
      if (portResult == 2 && timeOuts++ < 1) continue;
      if (portResult == 3 && lineErrors++ < 16) continue;
      if (portResult == 2 || portResult == 3 || portResult == -1) {
        result = portResult;
      } else {
        const size_t arrived = static_cast<size_t>(std::clamp(count, 0, kMaxReplyChars));
        result = CheckAlternateReply(selector, addressByte, reply, arrived, data);
      }
      break;
    }
  }
  if (attempts != nullptr) *attempts = made;
  return result;
}

std::vector<uint8_t> SwitchBackRequest(uint8_t selector) {
  switch (selector) {
    case kSelectorModbusRtu:
    case kSelectorModbusAscii: return {0x05, 0xF0, 0xF0, 0xFF, 0x00};
    case kSelectorPercent: return {'T', 'E', 'V', 'I'};
    default: return {};
  }
}

}  // namespace exchange

uint16_t FrameCodec::Checksum(const uint8_t* data, size_t length) const {
  return exchange::AlternateChecksum(exchange::ProtocolSelector(), data, length);
}

void FrameCodec::Wrap(std::vector<uint8_t>& buffer) const {
  exchange::WrapAlternate(exchange::ProtocolSelector(), buffer);
}

int FrameCodec::Unwrap(std::vector<uint8_t>& buffer) const {
  return exchange::UnwrapAlternate(exchange::ProtocolSelector(), buffer);
}
