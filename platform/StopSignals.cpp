#include "platform/StopSignals.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

namespace platform {
namespace {

std::atomic<int> gCaught{0};
std::atomic<int> gFd{-1};

// Only what a signal handler may do: an atomic store and a write.
extern "C" void OnStopSignal(int signal) {
  const int saved = errno;
  int expected = 0;
  gCaught.compare_exchange_strong(expected, signal);
  const uint64_t one = 1;
  if (const int fd = gFd.load(); fd >= 0) [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);
  errno = saved;
}

}  // namespace

bool InstallStopSignals() {
  if (gFd.load() >= 0) return true;
  const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) return false;
  gFd = fd;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}

int WaitForStopSignal(Event& event, int timeoutMs) {
  if (const int caught = gCaught.load()) return caught;
  pollfd p[2] = {{event.Fd(), POLLIN, 0}, {gFd.load(), POLLIN, 0}};
  if (p[0].fd < 0) timeoutMs = timeoutMs < 0 || timeoutMs > 10 ? 10 : timeoutMs;  // no descriptor: look again soon
  ::poll(p, 2, timeoutMs);
  return gCaught.load();
}

}  // namespace platform
