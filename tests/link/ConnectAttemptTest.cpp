// The reason a failed connection gives: what was tried and what came back, for
// one attempt and for a scan over the speeds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/ConnectAttempt.h"
#include "resources/StringTable.h"

using exchange::ConnectAttempt;
using exchange::FrameOutcome;

namespace {

ConnectAttempt Attempt(unsigned baud, std::vector<FrameOutcome> outcomes, uint8_t selector = 0) {
  ConnectAttempt a;
  a.failed = true;
  a.address = 16;
  a.baud = baud;
  for (FrameOutcome o : outcomes) a.tally.Count(o, selector);
  return a;
}

TEST(ConnectFailureReason, NamesWhatWasTriedAndWhatCameBack) {
  const auto silent = FrameOutcome::TimeOut;
  ConnectAttempt allProtocols = Attempt(9600, {silent});
  for (int code : {2, 2, 2}) allProtocols.tally.CountTransport(code, 1);
  allProtocols.tally.CountTransport(2, 2);
  allProtocols.tally.CountTransport(2, 3);
  allProtocols.tally.CountTransport(-1, 3);  // a cancelled send tells nothing
  ConnectAttempt wide = Attempt(19200, {silent});
  wide.addressLength = 11;
  wide.parityCode = 1;
  wide.stopBits = 2;
  ConnectAttempt odd = Attempt(4800, {silent});
  odd.parityCode = 4;
  odd.dataBits = 7;
  ConnectAttempt unknown = Attempt(9600, {silent, FrameOutcome::Success, FrameOutcome::Success});
  unknown.deviceId = "ZD999";
  ConnectAttempt errorOnly = Attempt(9600, {FrameOutcome::DeviceError});
  ConnectAttempt linked = Attempt(9600, {FrameOutcome::Success});
  linked.failed = false;
  ConnectAttempt garbledRtu = Attempt(9600, {silent});
  garbledRtu.tally.CountTransport(4, 1);
  // Addresses no frame carries: nothing went out, whatever the tally says.
  auto at = [](int address, int length, std::vector<FrameOutcome> outcomes = {}) {
    ConnectAttempt a = Attempt(9600, std::move(outcomes));
    a.address = address;
    a.addressLength = length;
    return a;
  };

  struct Case {
    const char* what;
    std::vector<ConnectAttempt> attempts;
    std::string expected;
  } cases[] = {
      {"silent", {Attempt(9600, {silent, silent})}, "Прибор не отвечает: адрес 16, 9600 бит/с, 8N1; протокол прибора."},
      {"silent in every framing",
       {allProtocols},
       "Прибор не отвечает: адрес 16, 9600 бит/с, 8N1; протокол прибора, Modbus RTU, Modbus ASCII, кадр «%»."},
      {"11-bit address, 8E2", {wide}, "Прибор не отвечает: адрес 16 (11 бит), 19200 бит/с, 8E2; протокол прибора."},
      {"7O1", {odd}, "Прибор не отвечает: адрес 16, 4800 бит/с, 7O1; протокол прибора."},
      {"a scan without answer names every speed",
       {Attempt(2400, {silent}), Attempt(4800, {silent}), Attempt(115200, {silent})},
       "Прибор не отвечает ни на одной скорости: адрес 16, 2400, 4800, 115200 бит/с, 8N1; протокол прибора."},
      {"bad checksum",
       {Attempt(9600, {FrameOutcome::BadChecksum, silent})},
       "Ответы прибора не читаются (ошибка контрольной суммы, чужие или искаженные посылки): адрес 16, 9600 бит/с, "
       "8N1; протокол прибора. Проверьте скорость и формат кадра."},
      {"a scan names the speeds that brought garbled replies",
       {Attempt(2400, {silent}), Attempt(19200, {FrameOutcome::ForeignHash}), Attempt(38400, {FrameOutcome::LostStart}),
        Attempt(57600, {FrameOutcome::LineError})},
       "Ответы прибора не читаются (ошибка контрольной суммы, чужие или искаженные посылки): адрес 16, 19200, 38400, "
       "57600 бит/с, 8N1; протокол прибора. Проверьте скорость и формат кадра."},
      {"a garbled reply in another framing",
       {garbledRtu},
       "Ответы прибора не читаются (ошибка контрольной суммы, чужие или искаженные посылки): адрес 16, 9600 бит/с, "
       "8N1; протокол прибора, Modbus RTU. Проверьте скорость и формат кадра."},
      {"unknown model",
       {Attempt(2400, {silent}), unknown},
       "Прибор ответил, но его тип \"ZD999\" программе не известен: адрес 16, 9600 бит/с, 8N1; протокол прибора."},
      {"only the module's error", {errorOnly}, "Прибор отвечает, но не назвал свой тип: адрес 16, 9600 бит/с, 8N1; протокол прибора."},
      {"300 with 8-bit addresses",
       {at(300, 8, {FrameOutcome::BadChecksum})},
       "Адрес 300 не может быть передан при длине адреса 8 бит: нельзя, чтобы адрес был более 255, если длина "
       "адреса 8 бит. Исправьте адрес или длину адреса."},
      {"a scan with 300 and 8-bit addresses",
       {at(300, 8), at(300, 8), at(300, 8)},
       "Адрес 300 не может быть передан при длине адреса 8 бит: нельзя, чтобы адрес был более 255, если длина "
       "адреса 8 бит. Исправьте адрес или длину адреса."},
      {"2048 with 11-bit addresses",
       {at(2048, 11)},
       "Адрес 2048 не может быть передан при длине адреса 11 бит: нельзя, чтобы адрес был более 2047, если длина "
       "адреса 11 бит. Исправьте адрес или длину адреса."},
      {"negative", {at(-1, 8)}, "Адрес -1 не может быть передан: адрес не бывает отрицательным."},
      {"the broadcast address", {at(255, 8)},
       "Адрес 255 не может быть передан: это широковещательный адрес, его примут все приборы сети. Исправьте адрес."},
      {"300 with 11-bit addresses is sent", {at(300, 11, {silent})},
       "Прибор не отвечает: адрес 300 (11 бит), 9600 бит/с, 8N1; протокол прибора."},
      // Whatever else came: the port went away under the frames.
      {"a pulled converter", {Attempt(9600, {FrameOutcome::Success, FrameOutcome::PortGone, silent})},
       resources::LoadString(kStrPortGone)},
      {"nothing failed", {linked}, ""},
      {"no attempt", {}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(exchange::ConnectFailureReason(c.attempts), c.expected) << c.what;
}

}  // namespace
