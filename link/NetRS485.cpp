#include "link/NetRS485.h"

#include "link/NetworkChecks.h"

#include <memory>

#include "model/DeviceModelHooks.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

namespace Elements {
namespace {

struct Setting {
  const char* name;
  int description;
  const char* type;  // nullptr: the parity list of the string table
  const char* initial;
  bool writable;
};

// In this order.
constexpr Setting kSettings[] = {
    {"bPS", kStrSpeed, "2400:4800:9600:14400:19200:28800:38400:57600:115200", "9600", true},
    {"LEn", kStrDataLength, "7:8", "8", false},
    {"PrtY", kStrParity, nullptr, nullptr, false},
    {"Sbit", kStrStopBits, "1:2", "1", false},
    {"A.Len", kStrAddressLength, "8:11", "8", false},
    {"Addr", kStrAddress, "int", "16", true},
};

}  // namespace

NetRS485::NetRS485() { elementName = "Сетевые параметры прибора"; }

std::string NetRS485::ParityItem(int index) {
  MyConverter list;
  list.type = resources::LoadString(kStrParityItems);
  return list.GetEnumName(index);
}

void NetRS485::AddNetworkParameters() {
  for (const Setting& setting : kSettings) {
    auto parameter = std::make_unique<Parameter>(setting.name);
    parameter->description = resources::LoadString(setting.description);
    parameter->type = setting.type != nullptr ? std::string(setting.type) : resources::LoadString(kStrParityItems);
    parameter->initialValue = setting.initial != nullptr ? std::string(setting.initial) : ParityItem(0);
    parameter->value = parameter->initialValue;
    parameter->writable = setting.writable;
    AddParameter(std::move(parameter));
  }
}

void NetRS485::InitParameters() {
  InvisibleElement::InitParameters();
  AddNetworkParameters();
}

int NetRS485::GetImage() { return 4; }
int NetRS485::GetSelectedImage() { return 4; }
std::string NetRS485::GetTypeName() { return "Сеть RS-485"; }

std::string NetRS485::HeldValue(std::string_view name) const {
  const Parameter* parameter = GetParameterByName(name);
  return parameter != nullptr ? std::string(parameter->value) : std::string();
}

bool NetRS485::CheckAddressSettings(std::string_view name, const std::string& text) const {
  return Elements::CheckAddressSettings(*this, name, text);
}

bool NetRS485::CheckFrameSettings(std::string_view name, const std::string& text) const {
  return Elements::CheckFrameSettings(*this, name, text);
}

bool NetRS485::CheckEditedSetting(std::string_view name, const std::string& text) const {
  if (CheckAddressSettings(name, text) && CheckFrameSettings(name, text)) return true;
  platform::ShowMessage(resources::LoadString(kStrForbiddenCombination), "", platform::MessageIcon::Error);
  return false;
}

}  // namespace Elements
