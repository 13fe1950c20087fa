#include "calibration/SharedReading.h"

#include <mutex>

#include "calibration/CalibrationLink.h"
#include "link/AppState.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "platform/Text.h"

namespace calibration {

Parameter* FindPolledFirst(DescBranch* polled, DescBranch* tree, std::string_view name, int key) {
  if (polled != nullptr)
    if (Parameter* p = polled->FindParameter(name, nullptr, nullptr, nullptr, key)) return p;
  return tree != nullptr ? tree->FindParameter(name, nullptr, nullptr, nullptr, key) : nullptr;
}

Reading ReadSharedCopy(CalibrationLink& link, Parameter* shared) {
  Reading reading;
  if (shared == nullptr) return reading;
  Parameter copy(shared->name);
  {
    std::lock_guard lock(App().exchangeLock);
    copy.type = shared->type;
    copy.dot = shared->dot;
    copy.min = shared->min;
    copy.max = shared->max;
    copy.indexed = shared->indexed;
    copy.linearIndex = shared->linearIndex;
    copy.requestIndex = shared->requestIndex;
    // A polled parameter's attributes were settled before its polling began.
    copy.attributes = shared->IsPolled() ? 0 : shared->attributes;
  }
  reading.ok = link.ReadParameter(copy) == 0;
  reading.value = reading.ok ? copy.value : copy.note;
  if (reading.ok && platform::EqualsNoCase(copy.type, "float")) reading.number = copy.ReceivedFloat();
  return reading;
}

std::optional<int> StatusWord(const std::string& text) { return platform::ScanInt(text); }

void MakeTemporary(Parameter& parameter, const std::string& type, const std::string& value, int index) {
  parameter.type = type;
  parameter.value = value;
  if (index >= 0) {
    parameter.indexed = true;
    parameter.linearIndex = index;
  }
}

}  // namespace calibration
