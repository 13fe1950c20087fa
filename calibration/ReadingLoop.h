#pragma once
// The reading thread of a calibration sheet: one pass over its readings every
// period until it is asked to stop. Stopping sets the flag, wakes the pause and
// joins (a pass ends within one exchange's time-out); nothing is ever killed.
// Each start opens a new generation and each stop closes it: a reading posted by
// a pass carries its generation, and the window thread drops a reading whose
// generation is no longer current, so nothing read before a stop reaches the
// next page.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace calibration {

inline constexpr int kReadingPeriodMs = 200;

class ReadingLoop {
 public:
  using Pass = std::function<void(std::uint64_t generation)>;

  ReadingLoop() = default;
  ~ReadingLoop() { Stop(); }
  ReadingLoop(const ReadingLoop&) = delete;
  ReadingLoop& operator=(const ReadingLoop&) = delete;

  // Starts the thread when none runs (false when one does).
  bool Start(Pass pass, int periodMs = kReadingPeriodMs);
  void Stop();
  bool Running() const { return thread_.joinable(); }
  // For the pass: stop between two exchanges rather than finish the list.
  bool StopRequested() const { return stopRequested_.load(); }
  // Whether a reading of that generation may still be shown (the starting thread only).
  bool IsCurrent(std::uint64_t generation) const { return Running() && generation == generation_.load(); }
  std::uint64_t Generation() const { return generation_.load(); }

 private:
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::atomic<bool> stopRequested_{false};
  std::atomic<std::uint64_t> generation_{0};
};

}  // namespace calibration
