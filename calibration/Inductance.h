#pragma once
// The inductance-sensor wizard without its pages: the access code, the factory
// steps, the user table's point count, the averaged measurement of "Rd.fH", and
// the natural cubic spline through the table's points written as "uU.Kf".
#include <optional>
#include <string>
#include <vector>

class DescBranch;
class Parameter;

namespace calibration {

class CalibrationLink;

inline constexpr const char* kInductanceAccessCode = "846";
inline constexpr int kMaxTablePoints = 21;
inline constexpr int kMeasureReadings = 32;
inline constexpr unsigned kInductanceFailBit = 0x80;

// The lower-range instruction with the module's lower end ("tdev" read; its
// value replaces the default remark when the read succeeds).
std::string LowerRangeInstruction(CalibrationLink& link, DescBranch* tree);
std::string UpperRangeInstruction();

// "zU.Sh" or "zU.Sc"; an answer the link cannot decode counts as done. Empty
// when done, else the error text.
std::string WriteRangeCommand(CalibrationLink& link, const std::string& name);

// "U.Apl", then "Rd.St" (polled branch first). A refused "U.Apl" ends it with
// the link's text; failed: bit 0x80 says the calibration failed; a missing or
// unread status word is not known as a failure (verified false).
struct ApplyCheck {
  std::string refusal;
  bool failed = false;
  bool verified = true;
};
ApplyCheck ApplyAndCheck(CalibrationLink& link, DescBranch* polled, DescBranch* tree);

// The point count typed: decimal digits only, 2..21.
std::optional<int> ParsePointCount(const std::string& text);

// The running value of the measurement: the first reading is taken as it is,
// each later one averaged with the running value.
class RunningAverage {
 public:
  void Add(double v) {
    mean_ = first_ ? v : (mean_ + v) / 2;
    first_ = false;
  }
  bool Empty() const { return first_; }
  double Value() const { return mean_; }

 private:
  bool first_ = true;
  double mean_ = 0;
};

// 32 reads of the row's "Rd.fH"; a failed read or one that is no valid float ends
// it (error set to the note, none returned).
std::optional<double> MeasureAverage(CalibrationLink& link, Parameter& reading, std::string& error);

// The augmented matrix (M rows of M + 1) of the natural cubic spline through n
// points, unknowns A0, B0, C0, D0, A1, ... in that order.
std::vector<std::vector<double>> BuildSplineSystem(const std::vector<double>& x, const std::vector<double>& y);
// Gauss-Jordan elimination with partial pivoting; none when the matrix is singular.
std::optional<std::vector<double>> SolveLinearSystem(std::vector<std::vector<double>> matrix);

// The spline's coefficients (4(n-1), as floats), or none with the reason: fewer
// than 2 or more than 21 points, x not strictly ascending, a result that is not finite.
std::optional<std::vector<float>> FitSpline(const std::vector<double>& x, const std::vector<double>& y,
                                            std::string& why);

// A table row as the user save takes it: the cell texts of its inductance
// ("uU.Pn") and physical value.
struct TablePoint {
  Parameter* inductance = nullptr;  // the row's "uU.Pn" (written as it is)
  std::string physical;
};

struct UserTableOutcome {
  bool done = false;
  std::string text;                // the box's text (failure)
  std::string caption;             // the box's caption
  bool calibrationFailed = false;  // "Ошибка калибровки!" after the apply
  bool verified = true;            // false: the status word could not be read
};
// Validates the points, writes "uU.Pn" of each row, the coefficients, "U.Apl",
// and checks "Rd.St". Nothing is written when the points do not make a spline.
UserTableOutcome SaveUserTable(CalibrationLink& link, DescBranch* polled, DescBranch* tree,
                               const std::vector<TablePoint>& points);

}  // namespace calibration
