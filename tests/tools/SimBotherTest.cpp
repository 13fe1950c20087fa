// A rate without a B-constant reaches the module's check through termios2. This
// file includes the kernel's termios2 header, which clashes with <termios.h>.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "Simulator.h"

using namespace z580sim;

namespace {

bool SetRate(int fd, unsigned rate) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | CIBAUD);
  t.c_cflag |= BOTHER;
  t.c_ispeed = rate;
  t.c_ospeed = rate;
  return ioctl(fd, TCSETS2, &t) == 0;
}

std::string Exchange(int fd, const std::string& request, int timeoutMs) {
  if (write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) return "";
  std::string got;
  pollfd p{fd, POLLIN, 0};
  while (got.find('\r') == std::string::npos && poll(&p, 1, timeoutMs) > 0) {
    char buf[64];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
  }
  return got;
}

}  // namespace

TEST(SimulatorLine, RateSetThroughTermios2IsSeen) {
  SimConfig c;
  c.model = 0;
  c.line.baud = 14400;
  Simulator sim(c);
  ASSERT_TRUE(sim.Start());
  const int fd = open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  Frame f;
  f.address = 16;
  f.read = true;
  f.hash = NameHash("dev");
  const std::string request = EncodeFrame(f, 8);

  ASSERT_TRUE(SetRate(fd, 28800));
  EXPECT_EQ(Exchange(fd, request, 300), "");
  ASSERT_TRUE(SetRate(fd, 14400));
  const std::string reply = Exchange(fd, request, 1000);
  ASSERT_FALSE(reply.empty());
  EXPECT_EQ(reply[0], '#');
  sim.WaitForRequests(2, 1000);  // the record follows the reply
  const auto log = sim.Requests();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_NE(log[0].outcome.find("28800"), std::string::npos);
  close(fd);
}
