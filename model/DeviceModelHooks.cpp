#include "model/DeviceModelHooks.h"

#include <atomic>

#include "platform/CFormat.h"

namespace model {
namespace {
std::atomic<DeviceModelHooks*> gCurrent{nullptr};
}  // namespace

std::string DeviceModelHooks::FormatValue(float value) const {
  return platform::Format("%.3f", static_cast<double>(value));
}

Parameter* DeviceModelHooks::OnParameterEdited(Parameter&) { return nullptr; }

DeviceModelHooks* CurrentDeviceModel() { return gCurrent.load(); }

DeviceModelHooks* SetCurrentDeviceModel(DeviceModelHooks* model) { return gCurrent.exchange(model); }

}  // namespace model
