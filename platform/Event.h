#pragma once
// Stand-in for a Windows event object: manual or auto reset, waits with a time-out,
// a wait for the first of several events, and a file descriptor for poll().
#include <chrono>
#include <initializer_list>
#include <span>

namespace platform {

class Event {
 public:
  static constexpr int kInfinite = -1;     // wait without limit
  static constexpr int kWaitTimeout = -1;  // WaitAny: no event within the time-out

  explicit Event(bool manualReset = true, bool initiallySet = false);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;

  // True when the event was (or became) set within timeoutMs (negative: no limit).
  // Consumes an auto-reset event.
  bool Wait(int timeoutMs);

  // Index of the first set event in index order (an auto-reset one is consumed, the
  // others are left as they are), or kWaitTimeout. Null entries are skipped.
  static int WaitAny(std::span<Event* const> events, int timeoutMs);
  static int WaitAny(std::initializer_list<Event*> events, int timeoutMs) {
    return WaitAny(std::span<Event* const>(events.begin(), events.size()), timeoutMs);
  }
  // As WaitAny, with a time-out that ends at the deadline itself rather than after
  // whole milliseconds.
  static int WaitAnyUntil(std::initializer_list<Event*> events, std::chrono::steady_clock::time_point deadline);

  // An eventfd that is readable exactly while the event is set (-1 when the system
  // could not make one). Only for poll(); never read or write it.
  int Fd() const { return fd_; }

 private:
  static int WaitFirst(std::span<Event* const> events, const std::chrono::steady_clock::time_point* deadline);
  bool TryConsumeLocked();
  void SetStateLocked(bool set);

  const bool manualReset_;
  bool set_ = false;
  int fd_ = -1;
};

}  // namespace platform
