#include "link/ExchangeFrame.h"

#include <algorithm>
#include <optional>

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
  if (addressing.channel == kBroadcastChannel) return kBroadcastAddress;
  return platform::ClampToInt(static_cast<long long>(addressing.moduleAddress) + addressing.channel);
}

AddressFault CheckRequestAddress(const FrameAddressing& addressing) {
  const int address = RequestAddress(addressing);
  if (address < 0) return AddressFault::Negative;
  if (address > MaxFrameAddress(addressing.addressLength)) return AddressFault::BeyondAddressing;
  if (address == kBroadcastAddress && addressing.channel != kBroadcastChannel) return AddressFault::Broadcast;
  if (address == 0 && addressing.modbusFraming) return AddressFault::Broadcast;
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

bool MakeFrameRequest(int requestBit, uint16_t nameHash, const uint8_t* data, int dataLength,
                      const FrameAddressing& addressing, int echoedTail, FrameRequest& out) {
  out = FrameRequest{};
  if (!BuildRequestFrame(requestBit, nameHash, data, dataLength, addressing, out.frame)) return false;
  out.text = encode_buffer(out.frame.data(), out.frame.size());
  out.echoedTail = std::clamp(echoedTail, 0, dataLength);
  return true;
}

namespace {

// Whether two values, high byte first, are the same number in different widths: the
// shorter one widened with zeros, or with ones when its top bit is set (a module may
// acknowledge a one-byte write in two bytes).
bool SameNumber(const uint8_t* a, int aLength, const uint8_t* b, int bLength) {
  if (aLength < 0 || bLength < 0) return false;
  if (aLength > bLength) return SameNumber(b, bLength, a, aLength);
  const int extra = bLength - aLength;
  if (!std::equal(a, a + aLength, b + extra)) return false;
  const auto all = [&](uint8_t fill) { return std::all_of(b, b + extra, [fill](uint8_t x) { return x == fill; }); };
  return all(0) || (aLength > 0 && (a[0] & 0x80) != 0 && all(0xFF));
}

}  // namespace

ReplyMatch MatchReply(const FrameRequest& request, const FrameReply& reply, bool identicalIsEcho) {
  const std::vector<uint8_t>& sent = request.frame;
  const int length = std::clamp(reply.frameLength, 0, static_cast<int>(sizeof reply.frame));
  if (sent.size() < static_cast<size_t>(kFrameOverhead) || length < kFrameOverhead) return ReplyMatch::ForeignReply;
  const uint8_t* got = reply.frame;
  // Byte 0 carries the address (its high bits with 11-bit addressing), bits 7-5 of
  // byte 1 the low address bits (0 with 8-bit addressing).
  if (got[0] != sent[0] || (got[1] & 0xE0) != (sent[1] & 0xE0)) return ReplyMatch::ForeignAddress;
  if (identicalIsEcho && static_cast<size_t>(length) == sent.size() && std::equal(sent.begin(), sent.end(), got))
    return ReplyMatch::Echo;
  // The module answers in the request's layout: a reply with the other request bit
  // belongs to another exchange (a read's late answer, or a write's), error replies too.
  if ((got[1] & 0x10) != (sent[1] & 0x10)) return ReplyMatch::ForeignReply;
  const uint16_t hash = static_cast<uint16_t>((got[2] << 8) | got[3]);
  // Besides its direction, the module's error reply names no request.
  if (hash == kHashNErr) return ReplyMatch::Answer;
  if (hash != static_cast<uint16_t>((sent[2] << 8) | sent[3])) return ReplyMatch::ForeignReply;
  const int sentData = sent[1] & 0x0F;
  const int gotData = got[1] & 0x0F;
  const int tail = std::clamp(request.echoedTail, 0, sentData);
  if (gotData < tail || !std::equal(sent.begin() + 4 + sentData - tail, sent.begin() + 4 + sentData,
                                    got + 4 + gotData - tail))
    return ReplyMatch::ForeignReply;
  const int head = std::clamp(request.echoedHead, 0, sentData - tail);
  if (gotData < head + tail || !std::equal(sent.begin() + 4, sent.begin() + 4 + head, got + 4))
    return ReplyMatch::ForeignReply;
  // An acknowledgement without a value (a command's) names no other value.
  if (request.answerRepeatsValue && gotData > tail &&
      !SameNumber(sent.data() + 4, sentData - tail, got + 4, gotData - tail))
    return ReplyMatch::OtherValue;
  return ReplyMatch::Answer;
}

namespace {

// Replies one transaction may pass over: far more than a response time-out can
// carry at the rates in use; only a transport without a time-out reaches it.
constexpr int kMaxFramesPerTransaction = 64;

bool IdenticalToRequest(const FrameRequest& request, const FrameReply& reply) {
  return reply.frameLength == static_cast<int>(request.frame.size()) &&
         std::equal(request.frame.begin(), request.frame.end(), reply.frame);
}

// One transaction: the request, then replies until one answers it, another outcome
// ends it, or the response time-out passes; then ChooseAnswer says which frame
// answers (`by`, left empty when the frame ended before).
FrameReply OneTransaction(const FrameRequest& request, const FrameTransport& transport, const ReplyReader& readOn,
                          bool& lineEchoes, std::optional<SilenceAnswer>& by) {
  const uint16_t hash = request.frame.size() >= 4 ? static_cast<uint16_t>(request.frame[2] << 8 | request.frame[3]) : 0;
  const bool readWithData = request.answerCarriesData && request.frame.size() >= 2 && (request.frame[1] & 0x10) != 0;
  uint8_t buffer[kMaxReplyChars] = {};
  int count = 0;
  int portResult = transport(reinterpret_cast<const uint8_t*>(request.text.data()),
                             static_cast<int>(request.text.size()), buffer, count);
  TransactionSeen seen;
  bool echoed = false;
  FrameReply held, identical, last;  // `last`: the other reply the frame would fail with
  for (int frames = 0;; ++frames) {
    FrameReply reply = ParseReply(portResult, buffer, count, hash);
    reply.echoed = echoed;
    const bool whole = reply.outcome == FrameOutcome::Success || reply.outcome == FrameOutcome::ForeignHash ||
                       reply.outcome == FrameOutcome::DeviceError;
    // A broken frame (a corrupted copy of an earlier reply, noise) may have the
    // answer right behind it: it is passed over like another request's reply.
    if (reply.outcome == FrameOutcome::BadChecksum && portResult == 0) {
      seen.badFrame = true;
    } else if (reply.outcome == FrameOutcome::TimeOut) {
      const AnswerChoice choice = ChooseAnswer(seen);
      by = choice.by;
      if (choice.by == SilenceAnswer::Nothing) return reply;
      FrameReply& answer = choice.by == SilenceAnswer::HeldValue ? held
                           : choice.by == SilenceAnswer::Identical ? identical
                                                                   : last;
      answer.echoed = echoed;
      answer.mirrored = choice.by == SilenceAnswer::Identical;
      if (choice.by == SilenceAnswer::Others) {
        // The others' data is no answer to anything asked.
        answer.outcome = choice.outcome;
        answer.dataLength = 0;
        std::fill(std::begin(answer.data), std::end(answer.data), 0);
        answer.strayChars = reply.strayChars;
      }
      return answer;
    } else if (!whole) {
      return reply;
    } else {
      // On a line known to echo, a write's echo comes before the module's answer,
      // which for a write (or a command read) repeats the request as well.
      switch (MatchReply(request, reply, request.answerNeverIdentical || (lineEchoes && !echoed))) {
        case ReplyMatch::Answer:
          if (readWithData && !lineEchoes && !seen.identical && IdenticalToRequest(request, reply)) {
            seen.identical = true;
            identical = reply;
            break;
          }
          if (seen.identical) {
            // The frame just like the request was the line's echo.
            echoed = true;
            reply.echoed = true;
          }
          // What the answer came with is what the line does now: a converter that
          // stopped echoing no longer holds back a write's acknowledgement.
          if (readWithData || !echoed) lineEchoes = echoed;
          return reply;
        case ReplyMatch::OtherValue:
          // Of several, the latest: the earlier ones may be copies of an earlier
          // exchange's acknowledgement.
          seen.otherValue = true;
          held = reply;
          break;
        case ReplyMatch::Echo:
          echoed = true;
          if (readWithData) lineEchoes = true;
          break;
        case ReplyMatch::ForeignAddress:
          seen.foreignAddress = true;
          last = reply;
          break;
        case ReplyMatch::ForeignReply:
          seen.foreignReply = true;
          if (!seen.foreignAddress) last = reply;
          break;
      }
    }
    if (frames + 1 >= kMaxFramesPerTransaction) {
      portResult = 2;
      count = 0;
      continue;
    }
    std::fill(std::begin(buffer), std::end(buffer), 0);
    count = 0;
    portResult = readOn ? readOn(buffer, count) : 2;
  }
}

}  // namespace

AnswerChoice ChooseAnswer(const TransactionSeen& seen) {
  if (seen.otherValue) return {SilenceAnswer::HeldValue, FrameOutcome::Success};
  if (seen.identical) return {SilenceAnswer::Identical, FrameOutcome::Success};
  if (seen.foreignAddress) return {SilenceAnswer::Others, FrameOutcome::ForeignAddress};
  if (seen.foreignReply) return {SilenceAnswer::Others, FrameOutcome::ForeignHash};
  if (seen.badFrame) return {SilenceAnswer::Others, FrameOutcome::BadChecksum};
  return {SilenceAnswer::Nothing, FrameOutcome::TimeOut};
}

FrameReply TransactWithRetries(const FrameRequest& request, bool replyIgnored, const FrameTransport& transport,
                               const ReplyReader& readOn, bool& lineEchoes, int* attempts) {
  RetryCounters counters;
  int made = 0;
  FrameReply reply;
  bool echoed = false;
  int timedOut = 0;
  for (;;) {
    ++made;
    if (replyIgnored) {
      uint8_t buffer[kMaxReplyChars] = {};
      int count = 0;
      transport(reinterpret_cast<const uint8_t*>(request.text.data()), static_cast<int>(request.text.size()), buffer,
                count);
      reply = FrameReply{};
      reply.outcome = FrameOutcome::Success;
      if (request.frame.size() >= 4) reply.hash = static_cast<uint16_t>(request.frame[2] << 8 | request.frame[3]);
      break;
    }
    std::optional<SilenceAnswer> by;  // none: the frame ended before the line fell silent
    reply = OneTransaction(request, transport, readOn, lineEchoes, by);
    echoed = echoed || reply.echoed;
    const bool timeOut = by.has_value() && by != SilenceAnswer::Identical;
    if (timeOut) ++timedOut;
    // Waiting for the right reply ended with the time-out: the time-out's rule. An
    // acknowledgement of another value never stands in for the retry it sends; it
    // answers only when it came after the last send (a module that stores the
    // value rounded), never one held from before it.
    if (counters.Retry(timeOut ? FrameOutcome::TimeOut : reply.outcome)) continue;
    if (by == SilenceAnswer::HeldValue) {
      --timedOut;
      if (!reply.echoed && (request.frame[1] & 0x10) == 0) lineEchoes = false;
    }
    break;
  }
  reply.echoed = echoed;
  // The sends that timed out may still be answered; the caller passes over what
  // comes for them before the next request.
  if (reply.outcome != FrameOutcome::Cancelled && reply.outcome != FrameOutcome::PortClosed)
    reply.unanswered = timedOut;
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
  // Another start inside the frame ("##..."): the frame begun first lost its start.
  if (std::find(reply + 1, reply + count, '#') != reply + count) {
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
  std::copy(bytes, bytes + pairs, result.frame);
  result.frameLength = pairs;
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
      return resources::LoadString(kStrPortOpenError);
    case FrameOutcome::TimeOut:
      return resources::LoadString(kStrTimeOut);
    case FrameOutcome::LineError:
      return resources::LoadString(kStrBadPortSettings);
    case FrameOutcome::LostStart:
      return resources::LoadString(kStrFrameStartLost) + "\n";
    case FrameOutcome::BadChecksum:
      return resources::LoadString(kStrReplyChecksumError);
    case FrameOutcome::ForeignHash:
      return resources::LoadString(kStrOtherCommandCode) + "\n";
    case FrameOutcome::ForeignAddress:
      return resources::LoadString(kStrAddressMismatch);
    case FrameOutcome::PortGone:
      return resources::LoadString(kStrPortGone);
    case FrameOutcome::DeviceError: {
      std::string text;
      // An error reply without its code still is a failure that needs a text.
      if (!DeviceErrorText(reply.data, reply.dataLength, text)) text = resources::LoadString(kStrBadReply);
      return text;
    }
  }
  return {};
}

uint32_t UpdateResultFlags(uint32_t flags, const FrameReply& reply) {
  // Combined, so that the exit code (the lowest flag) does not depend on the order
  // of the faults; a reply that came later does not make a time-out another fault.
  switch (reply.outcome) {
    case FrameOutcome::Success:
    case FrameOutcome::Cancelled:
      return flags;
    case FrameOutcome::TimeOut:
      return flags | kResultExchangeError;
    case FrameOutcome::DeviceError:
      if (reply.dataLength >= 1) return flags | kResultDeviceError;
      break;
    default:
      break;
  }
  // Every other way a frame ends without a usable reply (a broken or cut frame, a
  // reply for another request, line errors, a closed port, and whatever outcome is
  // added later) fails the run: values left without data never end it as success.
  return flags | kResultNoUsableReply;
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
                          resources::LoadString(request ? kStrTraceRequest : kStrTraceReply).c_str(), position, value, value,
                          character.c_str());
}

std::string RequestSizeTraceLine(int dataLength) {
  return platform::Format(resources::LoadString(kStrRequestDataSize).c_str(), dataLength);
}

std::string ReplySizeTraceLine(int dataLength) {
  return platform::Format(resources::LoadString(kStrReplyDataSize).c_str(), dataLength);
}

}  // namespace exchange
