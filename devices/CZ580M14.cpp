#include "devices/CZ580M14.h"

#include "devices/MainMenu.h"
#include "devices/StatusRows.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

namespace BaseDevice {
namespace {
constexpr int kServiceMenu = 3;
constexpr int kCommandCalibrate = 32824;

const StatusRow kOneChannel[] = {
    {kStrNetworkJumper, 0x01, "установлена", "не установлена"},
    {kStrChannelSensorState, 0x02, "отказ", "норма"},
    {kStrChannelCalibrationFault, 0x04, "ошибка", "нет ошибки"},
};

// Row k of the four-channel word reports bit k.
const StatusRow kFourChannels[] = {
    {kStrNetworkJumper, 0x001, "установлена", "не установлена"},
    {kStrChannel1SensorState, 0x002, "отказ", "норма"},
    {kStrChannel2SensorState, 0x004, "отказ", "норма"},
    {kStrChannel3SensorState, 0x008, "отказ", "норма"},
    {kStrChannel4SensorState, 0x010, "отказ", "норма"},
    {kStrChannel1CalibrationFault, 0x020, "ошибка", "нет ошибки"},
    {kStrChannel2CalibrationFault, 0x040, "ошибка", "нет ошибки"},
    {kStrChannel3CalibrationFault, 0x080, "ошибка", "нет ошибки"},
    {kStrChannel4CalibrationFault, 0x100, "ошибка", "нет ошибки"},
};

// The model whose tare-weight item is in the menu. The document may build the
// next model before it deletes the last one; only the owner takes the item away.
const CZ580M14* menuItemOwner = nullptr;
}  // namespace

CZ580M14::~CZ580M14() {
  if (menuItemOwner != this) return;
  menuItemOwner = nullptr;
  if (MainMenu* menu = GetMainMenu()) menu->RemoveItem(kServiceMenu, kCommandTareWeight);
}

bool CZ580M14::IsNetworkParameter(const std::string& name) const {
  return model::IsBaseNetworkParameter(name) || platform::EqualsNoCase(name, "Rs.dL");
}

bool CZ580M14::IsValidAddress(int address, const std::string& addressLength) const {
  if (addressLength == "11") return (address >= 1 && address <= 254) || (address >= 256 && address <= 2036);
  if (addressLength == "8") return address >= 1 && address <= 254;
  return true;
}

void CZ580M14::AddModelMenuItems() {
  MainMenu* menu = GetMainMenu();
  if (!menu) return;
  if (!menu->HasItem(kServiceMenu, kCommandTareWeight) &&
      !menu->InsertItem(kServiceMenu, kCommandCalibrate, kCommandTareWeight, resources::LoadString(kStrTareWeight)))
    return;
  menuItemOwner = this;
}

bool CZ580M14::OnModelCommand(int command) {
  if (command != kCommandTareWeight) return false;
  if (CalibrationLauncher* launcher = GetCalibrationLauncher()) launcher->Run(CalibrationWizard::TareWeight, *this);
  return true;
}

int CZ580M14::GetStatusBitCaption(int row) const {
  return fourChannels_ ? StatusRowCaption(kFourChannels, row) : StatusRowCaption(kOneChannel, row);
}

std::string CZ580M14::GetStatusBitText(int row, const unsigned* word) const {
  return fourChannels_ ? StatusRowText(kFourChannels, row, word) : StatusRowText(kOneChannel, row, word);
}

}  // namespace BaseDevice
