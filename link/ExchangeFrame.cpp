#include "link/ExchangeFrame.h"

#include <algorithm>

#include "link/DeviceErrors.h"
#include "link/ResultFlags.h"
#include "platform/CFormat.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

uint16_t hash_buffer(const uint8_t* data, size_t length) {
  uint16_t reg = 0;
  for (size_t i = 0; i < length; ++i) {
    for (int bit = 7; bit >= 0; --bit) {
      const bool in = ((data[i] >> bit) & 1) != 0;
      const bool top = (reg & 0x8000) != 0;
      reg = static_cast<uint16_t>(reg << 1);
      if (in != top) reg ^= 0x8F57;
    }
  }
  return reg;
}

std::string encode_buffer(const uint8_t* frame, size_t length) {
  std::string text;
  text.reserve(2 * length + 2);
  text += '#';
  for (size_t i = 0; i < length; ++i) {
    text += static_cast<char>('G' + (frame[i] >> 4));
    text += static_cast<char>('G' + (frame[i] & 0x0F));
  }
  text += '\r';
  return text;
}

namespace {

int TetradValue(char c) {
  return (c >= 'G' && c <= 'V') ? c - 'G' : -1;
}

}  // namespace

bool DecodeTetrads(const char* text, size_t pairs, uint8_t* out) {
  for (size_t i = 0; i < pairs; ++i) {
    const int high = TetradValue(text[2 * i]);
    const int low = TetradValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    out[i] = static_cast<uint8_t>((high << 4) | low);
  }
  return true;
}

namespace exchange {

int RequestAddress(const FrameAddressing& addressing) {
  return addressing.channel == kBroadcastChannel ? kBroadcastAddress
                                                 : addressing.moduleAddress + addressing.channel;
}

AddressFault CheckRequestAddress(const FrameAddressing& addressing) {
  const int address = RequestAddress(addressing);
  if (address < 0) return AddressFault::Negative;
  if (address > MaxFrameAddress(addressing.addressLength)) return AddressFault::BeyondAddressing;
  if (address == kBroadcastAddress && addressing.channel != kBroadcastChannel) return AddressFault::Broadcast;
  return AddressFault::None;
}

bool BuildRequestFrame(int requestBit, uint16_t nameHash, const uint8_t* data, int dataLength,
                       const FrameAddressing& addressing, std::vector<uint8_t>& frame) {
  frame.clear();
  if (dataLength < 0 || dataLength > kMaxDataLength || (dataLength > 0 && data == nullptr)) return false;

  const AddressFault fault = CheckRequestAddress(addressing);
  if (fault == AddressFault::Negative || fault == AddressFault::BeyondAddressing) return false;
  const int address = RequestAddress(addressing);
  uint8_t addressByte = 0;
  uint8_t highBits = 0;
  if (addressing.addressLength == 11) {
    // Broadcast 255 thus becomes byte 31 with the three top bits of byte 1 set.
    addressByte = static_cast<uint8_t>((address >> 3) & 0xFF);
    highBits = static_cast<uint8_t>((address & 0x07) << 5);
  } else {
    addressByte = static_cast<uint8_t>(address);
  }

  frame.reserve(static_cast<size_t>(dataLength) + kFrameOverhead);
  frame.push_back(addressByte);
  frame.push_back(static_cast<uint8_t>(highBits | ((requestBit ? 1 : 0) << 4) | (dataLength & 0x0F)));
  frame.push_back(static_cast<uint8_t>(nameHash >> 8));
  frame.push_back(static_cast<uint8_t>(nameHash & 0xFF));
  frame.insert(frame.end(), data, data + dataLength);
  const uint16_t crc = hash_buffer(frame.data(), frame.size());
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  return true;
}

std::string EncodeRequest(int requestBit, uint16_t nameHash, const uint8_t* data, int dataLength,
                          const FrameAddressing& addressing) {
  std::vector<uint8_t> frame;
  if (!BuildRequestFrame(requestBit, nameHash, data, dataLength, addressing, frame)) return {};
  return encode_buffer(frame.data(), frame.size());
}

int RetryLimit(FrameOutcome outcome) {
  switch (outcome) {
    case FrameOutcome::TimeOut: return 1;
    case FrameOutcome::LineError: return 16;
    case FrameOutcome::LostStart: return 10;
    default: return 0;
  }
}

bool RetryCounters::Retry(FrameOutcome outcome) {
  int* counter = nullptr;
  switch (outcome) {
    case FrameOutcome::TimeOut: counter = &timeOuts; break;
    case FrameOutcome::LineError: counter = &lineErrors; break;
    case FrameOutcome::LostStart: counter = &lostStarts; break;
    default: return false;
  }
  if (*counter >= RetryLimit(outcome)) return false;
  ++*counter;
  return true;
}

FrameReply TransactWithRetries(const std::string& request, uint16_t requestHash, bool replyIgnored,
                               const FrameTransport& transport, int* attempts) {
  RetryCounters counters;
  int made = 0;
  FrameReply reply;
  for (;;) {
    uint8_t buffer[kMaxReplyChars] = {};
    int count = 0;
    const int portResult = transport(reinterpret_cast<const uint8_t*>(request.data()),
                                     static_cast<int>(request.size()), buffer, count);
    ++made;
    if (replyIgnored) {
      reply = FrameReply{};
      reply.outcome = FrameOutcome::Success;
      reply.hash = requestHash;
      break;
    }
    reply = ParseReply(portResult, buffer, count, requestHash);
    if (!counters.Retry(reply.outcome)) break;
  }
  if (attempts != nullptr) *attempts = made;
  return reply;
}

FrameReply ParseReply(int portResult, const uint8_t* reply, int count, uint16_t requestHash) {
  FrameReply result;
  if (portResult == 2) {
    result.outcome = FrameOutcome::TimeOut;
    result.strayChars = std::clamp(count, 0, kMaxReplyChars);
    return result;
  }
  if (portResult == 3) { result.outcome = FrameOutcome::LineError; return result; }
  if (portResult == -1) { result.outcome = FrameOutcome::Cancelled; return result; }

  count = std::clamp(count, 0, kMaxReplyChars);
  if (reply == nullptr || count < 2 || reply[0] != '#') {
    result.outcome = FrameOutcome::LostStart;
    return result;
  }

  // From here on the reply is taken as a frame; anything not whole is a bad frame.
  result.outcome = FrameOutcome::BadChecksum;
  if (reply[count - 1] != '\r' || (count - 2) % 2 != 0) return result;
  const int pairs = (count - 2) / 2;
  if (pairs < kFrameOverhead) return result;
  uint8_t bytes[kMaxReplyChars / 2] = {};
  if (!DecodeTetrads(reinterpret_cast<const char*>(reply + 1), static_cast<size_t>(pairs), bytes)) return result;
  const int dataLength = bytes[1] & 0x0F;
  if (pairs != dataLength + kFrameOverhead) return result;
  const uint16_t stored = static_cast<uint16_t>((bytes[4 + dataLength] << 8) | bytes[5 + dataLength]);
  if (hash_buffer(bytes, static_cast<size_t>(pairs - 2)) != stored) return result;

  result.addressByte = bytes[0];
  result.hash = static_cast<uint16_t>((bytes[2] << 8) | bytes[3]);
  result.dataLength = dataLength;
  std::copy(bytes + 4, bytes + 4 + dataLength, result.data);
  if (result.hash == requestHash) {
    result.outcome = FrameOutcome::Success;
  } else if (result.hash == kHashNErr) {
    result.outcome = FrameOutcome::DeviceError;
  } else {
    result.outcome = FrameOutcome::ForeignHash;
  }
  return result;
}

std::string FrameErrorText(const FrameReply& reply) {
  switch (reply.outcome) {
    case FrameOutcome::Success:
    case FrameOutcome::Cancelled:
      return {};
    case FrameOutcome::PortClosed:
      return resources::LoadString(321);
    case FrameOutcome::TimeOut:
      return resources::LoadString(197);
    case FrameOutcome::LineError:
      return resources::LoadString(425);
    case FrameOutcome::LostStart:
      return resources::LoadString(424) + "\n";
    case FrameOutcome::BadChecksum:
      return resources::LoadString(423);
    case FrameOutcome::ForeignHash:
      return resources::LoadString(422) + "\n";
    case FrameOutcome::DeviceError: {
      std::string text;
      // An error reply without its code still is a failure that needs a text.
      if (!DeviceErrorText(reply.data, reply.dataLength, text)) text = resources::LoadString(223);
      return text;
    }
  }
  return {};
}

uint32_t UpdateResultFlags(uint32_t flags, const FrameReply& reply) {
  switch (reply.outcome) {
    case FrameOutcome::Success:
      // A reply arrived: a time-out before it becomes a reply that came too late.
      return flags == kResultExchangeError ? kResultNoUsableReply : flags;
    case FrameOutcome::Cancelled:
      return flags;
    case FrameOutcome::TimeOut:
      return flags == kResultNoUsableReply ? flags : kResultExchangeError;
    case FrameOutcome::DeviceError:
      if (reply.dataLength >= 1) return kResultDeviceError;
      break;
    default:
      break;
  }
  // Every other way a frame ends without a usable reply (a broken or cut frame, a
  // reply for another request, line errors, a closed port, and whatever outcome is
  // added later) fails the run: values left without data never end it as success.
  return kResultNoUsableReply;
}

AttributeRequest BuildAttributeRequest(bool write, bool fullAccess, bool attributeOverride,
                                       bool editable, int owner, bool indexed, int linearIndex,
                                       uint16_t nameHash) {
  AttributeRequest request;
  if (write && fullAccess) {
    request.requestBit = 0;
    uint8_t attribute = 3;
    if (!attributeOverride) attribute = static_cast<uint8_t>((editable ? 1 : 0) | (owner == 0 ? 2 : 0));
    request.data.push_back(attribute);
  }
  if (indexed) {
    request.data.push_back(0);
    request.data.push_back(static_cast<uint8_t>(linearIndex & 0xFF));
  }
  request.data.push_back(static_cast<uint8_t>(nameHash >> 8));
  request.data.push_back(static_cast<uint8_t>(nameHash & 0xFF));
  return request;
}

AttributeReply ParseAttributeReply(const uint8_t* data, int dataLength, bool indexed) {
  AttributeReply reply;
  if (data == nullptr || dataLength != (indexed ? 5 : 3)) return reply;
  reply.sizeOk = true;
  reply.editable = (data[0] & 1) != 0;
  reply.owner = (data[0] & 2) == 0 ? 1 : 0;
  return reply;
}

void AppendIndexBytes(std::vector<uint8_t>& data, int linearIndex) {
  data.push_back(static_cast<uint8_t>((linearIndex >> 8) & 0xFF));
  data.push_back(static_cast<uint8_t>(linearIndex & 0xFF));
}

int ValueLengthOfReply(int replyLength, bool isJuRD, bool indexed) {
  int length = replyLength;
  if (isJuRD) length -= 3;
  if (indexed) length -= 2;
  return std::max(length, 0);
}

std::string ExchangeTraceLine(bool request, int position, uint8_t value) {
  const std::string character =
      value < 32 ? std::string(".") : platform::Cp1251ToUtf8(std::string(1, static_cast<char>(value)));
  return platform::Format(request ? ">> %s: #%2i : %03i = 0x%02X (%s)" : "<< %s: #%2i : %03i = 0x%02X (%s)",
                          resources::LoadString(request ? 417 : 416).c_str(), position, value, value,
                          character.c_str());
}

std::string RequestSizeTraceLine(int dataLength) {
  return platform::Format(resources::LoadString(418).c_str(), dataLength);
}

std::string ReplySizeTraceLine(int dataLength) {
  return platform::Format(resources::LoadString(415).c_str(), dataLength);
}

}  // namespace exchange
