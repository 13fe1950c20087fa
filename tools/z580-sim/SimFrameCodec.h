#pragma once
// The simulated module's own view of the wire: the '#'-framed binary frame with its
// CRC and name hash, and the three foreign framings that carry the switch-back
// request. Kept independent of the program's link code so that one shared mistake
// cannot make both sides agree.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace z580sim {

using Bytes = std::vector<uint8_t>;

// CRC-16, polynomial 0x8F57, initial 0, most significant bit first, no final xor.
uint16_t Crc16(const uint8_t* data, size_t size);
inline uint16_t Crc16(const Bytes& b) { return Crc16(b.data(), b.size()); }

// 16-bit hash of a parameter name (four 7-bit character codes through the CRC).
uint16_t NameHash(std::string_view name);

// One frame of the module's own protocol, before the text encoding.
struct Frame {
  unsigned address = 0;  // 8 or 11 bits, by the address length
  bool read = false;     // request bit: 1 read, 0 write
  uint16_t hash = 0;
  Bytes data;            // at most 15 bytes (the length field)
};

constexpr uint16_t kErrorHash = 0x0233;  // "n.Err"

// Binary frame: address, flags with length, hash, data, CRC.
Bytes FrameBytes(const Frame& frame, int addressBits);
// "#", two characters 'G'+half-byte per byte, carriage return.
std::string EncodeTetrads(const Bytes& bytes);
std::string EncodeFrame(const Frame& frame, int addressBits);

enum class DecodeStatus { Ok, BadCharacter, TooShort, BadLength, BadCrc };
// text: the characters after '#' up to (not including) the carriage return.
DecodeStatus DecodeTetrads(std::string_view text, Bytes& out);
DecodeStatus DecodeFrame(std::string_view text, int addressBits, Frame& out);

// Modbus RTU CRC (reflected 0xA001, initial 0xFFFF), Modbus ASCII LRC, and the
// 8-bit character sum of the percent frame.
uint16_t ModbusCrc(const uint8_t* data, size_t size);
uint8_t ModbusLrc(const uint8_t* data, size_t size);
uint8_t PercentSum(std::string_view chars);

// Wire forms of a message (address byte first).
Bytes WrapModbusRtu(const Bytes& message);
std::string WrapModbusAscii(const Bytes& message);  // ":" hex pairs, LRC, CR LF
// Percent request: "%" + address as hex + raw bytes + sum + CR.
std::string WrapPercent(char start, uint8_t address, std::string_view payload);

// Parses a Modbus ASCII line (from ':' up to, not including, CR); false on a bad
// character or LRC. The message comes back without its LRC.
bool UnwrapModbusAscii(std::string_view line, Bytes& message);
// Parses a percent frame (from the start character up to, not including, CR).
bool UnwrapPercent(std::string_view frame, char start, uint8_t& address, std::string& payload);

// The switch-back request: Modbus function 5 on coil 0xF0F0, value ON.
Bytes ModbusSwitchBack(uint8_t address);
constexpr std::string_view kPercentSwitchBack = "TEVI";

// Printable form of raw line bytes for logs: control and non-ASCII bytes as \xNN.
std::string Printable(std::string_view raw);
std::string HexBytes(const Bytes& b);

}  // namespace z580sim
