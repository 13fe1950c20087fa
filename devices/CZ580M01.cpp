#include "devices/CZ580M01.h"

#include "devices/TableControl.h"
#include "platform/CFormat.h"
#include "resources/StringIds.h"

namespace BaseDevice {

std::string CZ580M01::FormatValue(float value) const { return platform::Format("%.1f", static_cast<double>(value)); }

bool CZ580M01::FillInputsList(myClass::TableControl* table) {
  const int width = table ? (table->GetClientWidth() - 2) / 2 : 0;
  return FillInputsTable(table, {{kStrValue, width}, {kStrInputs, width}}, kStrInputLabel, false);
}

}  // namespace BaseDevice
