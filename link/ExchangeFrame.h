#pragma once
// The modules' own frame: a short binary frame (address, request bit, data length,
// parameter-name hash, data, CRC-16) written on the line as "#", two characters
// 'G'+half-byte per byte, and a carriage return. Everything here is pure: the port,
// the bus lock and the run's result flags are the caller's (DeviceIO).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace exchange {

// Name hashes the exchange itself uses.
inline constexpr uint16_t kHashAPLY = 0x8403;   // "APLY"
inline constexpr uint16_t kHashNErr = 0x0233;   // "n.Err": the module's error reply
inline constexpr uint16_t kHashAttributes = 0x5EA0;  // "M.s.t.r.": access attributes

// The port hands back at most this many reply characters, so a reply carries at most
// 8 data bytes; the length field can claim up to 15, which callers' buffers hold.
inline constexpr int kMaxReplyChars = 31;
inline constexpr int kMaxDataLength = 15;
inline constexpr int kBroadcastChannel = -1;
inline constexpr uint8_t kBroadcastAddress = 255;

// The highest address a frame carries: 11-bit addressing, else 8 bits. A request
// to an address beyond it is never built (the frame would reach another module).
inline constexpr int MaxFrameAddress(int addressLength) { return addressLength == 11 ? 2047 : 255; }

// Header (address, flags/length, hash) and CRC around the data.
inline constexpr int kFrameOverhead = 6;

}  // namespace exchange

// CRC-16, polynomial 0x8F57, initial 0, most significant bit first, no reflection,
// no final exclusive-or, over whole bytes.
uint16_t hash_buffer(const uint8_t* data, size_t length);

// "#", two characters per byte ('G' + high half-byte, 'G' + low half-byte), "\r".
std::string encode_buffer(const uint8_t* frame, size_t length);

// Maps pairs of 'G'..'V' characters back to bytes: `pairs` bytes are read from
// `text` (2 * pairs characters) into `out`. False as soon as a character lies
// outside 'G'..'V'; `out` then holds the bytes decoded so far.
bool DecodeTetrads(const char* text, size_t pairs, uint8_t* out);

namespace exchange {

// The address of a request: broadcast (255) for channel -1, else the module address
// plus the channel. With 11-bit addressing byte 0 holds address >> 3 and bits 7-5 of
// byte 1 the low 3 bits.
struct FrameAddressing {
  int addressLength = 8;  // 8 or 11
  int moduleAddress = 0;
  int channel = 0;        // -1 broadcast
  // A Modbus switch-back frame: Modbus takes address 0 for its broadcast.
  bool modbusFraming = false;
};

// The address a request goes to: broadcast (255) for channel -1, else the module
// address plus the channel (held to the int range: a channel near its end is no
// address either).
int RequestAddress(const FrameAddressing& addressing);

// The one check of the address a request goes to, made before any frame is built:
// an address below 0 or beyond what the addressing carries never goes out, nor the
// broadcast address when the request is not a broadcast (module address plus a
// channel or index landing on 255 would reach every module on the bus; in a Modbus
// framing the same goes for 0). Asked of the own frames and the switch-back frames
// alike, and with channel 0 it is the rule of the addresses a module may have.
enum class AddressFault { None, Negative, BeyondAddressing, Broadcast };
AddressFault CheckRequestAddress(const FrameAddressing& addressing);

// The binary request frame with its CRC (4 + n + 2 bytes). Data beyond 15 bytes
// cannot be described by the length field, nor an address outside 0 to
// MaxFrameAddress by the address bits: false and nothing built.
bool BuildRequestFrame(int requestBit, uint16_t nameHash, const uint8_t* data, int dataLength,
                       const FrameAddressing& addressing, std::vector<uint8_t>& frame);

// The request frame as line text (2n + 14 characters), or empty when it cannot be built.
std::string EncodeRequest(int requestBit, uint16_t nameHash, const uint8_t* data, int dataLength,
                          const FrameAddressing& addressing);

// What one port transaction amounts to. The first four decide the retries; the
// others end the frame at once.
enum class FrameOutcome {
  Success,
  TimeOut,       // port result 2: retried once
  LineError,     // port result 3: retried 16 times
  LostStart,     // no "#" at the start of the reply: retried 10 times
  Cancelled,     // port result -1 on an open port: transaction cancelled, not retried
  PortClosed,    // the port is closed: text 321, not retried
  BadChecksum,   // malformed or cut reply, or CRC mismatch: text 423
  ForeignHash,   // reply for another name or another index: text 422
  DeviceError,   // "n.Err" reply: the device error text
  ForeignAddress,  // reply from another address: text 221
  PortGone,      // the port's device went away (a converter pulled out): text 426, not retried
};

// How many times an outcome is retried before the frame gives up.
int RetryLimit(FrameOutcome outcome);

// Counts the retries of one frame, separately per outcome: Retry says whether the
// outcome of the last transaction is to be sent again.
struct RetryCounters {
  int timeOuts = 0;
  int lineErrors = 0;
  int lostStarts = 0;
  bool Retry(FrameOutcome outcome);
};

struct FrameReply {
  FrameOutcome outcome = FrameOutcome::BadChecksum;
  // Set only when the reply's CRC was valid (Success, ForeignHash, DeviceError).
  uint8_t data[kMaxDataLength] = {};
  int dataLength = 0;
  uint16_t hash = 0;
  uint8_t addressByte = 0;  // byte 0 of the reply as it came
  int strayChars = 0;       // characters of a reply that timed out unfinished
  // The decoded frame (header, data, CRC) of a reply with a valid CRC.
  uint8_t frame[kMaxReplyChars / 2] = {};
  int frameLength = 0;
  // The line gave the request back before the frame ended (an echoing converter).
  bool echoed = false;
  // The answer taken was a frame just like the request and nothing else came: a read
  // answered without a value, or a line that only echoes.
  bool mirrored = false;
  // Sends of this frame that timed out (also of a frame that failed): their
  // answers may still be on their way.
  int unanswered = 0;
};

// Classifies one transaction: the port result and the reply characters that arrived
// (`count` of them; never read beyond). A reply is whole when it is "#", an even
// number of 'G'..'V' characters decoding to exactly 4 + n + 2 bytes, and "\r";
// anything else that starts with "#" is a bad frame, except "##...": a start
// character cut off by another one is a lost start. The module answers with the
// requested hash; "n.Err" carries an error code in its first data byte.
FrameReply ParseReply(int portResult, const uint8_t* reply, int count, uint16_t requestHash);

// A request as it goes out, with what its reply must repeat of it.
struct FrameRequest {
  std::vector<uint8_t> frame;  // BuildRequestFrame
  std::string text;            // its line text
  // Trailing request data bytes the reply's data ends with: the linear index of an
  // indexed parameter, the index and name of an attribute request.
  int echoedTail = 0;
  // Leading request data bytes the reply's data starts with: the number of a
  // calibration coefficient or point.
  int echoedHead = 0;
  // A read answered with a value. A command read without a value is answered by a
  // frame just like its request; so is a read whose value is empty.
  bool answerCarriesData = false;
  // The answer always differs from the request (it adds to what was asked, as the
  // attribute read does): a frame just like the request is the line's echo.
  bool answerNeverIdentical = false;
  // A write the module acknowledges with the value it stored (the same number in
  // another width answers at once): an acknowledgement of another value answers it
  // only when nothing better (its refusal, or the echo of what was written) comes,
  // and only one that came after the last send (see ChooseAnswer).
  bool answerRepeatsValue = false;
};
// False when the frame cannot be built (see BuildRequestFrame).
bool MakeFrameRequest(int requestBit, uint16_t nameHash, const uint8_t* data, int dataLength,
                      const FrameAddressing& addressing, int echoedTail, FrameRequest& out);

// Whether a reply with a valid CRC answers its request: the address byte and, with
// 11-bit addressing, the low address bits in byte 1 are the request's, and so is the
// request bit (a read's answer is never a write's, an error reply included); an
// "n.Err" reply or one with the request's name hash, echoed head and echoed tail
// answers it. A reply identical to the request is the line's echo of it when
// `identicalIsEcho` (for a request whose answer never looks like it; otherwise, on a
// line known to echo, until the echo has passed). A write's acknowledgement of
// another value than written (not the same number in another width, and not an
// acknowledgement without a value) is OtherValue: taken only when nothing better
// comes.
// Everything else is another module's reply, or one to an earlier request, and never
// taken.
enum class ReplyMatch { Answer, OtherValue, Echo, ForeignAddress, ForeignReply };
ReplyMatch MatchReply(const FrameRequest& request, const FrameReply& reply, bool identicalIsEcho);

// What a transaction held or passed over while reading on. An answer (MatchReply's,
// a refusal included) is taken at once, except a frame just like a read's request on
// a line not known to echo: held, it was the echo when an answer follows.
struct TransactionSeen {
  bool otherValue = false;      // a write's acknowledgement of another value (the latest held)
  bool identical = false;       // that frame just like a read's request
  bool foreignAddress = false;  // another module's reply
  bool foreignReply = false;    // a reply to another request
  bool badFrame = false;        // a frame with a bad check sum
};
// Which frame answers once the line fell silent, the first of these seen: the held
// acknowledgement of another value (only after the last send: the time-out rule sends
// again first), the frame just like the request (`mirrored`: a read answered without
// a value); else the transaction fails with another address's, another request's or
// a bad check sum's outcome, or times out when nothing came.
enum class SilenceAnswer { HeldValue, Identical, Others, Nothing };
struct AnswerChoice { SilenceAnswer by; FrameOutcome outcome; };  // Success for a held frame
AnswerChoice ChooseAnswer(const TransactionSeen& seen);

// One port transaction: sends `length` request bytes, stores up to 31 reply
// characters and their count, returns the port result (0, -1, 2, 3). Sio::Transact
// has this shape.
using FrameTransport = std::function<int(const uint8_t* request, int length, uint8_t* reply, int& count)>;
// Reads the next reply of the same transaction, within what is left of its response
// time-out, with nothing sent (Sio::ReadOn). Empty: nothing more comes (result 2).
using ReplyReader = std::function<int(uint8_t* reply, int& count)>;

// One request frame with its retries over a transport (the caller holds the bus
// lock). A reply that does not answer the request (MatchReply), and a frame with a
// bad check sum, is passed over and the transaction reads on until the response
// time-out; the time-out rule then decides whether to send again, and ChooseAnswer
// which frame answers. `unanswered` of the result counts the sends that timed out:
// what comes for them is the caller's to pass over before the next request.
// `lineEchoes` is what the link has learnt of the line: a read whose answer carries
// data and came after a frame just like the request sets it, one answered without an
// echo clears it. With `replyIgnored` (an "APLY" to a model that does not answer it)
// the first transaction counts as success with no data, whatever came back. The
// number of transactions made goes to `attempts` when given.
FrameReply TransactWithRetries(const FrameRequest& request, bool replyIgnored, const FrameTransport& transport,
                               const ReplyReader& readOn, bool& lineEchoes, int* attempts = nullptr);

// The error text a failed frame leaves for its caller: "" for Success and Cancelled,
// the port-open error text for a closed port, the device error text for an "n.Err"
// reply (text 223 when it carries no code), text 221 for another address's reply.
std::string FrameErrorText(const FrameReply& reply);

// The run's result flags after a frame's final outcome, added to those before:
// 4 after a time-out, 16 for an error reply with a code, and 8 for every other
// final outcome but success and cancel (a broken frame, a reply for another
// request, line errors, lost starts, a closed port). A success or a cancelled
// frame leaves them as they are.
uint32_t UpdateResultFlags(uint32_t flags, const FrameReply& reply);

// Data of the attribute request ("M.s.t.r."). Only a write with full access writes
// the attribute byte (3 when overridden, else bit 0 editable, bit 1 set when the
// parameter has no owner); otherwise the attributes are read. Indexed parameters add
// 0 and the low byte of the linear index; then the parameter's hash, high byte first.
struct AttributeRequest {
  int requestBit = 1;
  std::vector<uint8_t> data;
};
AttributeRequest BuildAttributeRequest(bool write, bool fullAccess, bool attributeOverride,
                                       bool editable, int owner, bool indexed, int linearIndex,
                                       uint16_t nameHash);

// The attribute reply: 5 data bytes for an indexed parameter, 3 otherwise.
struct AttributeReply {
  bool sizeOk = false;
  bool editable = false;
  int owner = 0;
};
AttributeReply ParseAttributeReply(const uint8_t* data, int dataLength, bool indexed);

// Appends a linear index as two bytes, high byte first.
void AppendIndexBytes(std::vector<uint8_t>& data, int linearIndex);

// The number of reply bytes that hold the value: "JuRD" replies carry 3 more bytes,
// indexed replies echo the 2 index bytes. Never negative.
int ValueLengthOfReply(int replyLength, bool isJuRD, bool indexed);

// Trace lines of the exchange. One line per data byte: ">> Посылка: # 0 : 065 = 0x41 (A)"
// for a request byte, "<< Ответ: ..." for a reply byte; bytes below 32 show ".", the
// others as their Windows-1251 character. Before the request bytes its data size,
// after the reply bytes the reply's.
std::string ExchangeTraceLine(bool request, int position, uint8_t value);
std::string RequestSizeTraceLine(int dataLength);
std::string ReplySizeTraceLine(int dataLength);

}  // namespace exchange
