#include "calibration/StrainGauge.h"

#include <cmath>

#include "calibration/CalibrationLink.h"
#include "calibration/SharedReading.h"
#include "model/TypedNumber.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

namespace calibration {

namespace {

const char* const kRanges[7][2] = {{"-4", "+4"},   {"-7.5", "+7.5"}, {"-15", "+15"},  {"-35", "+35"},
                                   {"-70", "+70"}, {"-140", "+140"}, {"-300", "+300"}};

}  // namespace

std::optional<std::pair<std::string, std::string>> SensitivityRange(int index) {
  if (index < 0 || index > 6) return std::nullopt;
  return std::make_pair(std::string(kRanges[index][0]), std::string(kRanges[index][1]));
}

std::vector<std::string> EnumerationNames(const std::string& type) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= type.size()) {
    const size_t colon = type.find(':', start);
    std::string item = type.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (item.empty()) break;
    for (char& c : item)
      if (c == '_') c = ' ';
    names.push_back(std::move(item));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return names;
}

std::vector<std::string> SensitivityEntries(const std::string& sensType) {
  std::vector<std::string> entries;
  const std::vector<std::string> names = EnumerationNames(sensType);
  for (size_t j = 0; j < names.size(); ++j) {
    const auto range = SensitivityRange(static_cast<int>(j));
    entries.push_back(
        range ? platform::Format("%s (%s..%s мВ)", names[j].c_str(), range->first.c_str(), range->second.c_str())
              : names[j]);
  }
  return entries;
}

std::string WriteSensitivity(CalibrationLink& link, Parameter& sens, int index) {
  const std::vector<std::string> names = EnumerationNames(sens.type);
  if (index < 0 || static_cast<size_t>(index) >= names.size()) return resources::LoadString(kStrNoData);
  return StepWrites(link, {{&sens, names[static_cast<size_t>(index)]}}).refusal;
}

std::string WriteAdjustCommand(CalibrationLink& link, const std::string& name, int channel, bool fourChannels) {
  if (channel < 0 || channel > 3) return {};
  Parameter command(name);
  MakeTemporary(command, "void", "", fourChannels ? channel : -1);
  if (link.WriteParameter(command) == 0) return {};
  // The module may acknowledge the command in a form the link does not decode.
  if (command.answerNotDecoded) return {};
  return command.note.empty() ? std::string(" ") : command.note;
}

StatusCheck CheckStatusAfterSave(CalibrationLink& link, DescBranch* polled, DescBranch* tree, unsigned failBits) {
  const Reading status = ReadSharedCopy(link, FindPolledFirst(polled, tree, "Rd.St"));
  if (!status.ok) return StatusCheck::Unverified;
  const std::optional<int> word = StatusWord(status.value);
  if (!word) return StatusCheck::Unverified;
  return (static_cast<unsigned>(*word) & failBits) != 0 ? StatusCheck::Failed : StatusCheck::Good;
}

FactorySaveOutcome SaveFactory(CalibrationLink& link, DescBranch* polled, DescBranch* tree,
                               const std::map<int, Parameter*>& sens) {
  FactorySaveOutcome out;
  Parameter apply("U.Apl");
  MakeTemporary(apply, "void", "");
  if (link.WriteParameter(apply) != 0) {
    out.refusal = RefusalText(apply);
    return out;
  }
  out.check = CheckStatusAfterSave(link, polled, tree, kStrainGaugeFailBits);
  if (out.check != StatusCheck::Failed)
    for (const auto& [index, parameter] : sens)
      if (parameter != nullptr) link.ReadParameter(*parameter);
  return out;
}

std::string SensitivityLines(CalibrationLink& link, Parameter* sens, bool upperPage) {
  const std::string unknown = upperPage ? "<не определено>" : resources::LoadString(kStrNoData);
  std::string current = unknown;
  std::string range = unknown;
  if (sens != nullptr && link.ReadParameter(*sens) == 0) {
    current = sens->value;
    const std::vector<std::string> names = EnumerationNames(sens->type);
    for (size_t j = 0; j < names.size(); ++j) {
      if (!platform::EqualsNoCase(names[j], sens->value)) continue;
      if (const auto r = SensitivityRange(static_cast<int>(j)))
        range = platform::Format("%s..%s мВ", r->first.c_str(), r->second.c_str());
      break;
    }
  }
  return "Текущая чувствительность: " + current + "\r\nДиапазон: " + range;
}

std::optional<float> ParsePointText(const std::string& text) {
  // The whole text, and only what the float on the wire carries: "12abc" and "1e39"
  // are refused on their page, not at the save.
  const std::optional<double> v = model::ReadTypedNumber(text, model::kSingleFloat);
  if (!v) return std::nullopt;
  return static_cast<float>(*v);
}

std::string PointInputError(bool percentOk, bool valueOk) {
  if (percentOk && valueOk) return {};
  return platform::Format("Неверно введены следующие данные:%s%s.",
                          percentOk ? "" : "\r\n - значение величины в процентах",
                          valueOk ? "" : "\r\n - значение величины в единицах");
}

std::optional<UserLine> ComputeUserLine(const UserPoint& lower, const UserPoint& upper, std::string& why) {
  if (!lower.voltage || !upper.voltage) {
    why = "Нет текущего значения напряжения для одной из точек. Юстировка не выполнена.";
    return std::nullopt;
  }
  const double p1 = lower.percent, u1 = lower.value, v1 = *lower.voltage;
  const double p2 = upper.percent, u2 = upper.value, v2 = *upper.voltage;
  if (p1 == p2) {
    why = "Значения величины в процентах для двух точек совпадают. Юстировка не выполнена.";
    return std::nullopt;
  }
  // The same input at both points (the signal was not changed) is a line of no span.
  if (v1 == v2) {
    why = "Значения напряжения для двух точек совпадают. Юстировка не выполнена.";
    return std::nullopt;
  }
  const double k = (v2 - v1) / (p2 - p1);
  const double t = (u2 - u1) / (p2 - p1);
  UserLine line{v1 - k * p1, v2 + (100 - p2) * k, u1 - p1 * t, u2 + (100 - p2) * t};
  // Values a float cannot carry are no coefficients either.
  for (double x : {line.zuFn, line.zuFx, line.vMin, line.vMax}) {
    if (!std::isfinite(x) || !std::isfinite(static_cast<float>(x))) {
      why = "Юстировочные коэффициенты по введённым данным не вычисляются. Юстировка не выполнена.";
      return std::nullopt;
    }
  }
  return line;
}

UserSaveOutcome SaveUser(CalibrationLink& link, DescBranch* polled, DescBranch* tree, int channel, bool fourChannels,
                         const UserPoint& lower, const UserPoint& upper) {
  UserSaveOutcome out;
  const std::optional<UserLine> line = ComputeUserLine(lower, upper, out.message);
  if (!line) return out;
  Parameter zero("zu.fn"), full("zu.fx");
  MakeTemporary(zero, "float", "", fourChannels ? channel : -1);
  MakeTemporary(full, "float", "", fourChannels ? channel : -1);
  if (const StepWritesResult voltages =
          StepWrites(link, {{&zero, platform::Format("%f", line->zuFn)}, {&full, platform::Format("%f", line->zuFx)}});
      !voltages.done) {
    out.message = voltages.Message();
    return out;
  }
  Parameter apply("U.Apl");
  MakeTemporary(apply, "void", "");
  if (link.WriteParameter(apply) != 0) {
    out.message = RefusalText(apply);
    out.stayOnSave = true;
    return out;
  }
  const StatusCheck check = CheckStatusAfterSave(link, polled, tree, kStrainGaugeFailBits);
  if (check == StatusCheck::Failed) {
    out.repeat = true;
    out.message = "Ошибка юстировки! Пожалуйста, повторите операцию юстировки.";
    return out;
  }
  Parameter* low = tree != nullptr ? tree->FindParameter("v.min", nullptr, nullptr, nullptr, channel) : nullptr;
  Parameter* high = tree != nullptr ? tree->FindParameter("v.max", nullptr, nullptr, nullptr, channel) : nullptr;
  std::vector<StepWrite> limits;
  if (low != nullptr) limits.push_back({low, platform::Format("%f", line->vMin)});
  if (low != nullptr && high != nullptr) limits.push_back({high, platform::Format("%f", line->vMax)});
  const StepWritesResult written = StepWrites(link, limits);
  if (!written.done || low == nullptr || high == nullptr) {
    // The minimum may already be in the module when the maximum is refused.
    out.message = written.written.empty()
                      ? "Калибровка прошла успешно, но не удалось обновить значения минимума и максимума величины "
                        "(v.Min и v.Max)."
                      : "Калибровка прошла успешно, значение минимума величины (v.Min) обновлено, но не удалось "
                        "обновить значение максимума величины (v.Max).";
    if (!written.refusal.empty() && written.refusal != " ") out.message += "\n" + written.refusal;
    return out;
  }
  out.done = true;
  if (check == StatusCheck::Unverified) out.message = kUnverifiedText;
  return out;
}

}  // namespace calibration
