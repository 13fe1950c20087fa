#pragma once
// The two consistency checks of the module's network settings, over whatever
// element holds them: the network-settings element, or the branch of network
// parameters in a model's tree. A setting the element lacks counts as empty.
#include <optional>
#include <string>
#include <string_view>

class ObjectWithParameters;

namespace Elements {

// Whether an edit of "Addr", "A.Len" or "Prot" (any case) to text may be taken: an
// address must fit the address length's bits (0 to 255, or 2047 with 11 bits), an
// address above 255 needs the first protocol too; then the current device model
// decides. Other names: true.
bool CheckAddressSettings(const ObjectWithParameters& owner, std::string_view name, const std::string& text);
// The one rule of the addresses a single module may have, asked by the settings
// cells, the setup dialog, both "APLY" paths and the link: an address the frames of
// the address length carry, and not the broadcast address 255.
bool ModuleAddressAllowed(int address, int addressLength);
// A setting's value as the module confirmed it: read from the module, or written and
// acknowledged, on the connection in force (no change pending, no error note). A value typed but not written, one
// the module refused, one loaded from a file and one never read ("Нет данных") are none: "APLY" neither lists
// nor follows them.
std::optional<std::string> ConfirmedSetting(const ObjectWithParameters& owner, std::string_view name);
// Whether the address the module confirmed passes the address check, as an edit of
// "Addr" to it would: before "APLY" makes the module take it and the program follow.
// An address not confirmed is not followed and passes.
bool HeldAddressFits(const ObjectWithParameters& owner);
// Whether an edit of "PrtY", "LEn" or "Sbit" may be taken: no parity with 7 data
// bits and 1 stop bit, and parity with 8 data bits and 2 stop bits, are refused.
bool CheckFrameSettings(const ObjectWithParameters& owner, std::string_view name, const std::string& text);
// The frame rule itself, with the parity items of the owner's "PrtY" (the element's
// own when it has none, or when there is no owner).
bool FrameAllowed(const ObjectWithParameters* owner, const std::string& parity, int dataBits, int stopBits);

}  // namespace Elements
