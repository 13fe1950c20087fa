#include "link/ModelTable.h"

#include "platform/Text.h"
#include "resources/StringTable.h"

namespace exchange {

const ModelRow kModelTable[kModelCount + 1] = {
    {kStrModelName01, "ZD580-01"}, {kStrModelName02, "ZD580-02"}, {kStrModelName03, "ZD580-03"},
    {kStrModelName04, "ZD580-04"}, {kStrModelName05, "ZD580-05"},
    {kStrModelName06, "ZD58-06"},  {kStrModelName07, "zd58-07"},  {kStrModelName08, "zd580-08"},
    {kStrModelName09, "zd580-09"}, {kStrModelName10, "ZD580-10"},
    {kStrModelName11, "zd580-11"}, {kStrModelName12, "zd580-12"}, {kStrModelName13, "zd580-13"},
    {kStrModelName14, "zd580-14"}, {kStrModelName15, "zd580-14"},
    {kStrModelName16, "zd580-16"}, {kStrModelName17, "zd580-17"}, {kStrModelName18, "zd580-18"},
    {kStrModelName19, "zd580-19"}, {kStrModelName20, "zd580-20"},
    {kStrModelName21, "zd580-21"}, {kStrModelName22, "zd580-22"}, {kStrModelName23, "zd580-23"}, {0, nullptr}};

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
