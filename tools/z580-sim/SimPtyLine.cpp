#include "SimPtyLine.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace z580sim {

bool ReadPtyLine(int fd, PtyLineView& view) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  view.baud = t.c_ospeed;
  view.twoStopBits = (t.c_cflag & CSTOPB) != 0;
  view.oddParityBit = (t.c_cflag & PARODD) != 0;
  return true;
}

bool MakePtyRaw(int fd) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
  t.c_cflag |= CS8 | CREAD | CLOCAL;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  return ioctl(fd, TCSETS2, &t) == 0;
}

}  // namespace z580sim
