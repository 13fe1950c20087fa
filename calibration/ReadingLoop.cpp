#include "calibration/ReadingLoop.h"

#include <chrono>

namespace calibration {

bool ReadingLoop::Start(Pass pass, int periodMs) {
  if (thread_.joinable()) return false;
  {
    std::lock_guard lock(mutex_);
    stop_ = false;
  }
  stopRequested_ = false;
  const std::uint64_t generation = ++generation_;
  thread_ = std::thread([this, pass = std::move(pass), periodMs, generation] {
    std::unique_lock lock(mutex_);
    while (!stop_) {
      lock.unlock();
      pass(generation);
      lock.lock();
      wake_.wait_for(lock, std::chrono::milliseconds(periodMs), [this] { return stop_; });
    }
  });
  return true;
}

void ReadingLoop::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  stopRequested_ = true;
  // Readings already posted belong to a closed generation from here on.
  ++generation_;
  wake_.notify_all();
  thread_.join();
}

}  // namespace calibration
