#include "calibration/TareWeight.h"

#include <optional>

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
  // Only this read's float is shown: an invalid reading keeps no earlier one.
  weight->rawValue.reset();
  if (link.ReadParameter(*weight) != 0) return resources::LoadString(kStrNoData);
  if (!platform::EqualsNoCase(weight->type, "float")) return {};
  // The float as received, not its text rounded to the parameter's decimal places;
  // a reading that is no measurement shows the text it was given ("недопустимое значение").
  const std::optional<float> received = weight->ReceivedFloat();
  return received ? platform::Format("%.3f", static_cast<double>(*received)) : weight->value;
}

std::string StoreTareWeight(CalibrationLink& link, DescBranch* tree, int channel, bool fourChannels) {
  Parameter command("U.Wgh");
  MakeCommandParameter(command, "void", "");
  if (fourChannels) {
    command.indexed = true;
    command.linearIndex = channel;
  }
  if (link.WriteParameter(command) != 0) return RefusalText(command);
  if (Parameter* tare = tree ? tree->FindParameter("p.wgh", nullptr, nullptr, nullptr, fourChannels ? channel : 0) : nullptr)
    link.ReadParameter(*tare);
  return {};
}

}  // namespace calibration
