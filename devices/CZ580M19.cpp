#include "devices/CZ580M19.h"

#include "devices/StatusRows.h"
#include "platform/Text.h"
#include "resources/StringIds.h"

namespace BaseDevice {
namespace {
const StatusRow kRows[] = {
    {kStrNetworkJumper, 0x01, "установлена", "не установлена"},
    {kStrTemperatureSensorState, 0x04, "отказ", "норма"},
    {kStrCalibrationFault, 0x08, "ошибка", "нет ошибки"},
    {kStrPhChannelStatus, 0x20, "значение не корректно", "значение корректно"},
};
}  // namespace

bool CZ580M19::IsNetworkParameter(const std::string& name) const {
  return model::IsBaseNetworkParameter(name) || platform::EqualsNoCase(name, "Rs.dL");
}

int CZ580M19::GetStatusBitCaption(int row) const { return StatusRowCaption(kRows, row); }

std::string CZ580M19::GetStatusBitText(int row, const unsigned* word) const { return StatusRowText(kRows, row, word); }

}  // namespace BaseDevice
