#include "link/NetRS485prg.h"

#include <memory>
#include <optional>
#include <string_view>

#include "model/TypedNumber.h"
#include "platform/CFormat.h"
#include "platform/Registry.h"
#include "platform/Sio.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

namespace Elements {
namespace {

struct NumberValue {
  const char* valueName;
  const char* parameter;
  uint32_t defaultValue;
};

// In this order.
constexpr NumberValue kNumbers[] = {
    {NetRS485prg::kAddress, "Addr", 16},      {NetRS485prg::kAddressLength, "A.Len", 8},
    {NetRS485prg::kBaudRate, "bPS", 9600},    {NetRS485prg::kByteSize, "LEn", 8},
    {NetRS485prg::kStopBits, "Sbit", 1},
};

// The stored parity numbers of the parity items none, even, odd.
constexpr uint32_t kParityNumbers[] = {3, 1, 4};

}  // namespace

NetRS485prg::NetRS485prg() { elementName = "Сетевые параметры программы"; }

NetRS485prg::~NetRS485prg() { Store(); }

int NetRS485prg::GetImage() { return 19; }
int NetRS485prg::GetSelectedImage() { return 19; }

void NetRS485prg::InitParameters() {
  NetRS485::InitParameters();
  for (const NumberValue& number : kNumbers) {
    uint32_t stored = 0;
    ReadProgramDword(number.valueName, stored, number.defaultValue);
    SetParameterValue(number.parameter, platform::Format("%i", static_cast<int>(stored)));
  }

  uint32_t parity = 0;
  ReadProgramDword(kParityScheme, parity, 3);
  std::string parityText = "<неверное значение>";
  for (int i = 0; i < 3; ++i)
    if (parity == kParityNumbers[i]) parityText = ParityItem(i);
  SetParameterValue("PrtY", parityText);

  auto port = std::make_unique<Parameter>("Port");
  port->description = resources::LoadString(kStrComputerPort);
  port->writable = true;
  port->attributes = 0;
  EnumerateSerialPorts(port->type);
  AddParameter(std::move(port));

  uint32_t portNumber = 0;
  ReadProgramDword(kPortNumber, portNumber, 1);
  std::string portPath;
  ReadProgramString(kPortPath, portPath, "");
  // A device path survives a restart; "port_number" alone could only name "COMn".
  if (!portPath.empty() && portPath[0] == '/')
    SetParameterValue("Port", portPath);
  else
    SetParameterValue("Port", platform::Format("COM%d", static_cast<int>(portNumber)));

  ClearModifiedFlags();
}

std::string NetRS485prg::PortShownText(const std::string& value) {
  if (value.empty() || value[0] == '/') return value;
  const std::string path = ResolvePortPath(value);
  return path.empty() ? value : value + " (" + path + ")";
}

void NetRS485prg::Store() {
  for (const NumberValue& number : kNumbers) {
    const Parameter* parameter = GetParameterByName(number.parameter);
    if (parameter == nullptr) continue;
    if (std::string_view(number.valueName) == kAddress) {
      // Stored as the link reads it; a text that is no address keeps the stored one.
      if (const std::optional<int> address = model::ReadAddressText(parameter->value))
        WriteProgramDword(number.valueName, static_cast<uint32_t>(*address));
      continue;
    }
    WriteProgramDword(number.valueName, static_cast<uint32_t>(platform::Atoi(parameter->value)));
  }
  if (const Parameter* prty = GetParameterByName("PrtY")) {
    for (int i = 0; i < 3; ++i) {
      if (prty->value == prty->GetEnumName(i)) {
        WriteProgramDword(kParityScheme, kParityNumbers[i]);
        break;
      }
    }
  }
  if (const Parameter* port = GetParameterByName("Port")) {
    const std::string& name = port->value;
    if (!name.empty() && name[0] == '/') {
      WriteProgramString(kPortPath, name);
    } else {
      std::string digits = name;
      if (platform::StartsWithNoCase(digits, "COM")) digits.erase(0, 3);
      long long number = 0;
      if (platform::ParseInteger(digits, 10, number) > 0) {
        WriteProgramDword(kPortNumber, static_cast<uint32_t>(platform::ClampToInt(number)));
        WriteProgramString(kPortPath, "");
      }
    }
  }
}

}  // namespace Elements
