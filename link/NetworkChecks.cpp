#include "link/NetworkChecks.h"

#include "link/ExchangeFrame.h"
#include "link/NetRS485.h"
#include "model/DeviceModelHooks.h"
#include "model/ObjectWithParameters.h"
#include "model/TypedNumber.h"
#include "platform/CFormat.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

namespace Elements {

namespace {

// The held value of a parameter of the element ("" when it has none).
std::string HeldValue(const ObjectWithParameters& owner, std::string_view name) {
  const Parameter* parameter = owner.GetParameterByName(name);
  return parameter != nullptr ? parameter->value : std::string();
}

}  // namespace

bool CheckAddressSettings(const ObjectWithParameters& owner, std::string_view name, const std::string& text) {
  // The first protocol item carries addresses above 255; without a "Prot" parameter
  // the protocol counts as the first.
  bool firstProtocol = true;
  if (const Parameter* prot = owner.GetParameterByName("Prot")) {
    int index = -1;
    firstProtocol = prot->FindEnumIndex(prot->value, index) && index == 0;
  }
  // Whatever the protocol, an address must fit the frame's address bits.
  auto fits = [](int address, const std::string& length) {
    return address >= 0 && address <= exchange::MaxFrameAddress(length == "11" ? 11 : 8);
  };
  if (platform::EqualsNoCase(name, "addr")) {
    // Read as the value cell reads it ("0x1FF" is 511, not 0); a text that is no
    // number is left to the value check, which refuses it.
    model::TypedNumberRules rules = model::kWholeInt;
    rules.hexadecimal = true;
    const std::optional<double> typed = model::ReadTypedNumber(text, rules);
    if (!typed) return true;
    const int address = static_cast<int>(*typed);
    const std::string length = HeldValue(owner, "A.Len");
    if (!fits(address, length)) return false;
    if (address > 255 && (length != "11" || !firstProtocol)) return false;
    const model::DeviceModelHooks* model = model::CurrentDeviceModel();
    return model == nullptr || model->IsValidAddress(address, length);
  }
  if (platform::EqualsNoCase(name, "a.len")) return fits(platform::Atoi(HeldValue(owner, "Addr")), text);
  if (platform::EqualsNoCase(name, "prot")) return !(!firstProtocol && platform::Atoi(HeldValue(owner, "Addr")) > 255);
  return true;
}

bool HeldAddressFits(const ObjectWithParameters& owner) {
  constexpr int kStrNoData = 194;
  const std::string address = HeldValue(owner, "Addr");
  return address == resources::LoadString(kStrNoData) || CheckAddressSettings(owner, "Addr", address);
}

bool CheckFrameSettings(const ObjectWithParameters& owner, std::string_view name, const std::string& text) {
  const bool parityEdited = platform::EqualsNoCase(name, "PrtY");
  const bool lengthEdited = platform::EqualsNoCase(name, "LEn");
  const bool stopEdited = platform::EqualsNoCase(name, "Sbit");
  if (!parityEdited && !lengthEdited && !stopEdited) return true;

  const std::string parity = parityEdited ? text : HeldValue(owner, "PrtY");
  const int dataBits = platform::Atoi(lengthEdited ? text : HeldValue(owner, "LEn"));
  const int stopBits = platform::Atoi(stopEdited ? text : HeldValue(owner, "Sbit"));
  const Parameter* prty = owner.GetParameterByName("PrtY");
  auto item = [&](int index) { return prty != nullptr ? prty->GetEnumName(index) : NetRS485::ParityItem(index); };

  if (parity == item(0) && dataBits == 7 && stopBits == 1) return false;
  if ((parity == item(1) || parity == item(2)) && dataBits == 8 && stopBits == 2) return false;
  return true;
}

}  // namespace Elements
