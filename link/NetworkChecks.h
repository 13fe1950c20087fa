#pragma once
// The two consistency checks of the module's network settings, over whatever
// element holds them: the network-settings element, or the branch of network
// parameters in a model's tree. A setting the element lacks counts as empty.
#include <string>
#include <string_view>

class ObjectWithParameters;

namespace Elements {

// Whether an edit of "Addr", "A.Len" or "Prot" (any case) to text may be taken: an
// address must fit the address length's bits (0 to 255, or 2047 with 11 bits), an
// address above 255 needs the first protocol too; then the current device model
// decides. Other names: true.
bool CheckAddressSettings(const ObjectWithParameters& owner, std::string_view name, const std::string& text);
// Whether the address the element holds passes the address check, as an edit of
// "Addr" to it would: before "APLY" makes the module take it and the program follow.
// An address never read ("Нет данных") is not taken over and passes.
bool HeldAddressFits(const ObjectWithParameters& owner);
// Whether an edit of "PrtY", "LEn" or "Sbit" may be taken: no parity with 7 data
// bits and 1 stop bit, and parity with 8 data bits and 2 stop bits, are refused.
bool CheckFrameSettings(const ObjectWithParameters& owner, std::string_view name, const std::string& text);

}  // namespace Elements
