#include "devices/CBrand.h"

#include <memory>

#include "devices/TableControl.h"
#include "resources/StringTable.h"

namespace {
// Display names in model-index order.
constexpr int kModelNameIds[23] = {kStrModelName01, kStrModelName02, kStrModelName03, kStrModelName04, kStrModelName05,
                                   kStrModelName06, kStrModelName07, kStrModelName08, kStrModelName09, kStrModelName10,
                                   kStrModelName11, kStrModelName12,
                                   kStrModelName13, kStrModelName14, kStrModelName15, kStrModelName16, kStrModelName17,
                                   kStrModelName18, kStrModelName19, kStrModelName20, kStrModelName21, kStrModelName22,
                                   kStrModelName23};

std::unique_ptr<CBrand>& Brand() {
  static std::unique_ptr<CBrand> brand;
  return brand;
}
}  // namespace

bool CBrandTevi::FillModelList(myClass::TableControl* table) {
  if (!table) return false;
  bool result = false;
  for (int i = 0; i < 23; ++i) {
    table->InsertItem(i, resources::LoadString(kModelNameIds[i]));
    result = table->SetCell(i, -1, nullptr, myClass::TableControl::kCellNotEdited);
  }
  return result;
}

CBrand* GetDeviceBrand() {
  auto& brand = Brand();
  if (!brand) brand = std::make_unique<CBrandTevi>();
  return brand.get();
}

void DeleteDeviceBrand() { Brand().reset(); }
