#pragma once
// What the benchmarks share: the bare pseudo-terminal round trip they compare the
// link against, the median, and a private settings folder.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

inline double Median(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

// The settings element stores itself on exit: keep the user's settings out of it.
// Returns the folder, or an empty text when none could be made.
inline std::string UsePrivateSettingsFolder() {
  char folder[] = "/tmp/z580-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) return std::string();
  setenv("XDG_CONFIG_HOME", folder, 1);
  return folder;
}

// The slave side of the simulator's pseudo-terminal, raw at 115200 baud; -1 on failure.
inline int OpenRawSlave(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  cfsetispeed(&t, B115200);
  cfsetospeed(&t, B115200);
  tcsetattr(fd, TCSANOW, &t);
  return fd;
}

// One request written whole, then poll and read until the carriage return.
inline bool BareRoundTrip(int fd, const std::string& request) {
  if (::write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) return false;
  char buffer[64];
  size_t got = 0;
  while (got < sizeof buffer) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 1000) <= 0) return false;
    const ssize_t n = ::read(fd, buffer + got, sizeof buffer - got);
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
    if (buffer[got - 1] == '\r') return true;
  }
  return false;
}

}  // namespace bench
