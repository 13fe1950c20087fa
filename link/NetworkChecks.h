#pragma once
// The two consistency checks of the module's network settings, over whatever
// element holds them: the network-settings element, or the branch of network
// parameters in a model's tree. A setting the element lacks counts as empty.
#include <string>
#include <string_view>

class ObjectWithParameters;

namespace Elements {

// Whether an edit of "Addr", "A.Len" or "Prot" (any case) to text may be taken: an
// address above 255 needs 11-bit addresses and the first protocol; then the
// current device model decides. Other names: true.
bool CheckAddressSettings(const ObjectWithParameters& owner, std::string_view name, const std::string& text);
// Whether an edit of "PrtY", "LEn" or "Sbit" may be taken: no parity with 7 data
// bits and 1 stop bit, and parity with 8 data bits and 2 stop bits, are refused.
bool CheckFrameSettings(const ObjectWithParameters& owner, std::string_view name, const std::string& text);

}  // namespace Elements
