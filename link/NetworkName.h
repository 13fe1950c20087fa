#pragma once
// A module's network name travels as four "CHAr" values, one 7-bit code each:
// code / 2 is the character (digits, letters, '-', '_', '/', then blank) and an odd
// code adds a '.' after it.
#include <string>
#include <string_view>

namespace exchange {

inline constexpr int kNetworkNameCodes = 4;
inline constexpr int kNetworkNameBlank = 78;
inline constexpr const char* kNetworkNameSuffix = " (CHAr)";

struct NetworkNameCodes {
  int result = 0;   // 0, or 4 when the name cannot be written
  int textId = 0;   // 414 empty, 403 too long, 402 a character without a code
  int codes[kNetworkNameCodes] = {kNetworkNameBlank, kNetworkNameBlank, kNetworkNameBlank,
                                  kNetworkNameBlank};
};

// The codes of a name to write (UTF-8, at most 8 characters, taken in upper case).
// Symbols beyond the fourth are dropped once a fifth has been read; a '.' marks the
// symbol before it, so a leading '.' or a second '.' in a row is refused.
NetworkNameCodes EncodeNetworkName(std::string_view value);

// The character(s) of one code read back; false for a code outside 0..79.
bool NetworkNameCharacter(int code, std::string& text);

// The error text of a refused name or code: the string plus " (CHAr)".
std::string NetworkNameErrorText(int textId);

}  // namespace exchange
