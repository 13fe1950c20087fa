#pragma once
// Texts of the link's outcomes: the transport result codes shared by every framing,
// and the error codes a module sends in its "n.Err" reply.
#include <cstdint>
#include <string>

#include "link/ExchangeFrame.h"

namespace exchange {

// Transport result codes.
inline constexpr int kTransportOk = 0;
inline constexpr int kTransportClosed = -1;     // port closed, transaction cancelled, or 11-bit addressing
inline constexpr int kTransportTimeOut = 2;
inline constexpr int kTransportLineError = 3;
inline constexpr int kTransportChecksum = 4;
inline constexpr int kTransportAddress = 5;
inline constexpr int kTransportBadReply = 6;

}  // namespace exchange

// The text of a transport result code and true (code 0: an empty text); any other
// code gives an empty text and false.
bool TransportErrorText(int code, std::string& text);

// The text of the error code in the first byte of an "n.Err" reply's data. The code
// byte counts as signed where it is printed. A zero length leaves the text alone and
// returns false. (The run's result flags are the caller's: see UpdateResultFlags.)
bool DeviceErrorText(const uint8_t* data, int length, std::string& text);

// Why a request does not go out to the address it would reach (the check of
// exchange::CheckRequestAddress), naming that address; empty when it may go.
std::string RequestAddressRefusal(const exchange::FrameAddressing& addressing);
