#include "link/ModelTable.h"

#include "platform/Text.h"
#include "resources/StringTable.h"

namespace exchange {

const ModelRow kModelTable[kModelCount + 1] = {
    {132, "ZD580-01"}, {133, "ZD580-02"}, {135, "ZD580-03"}, {136, "ZD580-04"}, {137, "ZD580-05"},
    {138, "ZD58-06"},  {141, "zd58-07"},  {142, "zd580-08"}, {143, "zd580-09"}, {144, "ZD580-10"},
    {145, "zd580-11"}, {146, "zd580-12"}, {147, "zd580-13"}, {352, "zd580-14"}, {353, "zd580-14"},
    {289, "zd580-16"}, {290, "zd580-17"}, {291, "zd580-18"}, {292, "zd580-19"}, {293, "zd580-20"},
    {294, "zd580-21"}, {295, "zd580-22"}, {297, "zd580-23"}, {0, nullptr}};

std::string ModelDisplayName(int modelIndex) {
  if (modelIndex < 0 || modelIndex >= kModelCount) return {};
  return resources::LoadString(static_cast<int>(kModelTable[modelIndex].nameId));
}

int FindModelByDeviceId(const std::string& deviceId) {
  for (int i = 0; i < kModelCount; ++i)
    if (platform::EqualsNoCase(deviceId, kModelTable[i].deviceId)) return i;
  return -1;
}

}  // namespace exchange
