#pragma once
// An in-process serial port for the link's tests. It decodes the requests of the
// modules' own frame with a decoder of its own (not the link's), answers from a
// script or from a table of values, and injects faults. Alternate framings are not
// decoded: their raw bytes are logged and answered from the script.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/Sio.h"

class FakePort : public Sio {
 public:
  struct Request {
    std::string raw;
    bool decoded = false;  // a whole own frame with a right CRC
    uint8_t addressByte = 0;
    uint8_t highBits = 0;  // bits 7-5 of byte 1 (11-bit addressing)
    bool read = false;
    uint16_t hash = 0;
    std::vector<uint8_t> data;
  };

  enum class Fault {
    None,
    Silence,      // port result 2
    LineError,    // port result 3
    Cancel,       // port result -1
    Garbage,      // characters without "#"
    BadCrc,       // the reply with its CRC's last byte changed
    ForeignHash,  // the reply under another hash (valid CRC)
    DeviceError,  // an "n.Err" reply with `code`
    Cut,          // the first half of the reply's characters
    Raw,          // `raw` as it stands
  };

  struct Answer {
    Answer(Fault f = Fault::None, std::vector<uint8_t> d = {}, int c = 0, std::string r = {})
        : fault(f), data(std::move(d)), code(c), raw(std::move(r)) {}
    Fault fault = Fault::None;
    std::vector<uint8_t> data;  // reply data for a good reply
    int code = 0;               // DeviceError
    std::string raw;            // Raw
  };

  // Answers taken in order, one per transaction; when the script is empty the
  // handler (if set) answers, else the value table.
  std::deque<Answer> script;
  std::function<Answer(const Request&)> handler;
  // Reply data per (hash, index) for reads; writes store their data (without the
  // index bytes of an indexed request, whose index is taken from the last two
  // bytes when `indexedHashes` holds the hash) and echo it.
  std::map<std::pair<uint16_t, int>, std::vector<uint8_t>> values;
  std::vector<uint16_t> indexedHashes;
  // Called at the start of every transaction (e.g. to set the cancel event).
  std::function<void(int transaction)> onTransact;

  std::vector<Request> requests;
  bool open = true;
  int openResult = 0;

  int Open() override;
  int Transact(const uint8_t* request, int length, uint8_t reply[kReplySize], int& replyCount) override;
  int Purge(int kind) override;
  int Close() override;
  bool IsOpen() const override { return open; }

  // The fake's own codec.
  static uint16_t Crc(const uint8_t* data, size_t length);
  static std::string Encode(const std::vector<uint8_t>& frame);
  static bool Decode(const std::string& text, Request& out);
  // A reply frame's characters: address byte, low address bits (11-bit addressing)
  // with the request bit (as the request had it) and the length, hash, data, CRC.
  static std::string ReplyText(uint8_t addressByte, uint16_t hash, const std::vector<uint8_t>& data,
                               uint8_t highBits = 0, bool read = false);

 private:
  Answer FromTable(const Request& request);
};
