#include "devices/CDevicePW.h"

#include "model/Parameter.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

namespace BaseDevice {

bool CDevicePW::IsNetworkParameter(const std::string& name) const {
  return model::IsBaseNetworkParameter(name) || platform::EqualsNoCase(name, "Rs.dL");
}

Parameter* CDevicePW::GetApplyParameter() {
  if (!applyParameter_) {
    applyParameter_ = std::make_unique<Parameter>("APLY");
    applyParameter_->type = "int";
  }
  // Whatever a caller left in it, the command always sends 129.
  applyParameter_->value = "129";
  return applyParameter_.get();
}

const std::string& CDevicePW::StepText(std::string& text, int step, std::initializer_list<int> ids) {
  if (step >= 1 && static_cast<size_t>(step) <= ids.size()) text = resources::LoadString(ids.begin()[step - 1]);
  return text;
}

}  // namespace BaseDevice
