#include "model/DeviceModelHooks.h"

#include <atomic>

#include "platform/CFormat.h"
#include "platform/Text.h"

namespace model {
namespace {
std::atomic<DeviceModelHooks*> gCurrent{nullptr};
}  // namespace

std::string DeviceModelHooks::FormatValue(float value) const {
  return platform::Format("%.3f", static_cast<double>(value));
}

Parameter* DeviceModelHooks::OnParameterEdited(Parameter&) { return nullptr; }

bool DeviceModelHooks::IsValidAddress(int, const std::string&) const { return true; }

bool DeviceModelHooks::IsNetworkParameter(const std::string& name) const { return IsBaseNetworkParameter(name); }

bool IsBaseNetworkParameter(const std::string& name) {
  for (const char* n : {"bPS", "LEn", "PrtY", "Sbit", "A.Len", "Addr"})
    if (platform::EqualsNoCase(name, n)) return true;
  return false;
}

DeviceModelHooks* CurrentDeviceModel() { return gCurrent.load(); }

DeviceModelHooks* SetCurrentDeviceModel(DeviceModelHooks* model) { return gCurrent.exchange(model); }

}  // namespace model
