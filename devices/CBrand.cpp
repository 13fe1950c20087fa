#include "devices/CBrand.h"

#include <memory>

#include "devices/TableControl.h"
#include "resources/StringTable.h"

namespace {
// Display names in model-index order.
constexpr int kModelNameIds[23] = {132, 133, 135, 136, 137, 138, 141, 142, 143, 144, 145, 146,
                                   147, 352, 353, 289, 290, 291, 292, 293, 294, 295, 297};

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
