#include "devices/CZ580M13.h"

#include "devices/StatusRows.h"

namespace BaseDevice {
namespace {
const StatusRow kRows[] = {
    {61010, 0x01, "значение измерения неверно", "измерение успешно"},
    {61011, 0x02, "данные не готовы", "данные готовы"},
    {61012, 0x04, "значение слишком велико", "значение допустимо"},
    {61013, 0x08, "значение слишком мало", "значение допустимо"},
    {61001, 0x20, "установлена", "не установлена"},
    {61014, 0x40, "срабатывание", "нет срабатывания"},
    {61002, 0x80, "ошибка", "нет ошибки"},
};
}  // namespace

int CZ580M13::GetStatusBitCaption(int row) const { return StatusRowCaption(kRows, row); }

std::string CZ580M13::GetStatusBitText(int row, const unsigned* word) const { return StatusRowText(kRows, row, word); }

}  // namespace BaseDevice
