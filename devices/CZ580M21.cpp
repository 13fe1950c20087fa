#include "devices/CZ580M21.h"

#include "devices/DeviceDocument.h"
#include "model/DescBranch.h"
#include "model/LinkOps.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

namespace BaseDevice {
namespace {
constexpr int kStatusRows = 7;

// What a step text shows for a parameter the tree lacks.
std::string ValueOf(const Parameter* parameter) {
  return parameter ? parameter->value : resources::LoadString(kStrNoData);
}
}  // namespace

bool CZ580M21::IsNetworkParameter(const std::string& name) const {
  return CDevicePW::IsNetworkParameter(name) || platform::EqualsNoCase(name, "T.pro");
}

int CZ580M21::GetStatusBitCaption(int row) const {
  return row >= 0 && row < kStatusRows ? kStrEepromFault + row : 0;
}

std::string CZ580M21::GetStatusBitText(int row, const unsigned* word) const {
  if (!word || row < 0 || row >= kStatusRows) return {};
  return (*word >> row) & 1u ? "1" : "0";
}

void CZ580M21::LookUpStepParameters() {
  if (stepParametersLookedUp_) return;
  stepParametersLookedUp_ = true;
  DescBranch* tree = document_ ? document_->GetParameterTree() : nullptr;
  if (!tree) return;
  model::LinkOps* link = document_->GetLink();
  auto find = [&](const char* name) {
    Parameter* p = tree->FindParameterAt(name, 0);
    if (p && link && p->value.HasNoData()) link->ReadParameter(*p, 0);
    return p;
  };
  voltageHigh_ = find("uk.hi");
  currentHigh_ = find("ik.hi");
  voltageLow_ = find("uk.lo");
  currentLow_ = find("ik.lo");
}

const std::string& CZ580M21::GetCalibrationStepText(std::string& text, int step) {
  if (step == 4) {
    text = resources::LoadString(kStrStep4);
    return text;
  }
  if (step < 1 || step > 3) return text;
  LookUpStepParameters();
  const bool low = step == 2;
  const int id = step == 1 ? kStrStep1 : step == 2 ? kStrStep2 : kStrStep3;
  text = platform::Format(resources::LoadString(id).c_str(), ValueOf(low ? voltageLow_ : voltageHigh_).c_str(),
                          ValueOf(low ? currentLow_ : currentHigh_).c_str());
  return text;
}

bool CZ580M21::IsCalibrationStepDone(unsigned mode, int step) const {
  const unsigned bit = step == 1 ? 0x02 : step == 2 ? 0x04 : step == 3 ? 0x40 : step == 4 ? 0x80 : 0;
  return (mode & bit) != 0;
}

}  // namespace BaseDevice
