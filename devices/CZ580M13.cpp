#include "devices/CZ580M13.h"

#include "devices/StatusRows.h"
#include "resources/StringIds.h"

namespace BaseDevice {
namespace {
const StatusRow kRows[] = {
    {kStrLastMeasurementState, 0x01, "значение измерения неверно", "измерение успешно"},
    {kStrDataReady, 0x02, "данные не готовы", "данные готовы"},
    {kStrMeasuredTooHigh, 0x04, "значение слишком велико", "значение допустимо"},
    {kStrMeasuredTooLow, 0x08, "значение слишком мало", "значение допустимо"},
    {kStrNetworkJumper, 0x20, "установлена", "не установлена"},
    {kStrAlarmComparator, 0x40, "срабатывание", "нет срабатывания"},
    {kStrCalibrationFault, 0x80, "ошибка", "нет ошибки"},
};
}  // namespace

int CZ580M13::GetStatusBitCaption(int row) const { return StatusRowCaption(kRows, row); }

std::string CZ580M13::GetStatusBitText(int row, const unsigned* word) const { return StatusRowText(kRows, row, word); }

}  // namespace BaseDevice
