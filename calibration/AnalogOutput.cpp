#include "calibration/AnalogOutput.h"

#include "model/TypedNumber.h"

#include "calibration/CalibrationLink.h"
#include "calibration/CommonWizard.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

namespace calibration {

namespace {

constexpr int kStrNoData = 194;

void ShowLinkError(const std::string& what, const Parameter& p) {
  platform::ShowMessage(what + p.note, std::string(), platform::MessageIcon::Warning);
}

}  // namespace

std::vector<OutputPoint> ListPoints(CalibrationLink& link, const OutputTypes& types, int outputCount,
                                    bool automaticReading) {
  std::vector<OutputPoint> points;
  for (int c = 1; c <= outputCount && c <= static_cast<int>(types.size()); ++c) {
    Parameter* type = types[static_cast<size_t>(c - 1)];
    if (type == nullptr) continue;
    if (type->value == resources::LoadString(kStrNoData) && automaticReading) link.ReadParameter(*type);
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

std::optional<int> AnalogOutputCalibration::SelectPoint(int point, const std::string& valueText) {
  if (current_ >= 0) {
    if (const std::optional<int> v = ParsePointValue(valueText)) WriteValue(*v);
  }
  int value = 0;
  Parameter k("CLB.K");
  MakePointParameter(k, point);
  if (link_.ReadParameter(k) != 0) {
    ShowLinkError("Комманда чтения CLB.K вернула ошибку:\n", k);
  } else {
    value = platform::Atoi(k.value);
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
        return std::nullopt;
      }
      k.editable = 1;
      k.editableChanged = true;
      if (link_.WriteParameter(k) != 0)
        ShowLinkError("Комманда записи CLB.K (для изменения атрибутов) вернула ошибку:\n", k);
    }
  }
  Parameter select("CLB.I");
  MakeCommandParameter(select, "int", platform::Format("%1i", point));
  if (link_.WriteParameter(select) != 0) ShowLinkError("Комманда CLB.I вернула ошибку:\n", select);
  current_ = point;
  held_ = value;
  return value;
}

bool AnalogOutputCalibration::WriteValue(int value) {
  if (current_ < 0) return false;
  Parameter k("CLB.K");
  MakePointParameter(k, current_);
  if (link_.ReadParameter(k) == 0) held_ = platform::Atoi(k.value);
  if (savedEditable == 0) {
    k.editable = 1;
    link_.WriteParameter(k);
  }
  k.editable = 1;
  k.value = platform::Format("%i", value);
  const int written = link_.WriteParameter(k);
  const std::string error = k.note;
  // Back to the attributes the module had.
  k.editable = savedEditable;
  k.owner = savedOwner;
  link_.WriteParameter(k);
  if (written != 0) {
    platform::ShowMessage("Комманда записи CLB.K вернула ошибку:\n" + error, std::string(),
                          platform::MessageIcon::Warning);
    return false;
  }
  held_ = value;
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
