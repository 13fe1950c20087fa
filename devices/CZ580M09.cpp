#include "devices/CZ580M09.h"

#include "devices/TableControl.h"

namespace BaseDevice {
namespace {
constexpr int kStrValue = 211;
constexpr int kStrCounters = 304;
constexpr int kStrMeterLabel = 345;
}  // namespace

bool CZ580M09::FillInputsList(myClass::TableControl* table) {
  const int width = table ? table->GetClientWidth() - 2 : 0;
  return FillInputsTable(table, {{kStrValue, width * 3 / 5}, {kStrCounters, width * 2 / 5}}, kStrMeterLabel, false);
}

}  // namespace BaseDevice
