#include "devices/CZ580M09.h"

#include "devices/TableControl.h"
#include "resources/StringIds.h"

namespace BaseDevice {

bool CZ580M09::FillInputsList(myClass::TableControl* table) {
  const int width = table ? table->GetClientWidth() - 2 : 0;
  return FillInputsTable(table, {{kStrValue, width * 3 / 5}, {kStrCounters, width * 2 / 5}}, kStrMeterLabel, false);
}

}  // namespace BaseDevice
