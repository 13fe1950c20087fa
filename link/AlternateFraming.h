#pragma once
// Framings besides the modules' own: Modbus RTU, Modbus ASCII and the percent frame.
// They serve the connection search, which sends a module left in another protocol a
// switch-back request in each of them. All 8-bit addresses.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/ExchangeFrame.h"

namespace exchange {

inline constexpr uint8_t kSelectorOwnFrame = 0;
inline constexpr uint8_t kSelectorModbusRtu = 1;
inline constexpr uint8_t kSelectorModbusAscii = 2;
inline constexpr uint8_t kSelectorPercent = 3;

// The process-wide protocol selector. Only connecting changes it, and it leaves it at
// 0; selector 1 also makes the port end a reply at its first character.
uint8_t ProtocolSelector();
void SetProtocolSelector(uint8_t selector);

// Modbus CRC-16: reflected polynomial 0xA001, initial 0xFFFF, no final xor.
uint16_t ModbusCrc(const uint8_t* data, size_t length);
// Modbus LRC: two's complement of the 8-bit sum.
uint8_t ModbusLrc(const uint8_t* data, size_t length);
// The percent frame's checksum: 8-bit sum of the characters.
uint8_t PercentSum(const uint8_t* data, size_t length);

// The checksum of a framing over a buffer (selector 0: the own frame's CRC).
uint16_t AlternateChecksum(uint8_t selector, const uint8_t* data, size_t length);

// Adds the framing to [address byte, request bytes] in place. Selectors other than
// 1 to 3 leave the buffer as it is.
void WrapAlternate(uint8_t selector, std::vector<uint8_t>& buffer);

// Checks and strips the framing of a reply in place, leaving [address byte, data].
// Returns 0, 4 (checksum wrong, or the reply is cut or malformed) or 6 (a percent
// reply without "!", an ASCII reply without ":", or a selector without a framing).
int UnwrapAlternate(uint8_t selector, std::vector<uint8_t>& buffer);

// The request on the wire: [address byte, request bytes] wrapped.
std::vector<uint8_t> BuildAlternateRequest(uint8_t selector, uint8_t addressByte,
                                           const uint8_t* request, size_t length);

// Unwraps a reply and checks its address: 0 with the data after the address stored,
// 4 or 6 from unwrapping (a reply without even an address byte is 6), 5 when the
// address differs. `data` is emptied on failure.
int CheckAlternateReply(uint8_t selector, uint8_t addressByte, const uint8_t* reply, size_t count,
                        std::vector<uint8_t>& data);

// One alternate request with its retries over a transport (the caller holds the bus
// lock): a time-out is retried once, a line error 16 times; a cancelled transaction
// (-1) ends it at once. 11-bit addressing gives -1 with nothing sent. Otherwise the
// result of CheckAlternateReply. The number of transactions goes to `attempts`.
// `lineEchoes`: the line is known to give requests back, so a reply just like the
// request is its echo; the transaction reads on (`readOn`) for the module's answer,
// which for a switch-back request is a copy of the request, and sets `echoed`.
int TransactAlternateWithRetries(uint8_t selector, int addressLength, uint8_t addressByte,
                                 const uint8_t* request, size_t length, const FrameTransport& transport,
                                 std::vector<uint8_t>& data, int* attempts = nullptr,
                                 const ReplyReader& readOn = {}, bool lineEchoes = false, bool* echoed = nullptr);

// The request that switches a module back to the own frame: Modbus write single coil
// 0xF0F0 on for selectors 1 and 2, "TEVI" for selector 3, empty otherwise.
std::vector<uint8_t> SwitchBackRequest(uint8_t selector);

}  // namespace exchange

// Stateless: each operation acts by the current protocol selector.
class FrameCodec {
 public:
  uint16_t Checksum(const uint8_t* data, size_t length) const;
  void Wrap(std::vector<uint8_t>& buffer) const;
  int Unwrap(std::vector<uint8_t>& buffer) const;
};
