#include "calibration/TareWeight.h"

#include "calibration/CalibrationLink.h"
#include "calibration/CommonWizard.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

namespace calibration {

std::string ReadWeightText(CalibrationLink& link, DescBranch* tree, int channel) {
  Parameter* weight = tree ? tree->FindParameter("Rd.fF", nullptr, nullptr, nullptr, channel) : nullptr;
  if (weight == nullptr) return {};
  if (link.ReadParameter(*weight) != 0) return resources::LoadString(194);
  if (!platform::EqualsNoCase(weight->type, "float")) return {};
  return platform::Format("%.3f", platform::Atof(weight->value));
}

bool StoreTareWeight(CalibrationLink& link, DescBranch* tree, int channel, bool fourChannels) {
  Parameter command("U.Wgh");
  MakeCommandParameter(command, "void", "");
  if (fourChannels) {
    command.indexed = true;
    command.linearIndex = channel;
  }
  if (link.WriteParameter(command) != 0) return false;
  if (Parameter* tare = tree ? tree->FindParameter("p.wgh", nullptr, nullptr, nullptr, fourChannels ? channel : 0) : nullptr)
    link.ReadParameter(*tare);
  return true;
}

}  // namespace calibration
