#include "calibration/PhRedox.h"

#include <cmath>

#include "calibration/CalibrationLink.h"
#include "calibration/CommonWizard.h"
#include "calibration/SharedReading.h"
#include "model/TypedNumber.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "resources/StringTable.h"

namespace calibration {

namespace {

std::string Instruction(const char* place, bool redox, const char* tail) {
  const char* what = redox ? "ОВП" : "pH";
  const char* field = redox ? "«Текущее значение ОВП, мВ»" : "«Текущее значение pH»";
  return platform::Format(
      "1) Поместите датчик %sбуферный раствор;\r\n\r\n2) Введите значение %s буферного раствора в "
      "соответствующее поле;\r\n\r\n3) Дождитесь устойчивых показаний в поле %s;\r\n\r\n4) Нажмите кнопку "
      "«Продолжить», чтобы выполнить юстировку%s.",
      place, what, field, tail);
}
}  // namespace

int PhMode(int typeEntry, int pointsEntry) { return (typeEntry == 1 ? 2 : 0) + (pointsEntry == 1 ? 1 : 0); }
bool IsTwoPointMode(int mode) { return mode == 1 || mode == 3; }
bool IsRedoxMode(int mode) { return mode == 2 || mode == 3; }

std::string PointCommand(int mode, int step) {
  static const char* const kCommands[4][2] = {{"U.pH1", ""}, {"U.pHL", "U.pHH"}, {"U.Rx1", ""}, {"U.RxL", "U.RxH"}};
  if (mode < 0 || mode > 3 || step < 1 || step > 2) return {};
  return kCommands[mode][step - 1];
}

std::string PointInstruction(int mode, int step) {
  if (mode < 0 || mode > 3 || step < 1 || step > 2) return {};
  if (step == 2 && !IsTwoPointMode(mode)) return {};
  const bool redox = IsRedoxMode(mode);
  if (!IsTwoPointMode(mode)) return Instruction("в ", redox, "");
  const char* place = step == 1 ? "в первый " : "во второй ";
  // Only the pH texts name the point.
  const char* tail = redox ? "" : step == 1 ? " первой точки" : " второй точки";
  return Instruction(place, redox, tail);
}

std::optional<std::string> NormaliseBufferValue(const std::string& text) {
  // "6.86abc" and "0x10" are no values, and one the float on the wire cannot carry
  // ("1e39") would never reach the module.
  if (!model::ReadTypedNumber(text, model::kSingleFloat)) return std::nullopt;
  return model::TypedNumberText(text);
}

std::string WritePoint(CalibrationLink& link, int mode, int step, const std::string& value) {
  const std::string name = PointCommand(mode, step);
  if (name.empty()) return {};
  Parameter point(name);
  MakeTemporary(point, "float", value);
  if (link.WriteParameter(point) == 0) return {};
  return RefusalText(point);
}

bool IsPointTaken(const std::string& statusText) {
  const std::optional<int> word = StatusWord(statusText);
  return word && (static_cast<unsigned>(*word) & kPhBusyBit) == 0;
}

Confirmation ReadConfirmation(CalibrationLink& link, DescBranch* tree) {
  Confirmation out;
  Parameter* source = tree ? tree->FindParameter("tco.t") : nullptr;
  int position = -1;
  if (source == nullptr || link.ReadParameter(*source) != 0 || !source->FindEnumIndex(source->value, position)) {
    out.failedName = source ? source->name : "tco.t";
    return out;
  }
  out.ok = true;
  out.temperatureSource = position;
  const char* temperature = position == 0 ? "TSe.T" : position == 1 ? "C.Tem" : nullptr;
  std::string pairs;
  for (const char* name : {temperature, "E.Crd", "p.Crd"}) {
    if (name == nullptr) continue;
    Parameter* p = tree->FindParameter(name);
    std::string description;
    ValueText value;
    value.SetNoData();
    if (p != nullptr) {
      p->value = value;
      link.ReadParameter(*p);
      description = p->description;
      // A failed read leaves no data.
      if (!p->note.empty()) p->value.SetNoData();
      value = p->value;
    }
    pairs += platform::Format("%s: %s\n", description.c_str(), value.c_str());
  }
  out.text = pairs + "\nУказанные параметры верны?";
  return out;
}

SlopeReport SlopeOfText(const std::string& applyValue) {
  SlopeReport report;
  double v = 0;
  if (platform::ParseDouble(applyValue, v) == 0) {
    report.kind = SlopeReport::Unknown;
    report.text = "Не удалось определить отклонение крутизны водородной характеристики.";
  } else if (v >= 0.96 && v <= 1.1) {
    report.kind = SlopeReport::Good;
    report.text = platform::Format("Числовое значение отклонения крутизны водородной характеристики: %.2f", v);
  } else {
    report.kind = SlopeReport::OutOfRange;
    report.text = platform::Format(
        "Числовое значение отклонения крутизны водородной характеристики: %.2f.\n\nПараметры электродной пары "
        "выходят за допустимые пределы. Рекомендуется заменить электроды.",
        v);
  }
  return report;
}

PhSaveOutcome SavePh(CalibrationLink& link, DescBranch* polled, DescBranch* tree, int mode) {
  PhSaveOutcome out;
  Parameter apply("U.Apl");
  MakeTemporary(apply, "float", "");
  if (link.WriteParameter(apply) != 0) {
    out.refusal = RefusalText(apply);
    return out;
  }
  const Reading status = ReadSharedCopy(link, FindPolledFirst(polled, tree, "Rd.St"));
  const std::optional<int> word = status.ok ? StatusWord(status.value) : std::nullopt;
  if (!word) {
    out.unverified = true;
    return out;
  }
  if ((static_cast<unsigned>(*word) & kPhRepeatBit) != 0) {
    out.repeat = true;
    return out;
  }
  if (!IsRedoxMode(mode)) out.slope = SlopeOfText(apply.value);
  for (const char* name : {"E.Crd", "p.Crd"})
    if (Parameter* p = tree ? tree->FindParameter(name) : nullptr) link.ReadParameter(*p);
  return out;
}

}  // namespace calibration
