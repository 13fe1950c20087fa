#pragma once
// Line speeds that have no Bxxx constant, set through termios2/BOTHER. Kept apart
// because the kernel's termios header clashes with the C library's <termios.h>.
#include <cstdint>

namespace platform {

// Sets input and output speed of the open terminal fd to baud; false on failure.
bool SetArbitraryBaudRate(int fd, uint32_t baud);
// The output speed the terminal reports; false when it cannot be read.
bool ReadBaudRate(int fd, uint32_t& baud);

}  // namespace platform
