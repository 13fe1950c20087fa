#include "calibration/AnalogOutput.h"

#include "model/TypedNumber.h"
#include <climits>

#include "calibration/CalibrationLink.h"
#include "calibration/CommonWizard.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

namespace calibration {

namespace {

void ShowLinkError(const std::string& what, const Parameter& p) {
  platform::ShowMessage(what + p.note, std::string(), platform::MessageIcon::Warning);
}

// The value a read left in the parameter, when it is a whole number.
std::optional<int> ReadValue(const Parameter& p) {
  long long value = 0;
  if (p.value.empty() || platform::ParseInteger(p.value, 10, value) != p.value.size()) return std::nullopt;
  if (value < INT_MIN || value > INT_MAX) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace

std::vector<OutputPoint> ListPoints(CalibrationLink& link, const OutputTypes& types, int outputCount,
                                    bool automaticReading) {
  std::vector<OutputPoint> points;
  for (int c = 1; c <= outputCount && c <= static_cast<int>(types.size()); ++c) {
    Parameter* type = types[static_cast<size_t>(c - 1)];
    if (type == nullptr) continue;
    if (type->value.HasNoData() && automaticReading) link.ReadParameter(*type);
    if (platform::EqualsNoCase(type->value, "Дискретный")) continue;
    points.push_back({2 * (c - 1), platform::Format("K4  выхода №%1i", c)});
    points.push_back({2 * (c - 1) + 1, platform::Format("K20 выхода №%1i", c)});
  }
  return points;
}

std::optional<int> StepValue(int value, int step) {
  const long long next = static_cast<long long>(value) + step;
  if (next < 0 || next > kMaxPointValue) return std::nullopt;
  return static_cast<int>(next);
}

std::optional<int> ParsePointValue(const std::string& text) {
  const std::optional<double> value = model::ReadTypedNumber(text, {0, kMaxPointValue, true, false});
  if (!value) return std::nullopt;
  return static_cast<int>(*value);
}

void AnalogOutputCalibration::MakePointParameter(Parameter& p, int point) const {
  p.type = "int";
  p.indexed = true;
  p.linearIndex = point;
  p.attributes = 1;
}

AnalogOutputCalibration::Selection AnalogOutputCalibration::Refuse(const std::string& what, const Parameter& p) {
  ShowLinkError(what, p);
  current_ = -1;
  held_.reset();
  return Selection::Refused;
}

AnalogOutputCalibration::Selection AnalogOutputCalibration::SelectPoint(int point, const std::string& valueText) {
  if (current_ >= 0) {
    const std::optional<int> v = ParsePointValue(valueText);
    // The previous point keeps what the module holds; the next one waits until it did.
    if (v && !WriteValue(*v)) return Selection::Refused;
  }
  Parameter k("CLB.K");
  MakePointParameter(k, point);
  // Without the module's value there is nothing to show or to step from.
  if (link_.ReadParameter(k) != 0) return Refuse("Комманда чтения CLB.K вернула ошибку:\n", k);
  const std::optional<int> value = ReadValue(k);
  if (!value) return Refuse("Комманда чтения CLB.K вернула ошибку:\n", k);
  savedEditable = k.editable;
  savedOwner = k.owner;
  if (k.editable == 0) {
    const std::string question = platform::Format(
        "Предупреждение:\nУ параметра %s:%i установлен атрибут 'Нередактируемый'.\n\nПродолжить юстировку?",
        k.name.c_str(), point);
    if (platform::ShowMessage(question, std::string(), platform::MessageIcon::Question,
                              platform::MessageButtons::YesNo) != platform::kAnswerYes) {
      Parameter end("CLB.A");
      MakeCommandParameter(end, "void", "");
      link_.ReadParameter(end);
      current_ = -1;
      held_.reset();
      return Selection::Ended;
    }
    k.editable = 1;
    k.editableChanged = true;
    if (link_.WriteParameter(k) != 0)
      return Refuse("Комманда записи CLB.K (для изменения атрибутов) вернула ошибку:\n", k);
  }
  Parameter select("CLB.I");
  MakeCommandParameter(select, "int", platform::Format("%1i", point));
  if (link_.WriteParameter(select) != 0) return Refuse("Комманда CLB.I вернула ошибку:\n", select);
  current_ = point;
  held_ = *value;
  return Selection::Chosen;
}

bool AnalogOutputCalibration::WriteValue(int value) {
  if (current_ < 0) return false;
  Parameter k("CLB.K");
  MakePointParameter(k, current_);
  if (link_.ReadParameter(k) != 0) {
    ShowLinkError("Комманда чтения CLB.K вернула ошибку:\n", k);
    return false;
  }
  if (const std::optional<int> v = ReadValue(k)) held_ = *v;
  if (savedEditable == 0) {
    k.editable = 1;
    if (link_.WriteParameter(k) != 0) {
      ShowLinkError("Комманда записи CLB.K (для изменения атрибутов) вернула ошибку:\n", k);
      return false;
    }
  }
  k.editable = 1;
  k.value = platform::Format("%i", value);
  if (link_.WriteParameter(k) != 0) {
    // Nothing more goes to the module: restoring the attributes would send the
    // refused value once again with them.
    platform::ShowMessage("Комманда записи CLB.K вернула ошибку:\n" + k.note, std::string(),
                          platform::MessageIcon::Warning);
    return false;
  }
  held_ = value;
  // Back to the attributes the module had, when they were changed for the write.
  if (savedEditable == 0 || k.owner != savedOwner) {
    k.editable = savedEditable;
    k.owner = savedOwner;
    link_.WriteParameter(k);
  }
  return true;
}

bool AnalogOutputCalibration::Finish(const std::optional<int>& value) {
  if (current_ >= 0 && value) WriteValue(*value);
  Parameter end("CLB.A");
  MakeCommandParameter(end, "void", "");
  if (link_.ReadParameter(end) != 0) {
    ShowLinkError("Комманда CLB.A вернула ошибку:\n", end);
    return false;
  }
  return true;
}

}  // namespace calibration
