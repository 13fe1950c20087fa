#include "link/ConnectAttempt.h"

#include <algorithm>

#include "link/DeviceErrors.h"
#include "platform/CFormat.h"
#include "resources/StringTable.h"

namespace exchange {
namespace {

constexpr const char* kProtocolNames[] = {"протокол прибора", "Modbus RTU", "Modbus ASCII", "кадр «%»"};

std::string SpeedsText(const std::vector<const ConnectAttempt*>& attempts) {
  std::vector<unsigned> seen;
  std::string text;
  for (const ConnectAttempt* a : attempts) {
    if (std::find(seen.begin(), seen.end(), a->baud) != seen.end()) continue;
    seen.push_back(a->baud);
    if (!text.empty()) text += ", ";
    text += std::to_string(a->baud);
  }
  return text + " бит/с";
}

// "адрес 16, 9600 бит/с, 8N1; протокол прибора" for the attempts named.
std::string TriedText(const std::vector<const ConnectAttempt*>& attempts, unsigned protocols) {
  const ConnectAttempt& first = *attempts.front();
  std::string text = "адрес " + std::to_string(first.address);
  if (first.addressLength == 11) text += " (11 бит)";
  text += ", " + SpeedsText(attempts) + ", " + FramingText(first.dataBits, first.parityCode, first.stopBits);
  std::string names;
  for (unsigned selector = 0; selector < 4; ++selector) {
    if ((protocols & (1u << selector)) == 0) continue;
    if (!names.empty()) names += ", ";
    names += kProtocolNames[selector];
  }
  if (!names.empty()) text += "; " + names;
  return text;
}

// Why no frame could go to the address of the attempt (the frames refuse it), empty
// when frames went out.
std::string UnsendableAddressReason(const ConnectAttempt& attempt) {
  const int address = attempt.address;
  switch (CheckRequestAddress({attempt.addressLength, address, 0})) {
    case AddressFault::None: return {};
    case AddressFault::Negative:
      return platform::Format("Адрес %d не может быть передан: адрес не бывает отрицательным.", address);
    case AddressFault::BeyondAddressing:
      return platform::Format(
          "Адрес %d не может быть передан при длине адреса %d бит: нельзя, чтобы адрес был более %d, если длина "
          "адреса %d бит. Исправьте адрес или длину адреса.",
          address, attempt.addressLength, MaxFrameAddress(attempt.addressLength), attempt.addressLength);
    case AddressFault::Broadcast:
      return platform::Format(
          "Адрес %d не может быть передан: это широковещательный адрес, его примут все приборы сети. "
          "Исправьте адрес.",
          address);
  }
  return {};
}

}  // namespace

void ReplyTally::Count(FrameOutcome outcome, uint8_t selector, bool charactersCame, bool echoedRequest) {
  if (echoedRequest && outcome != FrameOutcome::Cancelled && outcome != FrameOutcome::PortClosed) ++echoed;
  switch (outcome) {
    case FrameOutcome::Cancelled:
    case FrameOutcome::PortClosed:
      return;
    case FrameOutcome::PortGone: ++vanished; break;
    // A reply that never ended (a wrong speed rarely gives the carriage return)
    // is garbled, not silence.
    case FrameOutcome::TimeOut: ++(charactersCame ? unreadable : silent); break;
    case FrameOutcome::Success:
    case FrameOutcome::DeviceError: ++answered; break;
    // Line errors, a lost start, a bad checksum, another name: characters came
    // that the program could not read as a reply to its request.
    case FrameOutcome::LineError:
    case FrameOutcome::LostStart:
    case FrameOutcome::BadChecksum:
    case FrameOutcome::ForeignHash:
    case FrameOutcome::ForeignAddress: ++unreadable; break;
  }
  if (selector < 4) ++frames[selector];
}

void ReplyTally::CountTransport(int code, uint8_t selector, bool echoedRequest) {
  if (echoedRequest && code != -1) ++echoed;
  if (code == kTransportOk) ++answered;
  else if (code == kTransportTimeOut) ++silent;
  else if (code > kTransportTimeOut) ++unreadable;
  else return;
  if (selector < 4) ++frames[selector];
}

ReplyTally ReplyTally::Since(const ReplyTally& before) const {
  ReplyTally d;
  d.silent = silent - before.silent;
  d.unreadable = unreadable - before.unreadable;
  d.answered = answered - before.answered;
  d.echoed = echoed - before.echoed;
  d.vanished = vanished - before.vanished;
  for (int i = 0; i < 4; ++i) d.frames[i] = frames[i] - before.frames[i];
  return d;
}

unsigned ReplyTally::Protocols() const {
  unsigned bits = 0;
  for (unsigned i = 0; i < 4; ++i)
    if (frames[i] > 0) bits |= 1u << i;
  return bits;
}

std::string FramingText(int dataBits, int parityCode, int stopBits) {
  char parity = 'N';
  switch (parityCode) {
    case 1: parity = 'E'; break;
    case 2: parity = 'M'; break;
    case 4: parity = 'O'; break;
    case 5: parity = 'S'; break;
    default: break;
  }
  return std::to_string(dataBits) + parity + std::to_string(stopBits);
}

std::string ConnectFailureReason(const std::vector<ConnectAttempt>& attempts) {
  std::vector<const ConnectAttempt*> failed, unreadable, echoing, vanished;
  const ConnectAttempt* answered = nullptr;
  unsigned protocols = 0;
  for (const ConnectAttempt& a : attempts) {
    if (!a.failed) continue;
    failed.push_back(&a);
    protocols |= a.tally.Protocols();
    if (a.tally.answered > 0 && answered == nullptr) answered = &a;
    if (a.tally.unreadable > 0) unreadable.push_back(&a);
    if (a.tally.echoed > 0) echoing.push_back(&a);
    if (a.tally.vanished > 0) vanished.push_back(&a);
  }
  if (failed.empty()) return {};
  // No frame went out at all: the line was never asked.
  if (std::string reason = UnsendableAddressReason(*failed.front()); !reason.empty()) return reason;
  // A port that went away says nothing of the module behind it.
  if (!vanished.empty()) return resources::LoadString(kStrPortGone);
  // The most telling first: a module that answered, then replies that came garbled.
  if (answered != nullptr) {
    const std::string tried = TriedText({answered}, answered->tally.Protocols());
    if (answered->deviceId.empty()) return "Прибор отвечает, но не назвал свой тип: " + tried + ".";
    return platform::Format("Прибор ответил, но его тип \"%s\" программе не известен: %s.",
                            answered->deviceId.c_str(), tried.c_str());
  }
  // An echoing converter gives every request back: the program hears itself, and
  // whatever else it reads, not the module.
  if (!echoing.empty())
    return "Линия возвращает программе её же запросы (эхо преобразователя интерфейса), ответа прибора нет: " +
           TriedText(echoing, protocols) + ". Проверьте преобразователь (отключите эхо) и настройки связи.";
  if (!unreadable.empty())
    return "Ответы прибора не читаются (ошибка контрольной суммы, чужие или искаженные посылки): " +
           TriedText(unreadable, protocols) + ". Проверьте скорость и формат кадра.";
  if (failed.size() > 1) return "Прибор не отвечает ни на одной скорости: " + TriedText(failed, protocols) + ".";
  return "Прибор не отвечает: " + TriedText(failed, protocols) + ".";
}

}  // namespace exchange
