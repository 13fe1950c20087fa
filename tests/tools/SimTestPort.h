#pragma once
// The program's side of the simulated line, with plain termios: open the slave,
// set the line, send a request, collect the reply.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace simtest {

struct PortLine {
  speed_t speed = B9600;
  bool twoStopBits = false;
  char parity = 'N';  // 'N', 'E', 'O'
};

class TestPort {
 public:
  explicit TestPort(const std::string& path, PortLine line = {}) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ >= 0) Configure(line);
  }
  ~TestPort() {
    if (fd_ >= 0) ::close(fd_);
  }
  TestPort(const TestPort&) = delete;
  TestPort& operator=(const TestPort&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }

  bool Configure(PortLine line) {
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return false;
    cfmakeraw(&t);
    cfsetispeed(&t, line.speed);
    cfsetospeed(&t, line.speed);
    t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | PARODD);
    if (line.twoStopBits) t.c_cflag |= CSTOPB;
    if (line.parity == 'E') t.c_cflag |= PARENB;
    if (line.parity == 'O') t.c_cflag |= PARENB | PARODD;
    t.c_cflag |= CLOCAL | CREAD;
    return tcsetattr(fd_, TCSANOW, &t) == 0;
  }

  void Send(const std::string& bytes) {
    tcflush(fd_, TCIFLUSH);
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n > 0) done += static_cast<size_t>(n);
      else if (n < 0 && errno != EAGAIN && errno != EINTR) return;
    }
  }

  // Reads until `end` arrives (0: until the time-out) or the time-out passes.
  std::string Receive(int timeoutMs, char end = '\r') {
    std::string got;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      if (left.count() <= 0) return got;
      pollfd p{fd_, POLLIN, 0};
      const int r = ::poll(&p, 1, static_cast<int>(left.count()));
      if (r <= 0) return got;
      if (p.revents & (POLLHUP | POLLERR)) {
        hungUp_ = true;
        return got;
      }
      char buf[256];
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n < 0 && errno == EIO) {
        hungUp_ = true;
        return got;
      }
      if (n > 0) {
        got.append(buf, static_cast<size_t>(n));
        if (end && got.find(end) != std::string::npos) return got;
      }
    }
  }

  std::string Transact(const std::string& request, int timeoutMs = 1000, char end = '\r') {
    Send(request);
    return Receive(timeoutMs, end);
  }

  bool HungUp() const { return hungUp_; }

 private:
  int fd_ = -1;
  bool hungUp_ = false;
};

}  // namespace simtest
