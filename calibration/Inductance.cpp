#include "calibration/Inductance.h"

#include <cmath>
#include <memory>
#include <utility>

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
}

std::string LowerRangeInstruction(CalibrationLink& link, DescBranch* tree) {
  std::string lower = "(зависит от исполнения, ЖЛА: -10 мГн, ЖЛБ: 0 мГн)";
  if (Parameter* tdev = tree ? tree->FindParameter("tdev") : nullptr)
    if (link.ReadParameter(*tdev) == 0) lower = tdev->value;
  return platform::Format(
      "1) Подключите ко входу прибора магазин взаимной индуктивности P5017.\r\n\r\n2) Установите на магазине Р5017 "
      "значение взаимной индуктивности, соответствующее минимальному значению диапазона измерения прибора  "
      "%s.\r\n\r\n3) Нажмите кнопку «Продолжить», чтобы выполнить юстировку минимального значения.",
      lower.c_str());
}

std::string UpperRangeInstruction() {
  return "1) Установите на магазине P5017 значение взаимной индуктивности, соответствующее 10 мГн (максимальный "
         "уровень измеряемой взаимной индуктивности).\r\n\r\n2) Нажмите кнопку «Продолжить», чтобы выполнить "
         "юстировку максимального значения.";
}

std::string WriteRangeCommand(CalibrationLink& link, const std::string& name) {
  Parameter command(name);
  MakeTemporary(command, "void", "");
  if (link.WriteParameter(command) == 0 || command.answerNotDecoded) return {};
  return RefusalText(command);
}

ApplyCheck ApplyAndCheck(CalibrationLink& link, DescBranch* polled, DescBranch* tree) {
  ApplyCheck out;
  Parameter apply("U.Apl");
  MakeTemporary(apply, "void", "");
  if (link.WriteParameter(apply) != 0) {
    out.refusal = RefusalText(apply);
    return out;
  }
  const Reading status = ReadSharedCopy(link, FindPolledFirst(polled, tree, "Rd.St"));
  const std::optional<int> word = status.ok ? StatusWord(status.value) : std::nullopt;
  out.verified = word.has_value();
  out.failed = word && (static_cast<unsigned>(*word) & kInductanceFailBit) != 0;
  return out;
}

std::optional<int> ParsePointCount(const std::string& text) {
  const std::optional<double> n = model::ReadTypedNumber(text, {2, kMaxTablePoints, true, false});
  if (!n) return std::nullopt;
  return static_cast<int>(*n);
}

std::optional<double> MeasureAverage(CalibrationLink& link, Parameter& reading, std::string& error) {
  RunningAverage average;
  for (int i = 0; i < kMeasureReadings; ++i) {
    reading.rawValue.reset();
    if (link.ReadParameter(reading) != 0) {
      error = reading.note.empty() ? std::string(" ") : reading.note;
      return std::nullopt;
    }
    const std::optional<float> v = reading.ReceivedFloat();
    // "недопустимое значение" (erased memory, NaN) is no measurement either.
    if (!v) {
      error = reading.value.empty() ? std::string(" ") : reading.value;
      return std::nullopt;
    }
    average.Add(*v);
  }
  return average.Value();
}

std::vector<std::vector<double>> BuildSplineSystem(const std::vector<double>& x, const std::vector<double>& y) {
  const size_t n = x.size();
  if (n < 2 || y.size() != n) return {};
  const size_t m = 4 * (n - 1);
  std::vector<std::vector<double>> a(m, std::vector<double>(m + 1, 0.0));
  auto h = [&](size_t i) { return x[i + 1] - x[i]; };
  a[0][0] = 1;
  a[0][m] = y[0];
  a[2][2] = 1;
  for (size_t j = 1; j + 1 < n; ++j) {
    const double hh = h(j - 1);
    const size_t c = 4 * (j - 1);  // A, B, C, D of segment j - 1
    const size_t next = 4 * j;
    auto& slope = a[4 * j - 3];
    slope[c + 1] = 1;
    slope[c + 2] = 2 * hh;
    slope[c + 3] = 3 * hh * hh;
    slope[next + 1] = -1;
    auto& end = a[4 * j - 1];
    end[c] = 1;
    end[c + 1] = hh;
    end[c + 2] = hh * hh;
    end[c + 3] = hh * hh * hh;
    end[m] = y[j];
    a[4 * j][next] = 1;
    a[4 * j][m] = y[j];
    auto& curvature = a[4 * j + 2];
    curvature[c + 2] = 2;
    curvature[c + 3] = 6 * hh;
    curvature[next + 2] = -2;
  }
  const double hh = h(n - 2);
  const size_t c = 4 * (n - 2);
  auto& end = a[4 * n - 7];
  end[c] = 1;
  end[c + 1] = hh;
  end[c + 2] = hh * hh;
  end[c + 3] = hh * hh * hh;
  end[m] = y[n - 1];
  auto& flat = a[4 * n - 5];
  flat[c + 2] = 1;
  flat[c + 3] = 3 * hh;
  return a;
}

std::optional<std::vector<double>> SolveLinearSystem(std::vector<std::vector<double>> a) {
  const size_t m = a.size();
  for (const auto& row : a)
    if (row.size() != m + 1) return std::nullopt;
  for (size_t i = 0; i < m; ++i) {
    size_t pivot = i;
    for (size_t r = i + 1; r < m; ++r)
      if (std::fabs(a[r][i]) > std::fabs(a[pivot][i])) pivot = r;
    if (a[pivot][i] == 0 || !std::isfinite(a[pivot][i])) return std::nullopt;
    std::swap(a[i], a[pivot]);
    const double d = a[i][i];
    for (double& v : a[i]) v /= d;
    for (size_t r = 0; r < m; ++r) {
      if (r == i || a[r][i] == 0) continue;
      const double f = a[r][i];
      for (size_t k = i; k <= m; ++k) a[r][k] -= f * a[i][k];
    }
  }
  std::vector<double> out(m);
  for (size_t i = 0; i < m; ++i) out[i] = a[i][m];
  return out;
}

std::optional<std::vector<float>> FitSpline(const std::vector<double>& x, const std::vector<double>& y,
                                            std::string& why) {
  if (x.size() < 2 || x.size() > static_cast<size_t>(kMaxTablePoints) || y.size() != x.size()) {
    why = "Введите значение от 2 до 21.";
    return std::nullopt;
  }
  for (size_t i = 0; i < x.size(); ++i) {
    if (!std::isfinite(x[i]) || !std::isfinite(y[i]) || (i > 0 && !(x[i] > x[i - 1]))) {
      why = platform::Format(
          "Значения индуктивности должны возрастать от строки к строке (строка %i). Коэффициенты не записаны.",
          static_cast<int>(i + 1));
      return std::nullopt;
    }
  }
  const std::optional<std::vector<double>> solved = SolveLinearSystem(BuildSplineSystem(x, y));
  std::vector<float> coefficients;
  if (solved) {
    for (double v : *solved) {
      const float f = static_cast<float>(v);
      if (!std::isfinite(f)) break;
      coefficients.push_back(f);
    }
  }
  if (!solved || coefficients.size() != solved->size()) {
    why = "Коэффициенты по точкам таблицы не вычисляются. Коэффициенты не записаны.";
    return std::nullopt;
  }
  return coefficients;
}

UserTableOutcome SaveUserTable(CalibrationLink& link, DescBranch* polled, DescBranch* tree,
                               const std::vector<TablePoint>& points) {
  UserTableOutcome out;
  std::vector<double> x, y;
  for (const TablePoint& p : points) {
    // The cells hold "%f" texts; the fit takes them as single-precision numbers.
    x.push_back(static_cast<float>(p.inductance ? platform::Atof(p.inductance->value) : NAN));
    y.push_back(static_cast<float>(platform::Atof(p.physical)));
  }
  const std::optional<std::vector<float>> coefficients = FitSpline(x, y, out.text);
  if (!coefficients) {
    out.caption = kCalibrationErrorCaption;
    return out;
  }
  // The table's points, then the fit's coefficients: one step, whose refusal says
  // which of them the module took.
  std::vector<StepWrite> writes;
  for (const TablePoint& p : points) writes.push_back({p.inductance, p.inductance->value});
  std::vector<std::unique_ptr<Parameter>> factors;
  for (size_t j = 0; j < coefficients->size(); ++j) {
    std::string text = platform::Format("%f", static_cast<double>((*coefficients)[j]));
    // Rounding noise below the format's precision is no negative zero on the wire.
    if (text == "-0.000000") text.erase(0, 1);
    factors.push_back(std::make_unique<Parameter>("uU.Kf"));
    MakeTemporary(*factors.back(), "float", "", static_cast<int>(j));
    writes.push_back({factors.back().get(), text});
  }
  if (const StepWritesResult written = StepWrites(link, writes); !written.done) {
    out.text = written.Message();
    const Parameter& refused = *writes[written.written.size()].parameter;
    out.caption = platform::Format("Ошибка записи параметра %s.", refused.name.c_str());
    return out;
  }
  const ApplyCheck check = ApplyAndCheck(link, polled, tree);
  if (!check.refusal.empty()) {
    out.text = check.refusal;
    out.caption = kCalibrationErrorCaption;
    return out;
  }
  out.calibrationFailed = check.failed;
  out.verified = check.verified;
  out.done = true;
  return out;
}

}  // namespace calibration
