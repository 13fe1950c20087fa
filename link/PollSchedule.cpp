#include "link/PollSchedule.h"

#include <algorithm>

#include "model/Parameter.h"

namespace exchange {

PollSchedule::PollSchedule(std::vector<Parameter*> parameters)
    : parameters_(std::move(parameters)), entries_(parameters_.size()) {}

void PollSchedule::Refresh() {
  for (size_t i = 0; i < parameters_.size(); ++i) {
    const Parameter& p = *parameters_[i];
    Entry& e = entries_[i];
    const unsigned count = p.pollArmCount.load(std::memory_order_acquire);
    if (count != e.armCount) {
      e.armCount = count;
      // A zero or negative period would fire without pause.
      e.period = std::chrono::milliseconds(std::max(p.pollArmedPeriod.load(), 1));
      e.next = Clock::time_point(std::chrono::nanoseconds(p.pollArmedAt.load())) + e.period;
      e.armed = true;
    }
    if (!p.pollRunning.load()) e.armed = false;
  }
}

Parameter* PollSchedule::TakeDue(Clock::time_point now) {
  Entry* due = nullptr;
  size_t dueIndex = 0;
  for (size_t i = 0; i < entries_.size(); ++i) {
    Entry& e = entries_[i];
    if (!e.armed || e.next > now) continue;
    if (due == nullptr || e.next < due->next) {
      due = &e;
      dueIndex = i;
    }
  }
  if (due == nullptr) return nullptr;
  const auto missed = (now - due->next) / due->period;
  due->next += due->period * (missed + 1);
  return parameters_[dueIndex];
}

std::optional<PollSchedule::Clock::time_point> PollSchedule::NextExpiry() const {
  std::optional<Clock::time_point> next;
  for (const Entry& e : entries_)
    if (e.armed && (!next || e.next < *next)) next = e.next;
  return next;
}

}  // namespace exchange
