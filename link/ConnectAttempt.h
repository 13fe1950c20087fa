#pragma once
// What an attempt to reach a module tried and what came back, and the reason a
// failed attempt gives the user: a line that stays silent points at the wiring,
// the address or a converter without power; replies that cannot be read point at
// the speed or the framing; a module that answers but is not recognised says what
// it called itself.
#include <cstdint>
#include <string>
#include <vector>

#include "link/ExchangeFrame.h"

namespace exchange {

// The final outcomes of the frames sent since the tally was started.
struct ReplyTally {
  int silent = 0;        // nothing came back within the response time-out
  int unreadable = 0;    // something came back that could not be read
  int answered = 0;      // a reply that was read (a value or the module's error)
  int echoed = 0;        // frames whose request the line gave back
  int vanished = 0;      // frames that found the port's device gone
  int frames[4] = {};    // frames per protocol selector (0 the module's own frame)

  // charactersCame: a time-out after characters that did not make a reply; echoed:
  // the line gave the request back.
  void Count(FrameOutcome outcome, uint8_t selector, bool charactersCame = false, bool echoed = false);
  // A transport code of the other framings (0, 2..6; -1 counts nothing); echoed: the
  // line gave the request back.
  void CountTransport(int code, uint8_t selector, bool echoed = false);
  // What was counted after `before`, taken from the same tally.
  ReplyTally Since(const ReplyTally& before) const;
  // Bit n: a frame went out with protocol selector n.
  unsigned Protocols() const;
};

struct ConnectAttempt {
  bool failed = false;   // the port opened and no module was recognised
  int address = 0;
  int addressLength = 8;
  unsigned baud = 0;
  int dataBits = 8;
  int parityCode = 3;    // the port's code: 0 or 3 none, 1 even, 2 mark, 4 odd, 5 space
  int stopBits = 1;
  ReplyTally tally;
  std::string deviceId;  // what "dev" said when it named no known model
};

// "8N1": data bits, parity letter, stop bits.
std::string FramingText(int dataBits, int parityCode, int stopBits);

// Why the failed attempts (one connection, or one per speed of a scan, with the
// same address and framing) reached no module; empty when none of them failed. An
// address the frames cannot carry is the reason before anything the line did.
std::string ConnectFailureReason(const std::vector<ConnectAttempt>& attempts);

}  // namespace exchange
