#include "platform/Event.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {
namespace {

// One lock and one condition for all events: a waiter on several events needs no
// registration with each of them, and a Set can never slip between a waiter's check
// and its sleep. The program has only a handful of events.
std::mutex& Lock() {
  static std::mutex m;
  return m;
}
std::condition_variable& Changed() {
  static std::condition_variable cv;
  return cv;
}

}  // namespace

Event::Event(bool manualReset, bool initiallySet) : manualReset_(manualReset) {
  fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (initiallySet) {
    std::lock_guard<std::mutex> guard(Lock());
    SetStateLocked(true);
  }
}

Event::~Event() {
  if (fd_ >= 0) ::close(fd_);
}

void Event::SetStateLocked(bool set) {
  if (set == set_) return;
  set_ = set;
  if (fd_ < 0) return;
  uint64_t value = 1;
  if (set) {
    while (::write(fd_, &value, sizeof value) < 0 && errno == EINTR) {
    }
  } else {
    while (::read(fd_, &value, sizeof value) < 0 && errno == EINTR) {
    }
  }
}

bool Event::TryConsumeLocked() {
  if (!set_) return false;
  if (!manualReset_) SetStateLocked(false);
  return true;
}

void Event::Set() {
  {
    std::lock_guard<std::mutex> guard(Lock());
    SetStateLocked(true);
  }
  Changed().notify_all();
}

void Event::Reset() {
  std::lock_guard<std::mutex> guard(Lock());
  SetStateLocked(false);
}

bool Event::IsSet() const {
  std::lock_guard<std::mutex> guard(Lock());
  return set_;
}

bool Event::Wait(int timeoutMs) {
  Event* self = this;
  return WaitAny(std::span<Event* const>(&self, 1), timeoutMs) == 0;
}

int Event::WaitAny(std::span<Event* const> events, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  return WaitFirst(events, timeoutMs < 0 ? nullptr : &deadline);
}

int Event::WaitAnyUntil(std::initializer_list<Event*> events, std::chrono::steady_clock::time_point deadline) {
  return WaitFirst(std::span<Event* const>(events.begin(), events.size()), &deadline);
}

// A null deadline waits without limit.
int Event::WaitFirst(std::span<Event* const> events, const std::chrono::steady_clock::time_point* deadline) {
  bool anyEvent = false;
  for (Event* e : events) anyEvent = anyEvent || e != nullptr;
  std::unique_lock<std::mutex> lock(Lock());
  for (;;) {
    for (size_t i = 0; i < events.size(); ++i) {
      if (events[i] && events[i]->TryConsumeLocked()) return static_cast<int>(i);
    }
    // Nothing to wait for: never sleep forever.
    if (!anyEvent) return kWaitTimeout;
    if (deadline == nullptr) {
      Changed().wait(lock);
    } else if (Changed().wait_until(lock, *deadline) == std::cv_status::timeout) {
      for (size_t i = 0; i < events.size(); ++i) {
        if (events[i] && events[i]->TryConsumeLocked()) return static_cast<int>(i);
      }
      return kWaitTimeout;
    }
  }
}

}  // namespace platform
