#include "link/DeviceIO.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <span>

#include "link/AlternateFraming.h"
#include "link/AppState.h"
#include "link/DeviceErrors.h"
#include "link/NetworkName.h"
#include "model/DeviceModelHooks.h"
#include "model/Parameter.h"
#include "model/TypedNumber.h"
#include "platform/CFormat.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

namespace {

// Parity codes of the port for the parity items none, even, odd.
constexpr int kParityCodes[] = {3, 1, 4};

// The longest request data: a value of up to 4 bytes and two index bytes fit
// easily; the length field allows 15.
constexpr int kRequestDataLimit = exchange::kMaxDataLength;

}  // namespace

DeviceIO::DeviceIO()
    : port_(std::make_unique<Sio>()), settings_(std::make_unique<Elements::NetRS485prg>()) {
  settings_->InitParameters();
  fullAccess = App().FullAccess();
}

DeviceIO::~DeviceIO() = default;

std::unique_ptr<Sio> DeviceIO::ReplacePort(std::unique_ptr<Sio> port) {
  std::lock_guard lock(busLock_);
  std::swap(port, port_);
  if (!port_) port_ = std::make_unique<Sio>();
  return port;
}

void DeviceIO::ApplyPortSettings() {
  // The port's fields are read by every frame.
  std::lock_guard lock(busLock_);
  ApplyPortSettingsLocked();
}

int DeviceIO::ReopenSerialPort(bool open) {
  std::lock_guard lock(busLock_);
  port_->Close();
  ApplyPortSettingsLocked();
  // What the old line did says nothing of the new one.
  lineEchoes_ = lineMirrors_ = false;
  return open ? port_->Open() : -1;
}

void DeviceIO::ApplyPortSettingsLocked() {
  Elements::NetRS485prg& s = *settings_;
  Sio& sio = *port_;
  sio.portName = s.GetParameterValue("Port");
  sio.baudRate = static_cast<uint32_t>(std::max(platform::Atoi(s.GetParameterValue("bPS")), 0));
  // An address text that is none is no address 0: every request is then refused.
  sio.moduleAddress = model::ReadAddressText(s.GetParameterValue("Addr")).value_or(-1);
  sio.addressLength = platform::Atoi(s.GetParameterValue("A.Len"));
  const model::DeviceModelHooks* model = model::CurrentDeviceModel();
  sio.dataBits = model != nullptr && model->IsEightBitOnlyModel() ? 8 : platform::Atoi(s.GetParameterValue("LEn"));
  sio.stopBits = platform::Atoi(s.GetParameterValue("Sbit"));
  if (const Parameter* prty = s.GetParameterByName("PrtY")) {
    for (int i = 0; i < 3; ++i) {
      if (prty->value == prty->GetEnumName(i)) {
        sio.parityCode = kParityCodes[i];
        break;
      }
    }
  }
  s.ClearModifiedFlags();
  App().networkSettingsWritten = false;
}

void DeviceIO::WhileNoFrameRuns(const std::function<void()>& change) {
  std::lock_guard lock(busLock_);
  change();
}

int DeviceIO::OpenSerialPort() {
  std::lock_guard lock(busLock_);
  return port_->Open();
}

int DeviceIO::CloseSerialPort() {
  std::lock_guard lock(busLock_);
  return port_->Close();
}

void DeviceIO::SetConverterMode(int mode) {
  std::lock_guard lock(busLock_);
  port_->wholeWrite = mode != 0 ? 1 : 0;
}

int DeviceIO::ConverterMode() {
  std::lock_guard lock(busLock_);
  return port_->wholeWrite;
}

exchange::FrameTransport DeviceIO::Transport() {
  return [this](const uint8_t* request, int length, uint8_t* reply, int& count) {
    return port_->Transact(request, length, reply, count);
  };
}

exchange::FrameReply DeviceIO::SendFrame(int requestBit, uint16_t nameHash, const uint8_t* data, int dataLength,
                                         int channel, std::string& errorText, ReplyShape shape) {
  exchange::FrameReply reply;
  std::lock_guard lock(busLock_);
  Sio& sio = *port_;
  const exchange::FrameAddressing addressing{sio.addressLength, sio.moduleAddress, channel};
  // A request that would reach another module, or every module, never goes out.
  if (std::string refusal = RequestAddressRefusal(addressing); !refusal.empty()) {
    errorText = std::move(refusal);
    return reply;
  }
  exchange::FrameRequest request;
  if (!exchange::MakeFrameRequest(requestBit, nameHash, data, dataLength, addressing, shape.echoedTail, request)) {
    // More data than a frame can describe: nothing goes out.
    errorText = resources::LoadString(kStrNotEncodable);
    return reply;
  }
  request.answerCarriesData = shape.answerCarriesData;
  request.echoedHead = shape.echoedHead;
  request.answerNeverIdentical = shape.answerNeverIdentical;
  request.answerRepeatsValue = shape.answerRepeatsValue;
  sio.rtuFraming = exchange::ProtocolSelector() == exchange::kSelectorModbusRtu;
  const model::DeviceModelHooks* model = model::CurrentDeviceModel();
  // No module answers a broadcast, whatever the model: it goes out once and counts
  // as done (waiting and retrying would leave the program on the old settings
  // after the modules took the new ones).
  const bool replyIgnored = channel == exchange::kBroadcastChannel ||
                            (nameHash == exchange::kHashAPLY && model != nullptr && !model->RepliesToApply());
  // A port whose device went away is opened again by its path once it is back (a
  // converter plugged in again); until then every frame says so.
  if (sio.Vanished() && sio.Open() == 0) lineEchoes_ = lineMirrors_ = false;
  // A closed port is a failure with its reason, never taken for a cancel (nor an
  // "APLY" that nobody heard for one that was sent).
  if (sio.Vanished()) {
    reply.outcome = exchange::FrameOutcome::PortGone;
  } else if (!sio.IsOpen()) {
    reply.outcome = exchange::FrameOutcome::PortClosed;
  } else {
    reply = exchange::TransactWithRetries(
        request, replyIgnored, Transport(),
        [this](uint8_t* buffer, int& count) { return port_->ReadOn(buffer, count); }, lineEchoes_);
    if (replyIgnored) return reply;
    if (reply.outcome == exchange::FrameOutcome::Success && (request.frame[1] & 0x10) != 0 &&
        shape.answerCarriesData)
      lineMirrors_ = reply.mirrored;
    // A frame that heard nothing at all leaves nothing owed beyond one quiet time-out.
    PassOverLateAnswers(reply.unanswered, reply.outcome != exchange::FrameOutcome::TimeOut);
    // Only a whole frame of the module's (its value or its error code) lets the next
    // request skip the purge; a garbled reply may have more behind it, and so may a
    // write's answer that carries just what was sent: on a line not yet known to
    // echo, that may be the request itself with the module's answer still to come.
    // A reply of another module or of an earlier request that comes in the gap is
    // passed over by the next frame like any other.
    const bool echoLike = reply.dataLength == dataLength &&
                          (dataLength == 0 || std::memcmp(reply.data, data, static_cast<size_t>(dataLength)) == 0);
    if (reply.outcome == exchange::FrameOutcome::DeviceError ||
        (reply.outcome == exchange::FrameOutcome::Success && !echoLike))
      sio.MarkReplyWhole();
    if (reply.outcome == exchange::FrameOutcome::Cancelled && !sio.IsOpen())
      reply.outcome = exchange::FrameOutcome::PortClosed;
    if (reply.outcome == exchange::FrameOutcome::LineError && sio.Vanished())
      reply.outcome = exchange::FrameOutcome::PortGone;
  }
  if (reply.outcome == exchange::FrameOutcome::Cancelled) return reply;
  // Nothing but frames just like the request came back: the module was not heard.
  tally_.Count(reply.mirrored ? exchange::FrameOutcome::TimeOut : reply.outcome, exchange::ProtocolSelector(),
               reply.strayChars > 0, reply.echoed || reply.mirrored);

  uint32_t flags = App().resultFlags.load();
  while (!App().resultFlags.compare_exchange_weak(flags, exchange::UpdateResultFlags(flags, reply))) {
  }
  if (reply.outcome != exchange::FrameOutcome::Success) errorText = exchange::FrameErrorText(reply);
  return reply;
}

void DeviceIO::PassOverLateAnswers(int unanswered, bool heard) {
  // A module slower than the response time-out answers the sends that timed out
  // after the frame ended; the next request must not meet those answers. What
  // comes is read and dropped until the line has been quiet for one response
  // time-out; once the module was heard (in the frame or after it), until every
  // timed-out send had its answer and the line then fell quiet. At most
  // kPassOverTimeouts response time-outs in all: a module later still cannot be
  // told from one answering the next request.
  constexpr int kPassOverTimeouts = 4;
  Sio& sio = *port_;
  const int quiet = std::max<int>(sio.responseTimeout, 1);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPassOverTimeouts * quiet);
  int came = 0;
  while (unanswered > 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    const bool owed = (heard || came > 0) && came < unanswered;
    uint8_t buffer[exchange::kMaxReplyChars] = {};
    int count = 0;
    const int result = sio.ReadWithin(buffer, count, static_cast<int>(owed ? left : std::min<long long>(left, quiet)));
    if (result == -1 || result == 3 || (result == 2 && count == 0)) break;
    if (result == 0) ++came;
  }
}

int DeviceIO::TransactFrame(int requestBit, uint16_t nameHash, const uint8_t* data, int dataLength, uint8_t* outData,
                            uint8_t& outLength, std::string& errorText, int channel, ReplyShape shape) {
  outLength = 0;
  const exchange::FrameReply reply = SendFrame(requestBit, nameHash, data, dataLength, channel, errorText, shape);
  // Only a reply with a valid CRC carries data (at most 15 bytes by its length field).
  const int length = std::clamp(reply.dataLength, 0, exchange::kMaxDataLength);
  if (length > 0 && outData != nullptr) std::memcpy(outData, reply.data, static_cast<size_t>(length));
  outLength = static_cast<uint8_t>(length);
  return reply.outcome == exchange::FrameOutcome::Success ? 1 : 0;
}

int DeviceIO::ExchangeFrame(int requestBit, uint16_t nameHash, const std::vector<uint8_t>& data, ReplyShape shape,
                            Parameter& parameter, uint8_t* reply, int& replyLength) {
  replyLength = 0;
  const exchange::FrameReply result = SendFrame(requestBit, nameHash, data.data(), static_cast<int>(data.size()),
                                                parameter.requestIndex, parameter.note, shape);
  if (result.outcome == exchange::FrameOutcome::Cancelled || result.outcome == exchange::FrameOutcome::PortClosed)
    return -1;
  if (result.outcome != exchange::FrameOutcome::Success) return 1;
  replyLength = std::clamp(result.dataLength, 0, exchange::kMaxDataLength);
  std::memcpy(reply, result.data, static_cast<size_t>(replyLength));
  return 0;
}

int DeviceIO::ExchangeParameter(int requestBit, Parameter* parameter, std::vector<std::string>* trace,
                                bool attributeOverride) {
  if (parameter != nullptr) parameter->answerNotDecoded = false;
  // A port that vanished is no closed one: the frame opens it again when it is back.
  if (!port_->IsOpen() && !port_->Vanished()) {
    if (parameter != nullptr) parameter->note = resources::LoadString(kStrPortOpenError);
    return -1;
  }
  if (exchange::ProtocolSelector() != exchange::kSelectorOwnFrame) return ExchangeSwitchBack(parameter);
  if (parameter == nullptr) return -1;
  if (platform::EqualsNoCase(parameter->name, "CHAr*")) {
    parameter->note.clear();
    return requestBit != 0 ? ReadNetworkName(*parameter, trace, attributeOverride)
                           : WriteNetworkName(*parameter, trace, attributeOverride);
  }
  return ExchangeOwnFrame(requestBit, *parameter, trace, attributeOverride);
}

int DeviceIO::ExchangeAttributes(int requestBit, Parameter& parameter, bool attributeOverride) {
  const exchange::AttributeRequest request =
      exchange::BuildAttributeRequest(requestBit == 0, fullAccess, attributeOverride, parameter.editable != 0,
                                      parameter.owner, parameter.indexed, parameter.linearIndex, parameter.NameHash());
  uint8_t reply[exchange::kMaxDataLength] = {};
  int length = 0;
  // The reply carries the attributes and repeats the index and the name they were asked for.
  // A read's answer adds the attribute byte, so it never looks like the request.
  ReplyShape shape{static_cast<int>(request.data.size()) - (request.requestBit == 0 ? 1 : 0), true};
  shape.answerNeverIdentical = request.requestBit != 0;
  const int frame =
      ExchangeFrame(request.requestBit, exchange::kHashAttributes, request.data, shape, parameter, reply, length);
  if (frame < 0) return -1;
  if (frame != 0) return kAttributeExchangeFailed;
  const exchange::AttributeReply attributes = exchange::ParseAttributeReply(reply, length, parameter.indexed);
  if (!attributes.sizeOk) {
    parameter.note = resources::LoadString(kStrAttributeSize);
    return kAttributeReplySize;
  }
  parameter.editable = attributes.editable ? 1 : 0;
  parameter.owner = static_cast<uint8_t>(attributes.owner);
  parameter.editableChanged = false;
  parameter.ownerChanged = false;
  return 0;
}

int DeviceIO::ExchangeOwnFrame(int requestBit, Parameter& parameter, std::vector<std::string>* trace,
                               bool attributeOverride) {
  parameter.note.clear();

  // The address is checked before anything is sent or traced: an attribute request
  // or the frame's bytes would otherwise be sent or shown for a frame never built.
  {
    std::lock_guard lock(busLock_);
    parameter.note = RequestAddressRefusal({port_->addressLength, port_->moduleAddress, parameter.requestIndex});
  }
  if (!parameter.note.empty()) {
    if (trace != nullptr) trace->push_back(parameter.note);
    return kAddressRefused;
  }

  // The value is encoded before anything is sent, the attribute request included.
  std::vector<uint8_t> data;
  if (requestBit == 0) {
    std::string encoded = parameter.value;
    const int converted = parameter.ConvertTextToData(encoded, data);
    // A value that does not convert is refused: sending what the conversion left
    // would write a wrong value. The encoder's own text says why, when it has one.
    if (converted == MyConverter::kRefused) {
      parameter.note = encoded != parameter.value && !encoded.empty()
                           ? encoded
                           : platform::Format(resources::LoadString(kStrNoEncoding).c_str(), parameter.name.c_str());
      if (trace != nullptr) trace->push_back(parameter.note);
      return 3;
    }
    if (converted == MyConverter::kNotConverted) {
      parameter.note = resources::LoadString(kStrNotEncodable);
      if (trace != nullptr) trace->push_back(parameter.note);
      return 4;
    }
    if (converted != MyConverter::kConverted && trace != nullptr) trace->push_back(resources::LoadString(kStrStrangeConversion));
  }
  if (parameter.indexed) exchange::AppendIndexBytes(data, parameter.linearIndex);
  if (static_cast<int>(data.size()) > kRequestDataLimit) {
    parameter.note = resources::LoadString(kStrNotEncodable);
    return 4;
  }

  // A polled parameter's attributes were settled before its polling began.
  // A broadcast has no answer to learn attributes from.
  if (parameter.attributes != 0 && !App().noAttributeExchange && !parameter.IsPolled() &&
      parameter.requestIndex != exchange::kBroadcastChannel) {
    const int result = ExchangeAttributes(requestBit, parameter, attributeOverride);
    if (result != 0) return result;
  }

  if (trace != nullptr) {
    trace->push_back(exchange::RequestSizeTraceLine(static_cast<int>(data.size())));
    for (size_t i = 0; i < data.size(); ++i)
      trace->push_back(exchange::ExchangeTraceLine(true, static_cast<int>(i), data[i]));
  }

  uint8_t reply[exchange::kMaxDataLength] = {};
  int length = 0;
  // A command ("void") is read for what it does, and answered without a value.
  ReplyShape shape{parameter.indexed ? 2 : 0, !platform::EqualsNoCase(parameter.type, "void")};
  // The module acknowledges a write with the value it stored.
  shape.answerRepeatsValue = requestBit == 0 && shape.answerCarriesData;
  const int frame = ExchangeFrame(requestBit, parameter.NameHash(), data, shape, parameter, reply, length);
  if (frame != 0) return frame;

  if (trace != nullptr) {
    for (int i = 0; i < length; ++i) trace->push_back(exchange::ExchangeTraceLine(false, i, reply[i]));
    trace->push_back(exchange::ReplySizeTraceLine(length));
  }

  const int valueLength = exchange::ValueLengthOfReply(length, parameter.name == "JuRD", parameter.indexed);
  if (parameter.ConvertFromData(std::span<const uint8_t>(reply, static_cast<size_t>(valueLength))) ==
      MyConverter::kNotConverted) {
    parameter.note = resources::LoadString(kStrCannotDecode);
    parameter.answerNotDecoded = true;
    parameter.value.clear();
    return 2;
  }
  parameter.valueChanged = false;
  parameter.editableChanged = false;
  parameter.ownerChanged = false;
  return 0;
}

namespace {

// The temporary one-character parameter of a network name.
void MakeNameCharacter(const Parameter& name, int position, Parameter& character) {
  character.type = "int";
  character.indexed = true;
  character.linearIndex = name.linearIndex + position;
  character.requestIndex = name.requestIndex;
}

}  // namespace

int DeviceIO::ReadNetworkName(Parameter& parameter, std::vector<std::string>* trace, bool attributeOverride) {
  parameter.value.clear();
  std::string value;
  for (int position = 0; position < exchange::kNetworkNameCodes; ++position) {
    Parameter character("CHAr");
    MakeNameCharacter(parameter, position, character);
    const int result = ExchangeParameter(1, &character, trace, attributeOverride);
    if (result != 0) {
      if (!character.note.empty()) parameter.note = character.note;
      parameter.answerNotDecoded = character.answerNotDecoded;
      return result;
    }
    std::string text;
    if (!exchange::NetworkNameCharacter(platform::Atoi(character.value), text)) {
      parameter.note = exchange::NetworkNameErrorText(kStrBadNameCode);
      if (trace != nullptr) trace->push_back(parameter.note);
      return 2;
    }
    value += text;
  }
  parameter.value = value;
  parameter.valueChanged = parameter.editableChanged = parameter.ownerChanged = false;
  return 0;
}

int DeviceIO::WriteNetworkName(Parameter& parameter, std::vector<std::string>* trace, bool attributeOverride) {
  const exchange::NetworkNameCodes codes = exchange::EncodeNetworkName(parameter.value);
  if (codes.result != 0) {
    parameter.note = exchange::NetworkNameErrorText(codes.textId);
    if (codes.textId == kStrBadNameCode && trace != nullptr) trace->push_back(parameter.note);
    return codes.result;
  }
  // The name is rebuilt from the module's echoes; a failed write keeps the name
  // the user gave, so that it can be written again.
  const std::string wanted = parameter.value;
  parameter.value.clear();
  for (int position = 0; position < exchange::kNetworkNameCodes; ++position) {
    Parameter character("CHAr");
    MakeNameCharacter(parameter, position, character);
    character.value = platform::Format("%i", codes.codes[position]);
    character.attributes = parameter.attributes;
    character.editable = parameter.editable;
    character.owner = parameter.owner;
    const int result = ExchangeParameter(0, &character, trace, attributeOverride);
    if (result != 0) {
      if (!character.note.empty()) parameter.note = character.note;
      parameter.answerNotDecoded = character.answerNotDecoded;
      parameter.value = wanted;
      return result;
    }
    if (parameter.attributes != 0) {
      parameter.editable = character.editable;
      parameter.owner = character.owner;
    }
    // The module's echo rebuilds the name.
    std::string text;
    if (!exchange::NetworkNameCharacter(platform::Atoi(character.value), text)) {
      parameter.note = exchange::NetworkNameErrorText(kStrBadNameCode);
      if (trace != nullptr) trace->push_back(parameter.note);
      parameter.value = wanted;
      return 2;
    }
    parameter.value += text;
  }
  parameter.valueChanged = parameter.editableChanged = parameter.ownerChanged = false;
  return 0;
}

int DeviceIO::ExchangeSwitchBack(Parameter* parameter) {
  const std::vector<uint8_t> request = exchange::SwitchBackRequest(exchange::ProtocolSelector());
  std::vector<uint8_t> data;
  const int result = TransactAlternateFrame(request.data(), static_cast<int>(request.size()), data);
  if (parameter != nullptr) TransportErrorText(result, parameter->note);
  return result;
}

int DeviceIO::TransactAlternateFrame(const uint8_t* request, int length, std::vector<uint8_t>& outData) {
  outData.clear();
  if (length < 0 || (length > 0 && request == nullptr)) return exchange::kTransportBadReply;
  std::lock_guard lock(busLock_);
  Sio& sio = *port_;
  const uint8_t selector = exchange::ProtocolSelector();
  sio.rtuFraming = selector == exchange::kSelectorModbusRtu;
  // The own frames' guard, in the address byte these framings carry: no switch-back
  // goes to an address the program refuses (nor to the Modbus broadcast 0).
  const bool modbus = selector == exchange::kSelectorModbusRtu || selector == exchange::kSelectorModbusAscii;
  if (exchange::CheckRequestAddress({std::min(sio.addressLength, 8), sio.moduleAddress, 0, modbus}) !=
      exchange::AddressFault::None)
    return exchange::kTransportClosed;
  bool echoed = false;
  const int result = exchange::TransactAlternateWithRetries(
      selector, sio.addressLength, static_cast<uint8_t>(sio.moduleAddress), request, static_cast<size_t>(length),
      Transport(), outData, nullptr, [this](uint8_t* buffer, int& count) { return port_->ReadOn(buffer, count); },
      lineEchoes_ || lineMirrors_, &echoed);
  if (sio.IsOpen()) tally_.CountTransport(result, selector, echoed);
  return result;
}

exchange::ReplyTally DeviceIO::Tally() {
  std::lock_guard lock(busLock_);
  return tally_;
}

void DeviceIO::ResetTally() {
  std::lock_guard lock(busLock_);
  tally_ = {};
}
