#include "support/FakePort.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr uint16_t kErrorHash = 0x0233;
}

uint16_t FakePort::Crc(const uint8_t* data, size_t length) {
  // Table-free, byte-wise: shift the byte into the top and reduce bit by bit.
  uint32_t crc = 0;
  for (size_t i = 0; i < length; ++i) {
    crc ^= static_cast<uint32_t>(data[i]) << 8;
    for (int k = 0; k < 8; ++k) {
      crc <<= 1;
      if (crc & 0x10000) crc ^= 0x18F57;
    }
  }
  return static_cast<uint16_t>(crc);
}

std::string FakePort::Encode(const std::vector<uint8_t>& frame) {
  static const char kDigits[] = "GHIJKLMNOPQRSTUV";
  std::string text = "#";
  for (uint8_t b : frame) {
    text.push_back(kDigits[b / 16]);
    text.push_back(kDigits[b % 16]);
  }
  text.push_back('\r');
  return text;
}

bool FakePort::Decode(const std::string& text, Request& out) {
  out.raw = text;
  out.decoded = false;
  if (text.size() < 14 || text.front() != '#' || text.back() != '\r' || text.size() % 2 != 0) return false;
  std::vector<uint8_t> bytes;
  for (size_t i = 1; i + 1 < text.size(); i += 2) {
    const int high = text[i] - 'G';
    const int low = text[i + 1] - 'G';
    if (high < 0 || high > 15 || low < 0 || low > 15) return false;
    bytes.push_back(static_cast<uint8_t>(high * 16 + low));
  }
  const size_t n = bytes[1] & 0x0F;
  if (bytes.size() != n + 6) return false;
  if (Crc(bytes.data(), bytes.size()) != 0) return false;  // a CRC appended high byte first leaves 0
  out.addressByte = bytes[0];
  out.highBits = static_cast<uint8_t>(bytes[1] >> 5);
  out.read = (bytes[1] & 0x10) != 0;
  out.hash = static_cast<uint16_t>(bytes[2] * 256 + bytes[3]);
  out.data.assign(bytes.begin() + 4, bytes.begin() + 4 + static_cast<std::ptrdiff_t>(n));
  out.decoded = true;
  return true;
}

std::string FakePort::ReplyText(uint8_t addressByte, uint16_t hash, const std::vector<uint8_t>& data,
                                uint8_t highBits, bool read) {
  std::vector<uint8_t> frame = {addressByte,
                                static_cast<uint8_t>((highBits << 5) | (read ? 0x10 : 0) | (data.size() & 0x0F)),
                                static_cast<uint8_t>(hash >> 8),
                                static_cast<uint8_t>(hash & 0xFF)};
  frame.insert(frame.end(), data.begin(), data.end());
  const uint16_t crc = Crc(frame.data(), frame.size());
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  return Encode(frame);
}

int FakePort::Open() {
  if (openResult == 0) open = true;
  return openResult;
}

int FakePort::Purge(int) { return open ? 0 : -2; }

int FakePort::Close() {
  if (!open) return -2;
  open = false;
  return 0;
}

FakePort::Answer FakePort::FromTable(const Request& request) {
  Answer answer;
  if (!request.decoded) {
    answer.fault = Fault::Silence;
    return answer;
  }
  const bool indexed = std::find(indexedHashes.begin(), indexedHashes.end(), request.hash) != indexedHashes.end();
  std::vector<uint8_t> data = request.data;
  int index = 0;
  if (indexed && data.size() >= 2) {
    index = data[data.size() - 2] * 256 + data.back();
    data.resize(data.size() - 2);
  }
  const auto key = std::make_pair(request.hash, index);
  if (request.read) {
    const auto found = values.find(key);
    if (found == values.end()) {
      answer.fault = Fault::DeviceError;
      answer.code = 0x28;  // no descriptor
      return answer;
    }
    answer.data = found->second;
  } else {
    values[key] = data;
    answer.data = data;
  }
  if (indexed) {
    answer.data.push_back(static_cast<uint8_t>(index >> 8));
    answer.data.push_back(static_cast<uint8_t>(index & 0xFF));
  }
  return answer;
}

int FakePort::Transact(const uint8_t* request, int length, uint8_t reply[kReplySize], int& replyCount) {
  replyCount = 0;
  if (onTransact) onTransact(static_cast<int>(requests.size()));
  if (!open || CancelEvent().IsSet()) return -1;
  std::memset(reply, 0, kReplySize);

  Request decoded;
  Decode(std::string(reinterpret_cast<const char*>(request), static_cast<size_t>(std::max(length, 0))), decoded);
  requests.push_back(decoded);

  Answer answer;
  if (!script.empty()) {
    answer = script.front();
    script.pop_front();
  } else if (handler) {
    answer = handler(decoded);
  } else {
    answer = FromTable(decoded);
  }

  const uint8_t addressByte = decoded.addressByte;
  const uint8_t highBits = decoded.highBits;
  std::string text;
  switch (answer.fault) {
    case Fault::Silence: return 2;
    case Fault::LineError: return 3;
    case Fault::Cancel: return -1;
    case Fault::Garbage: text = "GARBAGE\r"; break;
    case Fault::Raw: text = answer.raw; break;
    case Fault::None: text = ReplyText(addressByte, decoded.hash, answer.data, highBits, decoded.read); break;
    case Fault::ForeignHash: text = ReplyText(addressByte, static_cast<uint16_t>(decoded.hash ^ 0x1111), answer.data, highBits, decoded.read); break;
    case Fault::DeviceError:
      text = ReplyText(addressByte, kErrorHash, {static_cast<uint8_t>(answer.code)}, highBits, decoded.read);
      break;
    case Fault::BadCrc:
      text = ReplyText(addressByte, decoded.hash, answer.data, highBits, decoded.read);
      // Change the CRC's last half-byte character to another valid one.
      text[text.size() - 2] = text[text.size() - 2] == 'G' ? 'H' : 'G';
      break;
    case Fault::Cut:
      text = ReplyText(addressByte, decoded.hash, answer.data, highBits, decoded.read);
      text.resize(text.size() / 2);
      break;
  }
  replyCount = static_cast<int>(std::min<size_t>(text.size(), kReplySize));
  std::memcpy(reply, text.data(), static_cast<size_t>(replyCount));
  return 0;
}
