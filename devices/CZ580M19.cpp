#include "devices/CZ580M19.h"

#include "devices/StatusRows.h"
#include "platform/Text.h"

namespace BaseDevice {
namespace {
const StatusRow kRows[] = {
    {61001, 0x01, "установлена", "не установлена"},
    {61020, 0x04, "отказ", "норма"},
    {61002, 0x08, "ошибка", "нет ошибки"},
    {61021, 0x20, "значение не корректно", "значение корректно"},
};
}  // namespace

bool CZ580M19::IsNetworkParameter(const std::string& name) const {
  return model::IsBaseNetworkParameter(name) || platform::EqualsNoCase(name, "Rs.dL");
}

int CZ580M19::GetStatusBitCaption(int row) const { return StatusRowCaption(kRows, row); }

std::string CZ580M19::GetStatusBitText(int row, const unsigned* word) const { return StatusRowText(kRows, row, word); }

}  // namespace BaseDevice
