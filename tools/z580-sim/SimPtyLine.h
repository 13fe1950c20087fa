#pragma once
// The line settings of a pseudo-terminal as the master side sees them. Linux
// answers TCGETS2 on the master with the slave's settings, rate included (also a
// rate set through BOTHER). The pseudo-terminal driver forces 8 data bits and
// clears the parity-enable bit on every change, so only the rate, the stop bits
// and the odd-parity bit survive; data bits cannot be seen at all.
// Kept in a source file of its own: the kernel's termios2 header clashes with
// <termios.h>.

namespace z580sim {

struct PtyLineView {
  unsigned baud = 0;
  bool twoStopBits = false;
  bool oddParityBit = false;
};

bool ReadPtyLine(int fd, PtyLineView& view);
// Raw mode without echo, so that the module never reads its own replies back.
bool MakePtyRaw(int fd);

}  // namespace z580sim
