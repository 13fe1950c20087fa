#pragma once
// The polling thread's timers: one deadline per polled parameter, in place of one
// waitable timer each. A start arms the entry (first expiry one period after the
// start, then every period); periods that went by while the thread was busy are
// skipped, not made up; a stop disarms it. There is no limit on the number of
// parameters.
#include <chrono>
#include <optional>
#include <vector>

class Parameter;

namespace exchange {

class PollSchedule {
 public:
  using Clock = std::chrono::steady_clock;

  // The parameters in the order of the polled branch (not owned).
  explicit PollSchedule(std::vector<Parameter*> parameters);

  // Takes up the starts and stops since the last call.
  void Refresh();
  // The due parameter with the earliest expiry (the first in order among equal
  // ones), its next expiry moved to the first one after now; null when none is due.
  Parameter* TakeDue(Clock::time_point now);
  // The earliest armed expiry; none while nothing is armed.
  std::optional<Clock::time_point> NextExpiry() const;

  const std::vector<Parameter*>& Parameters() const { return parameters_; }

 private:
  struct Entry {
    unsigned armCount = 0;
    bool armed = false;
    Clock::time_point next{};
    Clock::duration period{};
  };
  std::vector<Parameter*> parameters_;
  std::vector<Entry> entries_;
};

}  // namespace exchange
