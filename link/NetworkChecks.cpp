#include "link/NetworkChecks.h"

#include "link/AppState.h"
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
  return parameter != nullptr ? std::string(parameter->value) : std::string();
}

}  // namespace

bool ModuleAddressAllowed(int address, int addressLength) {
  return exchange::CheckRequestAddress({addressLength == 11 ? 11 : 8, address, 0}) == exchange::AddressFault::None;
}

bool CheckAddressSettings(const ObjectWithParameters& owner, std::string_view name, const std::string& text) {
  // The first protocol item carries addresses above 255; without a "Prot" parameter
  // the protocol counts as the first.
  bool firstProtocol = true;
  if (const Parameter* prot = owner.GetParameterByName("Prot")) {
    int index = -1;
    firstProtocol = prot->FindEnumIndex(prot->value, index) && index == 0;
  }
  // A held address the frames cannot carry under a new length.
  auto fits = [](int address, const std::string& length) {
    return address >= 0 && address <= exchange::MaxFrameAddress(length == "11" ? 11 : 8);
  };
  const std::optional<int> held = model::ReadAddressText(HeldValue(owner, "Addr"));
  if (platform::EqualsNoCase(name, "addr")) {
    // A text that is no address is left to the value check, which refuses it.
    const std::optional<int> typed = model::ReadAddressText(text);
    if (!typed) return true;
    const int address = *typed;
    const std::string length = HeldValue(owner, "A.Len");
    if (!ModuleAddressAllowed(address, length == "11" ? 11 : 8)) return false;
    if (address > 255 && (length != "11" || !firstProtocol)) return false;
    const model::DeviceModelHooks* model = model::CurrentDeviceModel();
    return model == nullptr || model->IsValidAddress(address, length);
  }
  if (platform::EqualsNoCase(name, "a.len")) return !held || fits(*held, text);
  if (platform::EqualsNoCase(name, "prot")) return !(!firstProtocol && held && *held > 255);
  return true;
}

std::optional<std::string> ConfirmedSetting(const ObjectWithParameters& owner, std::string_view name) {
  const Parameter* parameter = owner.GetParameterByName(name);
  if (parameter == nullptr || parameter->valueChanged || !parameter->note.empty() ||
      parameter->value.HasNoData() || parameter->confirmedOnLink == 0 ||
      parameter->confirmedOnLink != App().linkSession)
    return std::nullopt;
  return parameter->value;
}

bool HeldAddressFits(const ObjectWithParameters& owner) {
  const std::optional<std::string> address = ConfirmedSetting(owner, "Addr");
  return !address || CheckAddressSettings(owner, "Addr", *address);
}

bool CheckFrameSettings(const ObjectWithParameters& owner, std::string_view name, const std::string& text) {
  const bool parityEdited = platform::EqualsNoCase(name, "PrtY");
  const bool lengthEdited = platform::EqualsNoCase(name, "LEn");
  const bool stopEdited = platform::EqualsNoCase(name, "Sbit");
  if (!parityEdited && !lengthEdited && !stopEdited) return true;

  return FrameAllowed(&owner, parityEdited ? text : HeldValue(owner, "PrtY"),
                      platform::Atoi(lengthEdited ? text : HeldValue(owner, "LEn")),
                      platform::Atoi(stopEdited ? text : HeldValue(owner, "Sbit")));
}

bool FrameAllowed(const ObjectWithParameters* owner, const std::string& parity, int dataBits, int stopBits) {
  const Parameter* prty = owner != nullptr ? owner->GetParameterByName("PrtY") : nullptr;
  auto item = [&](int index) { return prty != nullptr ? prty->GetEnumName(index) : NetRS485::ParityItem(index); };
  if (parity == item(0) && dataBits == 7 && stopBits == 1) return false;
  if ((parity == item(1) || parity == item(2)) && dataBits == 8 && stopBits == 2) return false;
  return true;
}

}  // namespace Elements
