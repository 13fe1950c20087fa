// The settings files are plain text anyone can edit: parsing must never crash, and
// whatever parses must survive being written and read back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/SettingsStore.h"

using namespace platform;

static bool Same(const SettingsData& a, const SettingsData& b) {
  if (a.keys.size() != b.keys.size()) return false;
  for (size_t k = 0; k < a.keys.size(); ++k) {
    const SettingKey& x = a.keys[k];
    const SettingKey& y = b.keys[k];
    if (x.path != y.path || x.values.size() != y.values.size()) return false;
    for (size_t v = 0; v < x.values.size(); ++v) {
      const SettingValue& p = x.values[v];
      const SettingValue& q = y.values[v];
      if (p.name != q.name || p.type != q.type || p.text != q.text || p.dword != q.dword) return false;
    }
  }
  return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SettingsData first;
  if (!ParseSettingsText(std::string_view(reinterpret_cast<const char*>(data), size), first)) return 0;
  SettingsData second;
  if (!ParseSettingsText(SerializeSettings(first, Hive::CurrentUser), second) || !Same(first, second)) std::abort();
  return 0;
}
