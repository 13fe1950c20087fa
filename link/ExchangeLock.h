#pragma once
// The application-wide exchange lock: reentrant for the thread that holds it, and it
// knows whether a thread is waiting for it, so that the polling thread hands the
// link over between two polls only when somebody wants it.
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

class ExchangeLock {
 public:
  void lock() {
    if (mutex_.try_lock()) return;
    waiting_.fetch_add(1);
    mutex_.lock();
    waiting_.fetch_sub(1);
  }
  bool try_lock() { return mutex_.try_lock(); }
  void unlock() { mutex_.unlock(); }

  bool Waited() const { return waiting_.load() > 0; }

  // Called without holding the lock: gives the processor away until the threads that
  // wait for the lock have taken it (for at most a millisecond); returns at once when
  // nobody waits.
  void LetWaitersIn() {
    if (!Waited()) return;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1);
    do {
      std::this_thread::yield();
    } while (Waited() && std::chrono::steady_clock::now() < until);
  }

 private:
  std::recursive_mutex mutex_;
  std::atomic<int> waiting_{0};
};
