#include "platform/Sio.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/SettingsStore.h"
#include "platform/SioBaud.h"
#include "platform/Text.h"

namespace {

constexpr int64_t kNsPerMs = 1000000;

int64_t NowNs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Rates the program offers; 0: no Bxxx constant, set through termios2.
struct Rate {
  uint32_t baud;
  speed_t code;
};
constexpr Rate kRates[] = {{110, B110},       {300, B300},       {600, B600},       {1200, B1200},
                           {2400, B2400},     {4800, B4800},     {9600, B9600},     {14400, 0},
                           {19200, B19200},   {28800, 0},        {38400, B38400},   {56000, 0},
                           {57600, B57600},   {115200, B115200}, {128000, 0},       {256000, 0}};

// Modem-line requests a device may not support (a pseudo-terminal has no RTS).
void ModemLines(int fd, unsigned long request, int bits) { (void)::ioctl(fd, request, &bits); }

enum class WaitResult { Ready, TimedOut, Cancelled, Failed };

}  // namespace

Sio::Sio() = default;

Sio::~Sio() {
  if (fd_ >= 0) Close();
}

bool Sio::IsOpen() const { return fd_ >= 0; }

bool Sio::SpinMilliseconds(float ms) {
  if (!std::isfinite(ms)) return false;
  if (ms <= 0) return true;
  ms = std::min(ms, 60000.0f);  // far above any character time; keeps the arithmetic defined
  const int64_t target = NowNs() + static_cast<int64_t>(static_cast<double>(ms) * kNsPerMs);
  while (NowNs() < target) {
  }
  return true;
}

int Sio::Open() {
  if (fd_ >= 0) Close();
  characterTime = 0;
  responseTimeout = 0;
  lastOpenErrno = 0;
  lastOpenRefused = OpenRefusal::None;

  const std::string path = ResolvePortPath(portName);
  if (path != vanishedAt_) vanished_ = false;
  if (path.empty()) {
    lastOpenErrno = ENOENT;
    return -1;
  }
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    lastOpenErrno = errno;
    // A link left behind by a device that went away (a converter's link, made
    // when it was plugged in): the converter is out, and comes back under it.
    struct stat entry{};
    if (lastOpenErrno == ENOENT && ::lstat(path.c_str(), &entry) == 0 && S_ISLNK(entry.st_mode)) {
      vanishedAt_ = path;
      vanished_ = true;
    }
    return -1;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    lastOpenErrno = errno;
    ::close(fd);
    return -1;
  }
  // From here every failure closes the device again: no half-open port.
  auto fail = [this, fd](int result, OpenRefusal refused = OpenRefusal::None) {
    lastOpenRefused = refused;
    ::close(fd);
    return result;
  };

  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) {
    lastOpenErrno = errno;  // ENOTTY: the path is no terminal
    return fail(-2);
  }

  tcflag_t parityFlags = 0;
  switch (parityCode) {
    case 0:
    case 3: break;
    case 1: parityFlags = PARENB; break;
    case 2: parityFlags = PARENB | CMSPAR | PARODD; break;
    case 4: parityFlags = PARENB | PARODD; break;
    case 5: parityFlags = PARENB | CMSPAR; break;
    default: return fail(-2, OpenRefusal::Parity);
  }
  tcflag_t size = 0;
  switch (dataBits) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return fail(-3, OpenRefusal::DataBits);
  }
  if (stopBits != 1 && stopBits != 2) return fail(-2, OpenRefusal::StopBits);
  const Rate* rate = std::find_if(std::begin(kRates), std::end(kRates), [&](const Rate& r) { return r.baud == baudRate; });
  if (rate == std::end(kRates)) return fail(-2, OpenRefusal::Rate);

  ::cfmakeraw(&tio);
  tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP | IGNPAR | PARMRK | IGNBRK | BRKINT);
  if (parityFlags) tio.c_iflag |= INPCK;
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  tio.c_cflag |= CLOCAL | CREAD | size | parityFlags | (stopBits == 2 ? CSTOPB : 0);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  const speed_t code = rate->code ? rate->code : B38400;
  ::cfsetispeed(&tio, code);
  ::cfsetospeed(&tio, code);
  // A line that cannot be set up is reported, not used at a wrong speed. The
  // device's settings afterwards tell which one it did not take (a pseudo-terminal
  // takes no parity).
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
    lastOpenErrno = errno;
    termios taken{};
    if (::tcgetattr(fd, &taken) != 0) return fail(-2, OpenRefusal::LineSettings);
    if ((taken.c_cflag & (PARENB | PARODD | CMSPAR)) != (tio.c_cflag & (PARENB | PARODD | CMSPAR)))
      return fail(-2, OpenRefusal::Parity);
    if ((taken.c_cflag & CSIZE) != (tio.c_cflag & CSIZE)) return fail(-2, OpenRefusal::DataBits);
    if ((taken.c_cflag & CSTOPB) != (tio.c_cflag & CSTOPB)) return fail(-2, OpenRefusal::StopBits);
    if (::cfgetospeed(&taken) != code) return fail(-2, OpenRefusal::Rate);
    return fail(-2, OpenRefusal::LineSettings);
  }
  if (rate->code == 0 && !platform::SetArbitraryBaudRate(fd, baudRate)) return fail(-2, OpenRefusal::Rate);
  ModemLines(fd, TIOCMBIC, TIOCM_DTR | TIOCM_RTS);

  const int bits = 1 + dataBits + (parityFlags ? 1 : 0) + stopBits;
  characterTime = static_cast<float>(bits) * 1000.0f / static_cast<float>(baudRate);
  const double interval = std::ceil(characterTime * 1.5);
  const double multiplier = std::ceil(interval + characterTime);
  responseTimeout = static_cast<uint16_t>(static_cast<uint32_t>(multiplier * 30 + 100));

  serial_icounter_struct counters{};
  countersSupported_ = ::ioctl(fd, TIOCGICOUNT, &counters) == 0;
  fd_ = fd;
  path_ = path;
  vanished_ = false;
  endedOnTerminator_ = skipPurge_ = false;
  Purge(2);
  return 0;
}

void Sio::MarkReplyWhole() { skipPurge_ = endedOnTerminator_; }

int Sio::Purge(int kind) {
  if (fd_ < 0) return -2;
  int queue;
  switch (kind) {
    case 0: queue = TCIFLUSH; break;
    case 1: queue = TCOFLUSH; break;
    case 2: queue = TCIOFLUSH; break;
    default: return 0;
  }
  return ::tcflush(fd_, queue) == 0 ? 0 : -1;
}

int Sio::Close() {
  if (fd_ < 0) return -2;
  // A device that is gone cannot be purged; it must still be closable.
  ::tcflush(fd_, TCIOFLUSH);
  ::close(fd_);
  fd_ = -1;
  return 0;
}

void Sio::SnapshotErrorCounters() {
  serial_icounter_struct c{};
  haveCounters_ = countersSupported_ && ::ioctl(fd_, TIOCGICOUNT, &c) == 0;
  if (haveCounters_) {
    counters_[0] = c.frame;
    counters_[1] = c.parity;
    counters_[2] = c.overrun;
    counters_[3] = c.brk;
  }
}

bool Sio::LineErrorsGrew() {
  if (!haveCounters_) return false;
  serial_icounter_struct c{};
  if (::ioctl(fd_, TIOCGICOUNT, &c) != 0) return false;
  return c.frame != counters_[0] || c.parity != counters_[1] || c.overrun != counters_[2] || c.brk != counters_[3];
}

namespace {

// Waits until the port reports one of `events`, the cancel event is set or the deadline
// passes. The cancel event's descriptor is polled beside the port.
WaitResult WaitFor(int fd, platform::Event& cancel, short events, int64_t deadlineNs, short& revents) {
  for (;;) {
    if (cancel.IsSet()) return WaitResult::Cancelled;
    int64_t left = std::max<int64_t>(0, deadlineNs - NowNs());
    const int cancelFd = cancel.Fd();
    if (cancelFd < 0) left = std::min<int64_t>(left, 10 * kNsPerMs);  // no descriptor: look again soon
    pollfd p[2] = {{fd, events, 0}, {cancelFd, POLLIN, 0}};
    timespec ts{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
    int n = ::ppoll(p, 2, &ts, nullptr);
    if (n < 0) {
      if (errno == EINTR) continue;
      return WaitResult::Failed;
    }
    if (cancel.IsSet()) return WaitResult::Cancelled;
    if (p[0].revents) {
      revents = p[0].revents;
      return WaitResult::Ready;
    }
    if (NowNs() >= deadlineNs) return WaitResult::TimedOut;
  }
}

int ToResult(WaitResult w) {
  switch (w) {
    case WaitResult::Cancelled: return -1;
    case WaitResult::TimedOut: return 2;
    default: return 3;
  }
}

}  // namespace

int Sio::Gone() {
  vanishedAt_ = path_;
  vanished_ = true;
  return 3;
}

int Sio::WriteBytes(const uint8_t* data, int length, int64_t deadlineNs) {
  int done = 0;
  while (done < length) {
    ssize_t n = ::write(fd_, data + done, static_cast<size_t>(length - done));
    if (n > 0) {
      done += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      short revents = 0;
      WaitResult w = WaitFor(fd_, cancel_, POLLOUT, deadlineNs, revents);
      if (w != WaitResult::Ready) return ToResult(w);
      if (!(revents & POLLOUT)) return Gone();
      continue;
    }
    return Gone();  // EIO and the like: the line is gone
  }
  return 0;
}

int Sio::WriteRequest(const uint8_t* request, int length) {
  const int64_t deadline = NowNs() + (500 + 10 * static_cast<int64_t>(length)) * kNsPerMs;
  if (wholeWrite) return WriteBytes(request, length, deadline);

  // Converter without automatic direction control: RTS switches it to transmit.
  ModemLines(fd_, TIOCMBIS, TIOCM_RTS);
  int result = 0;
  for (int i = 0; i < length && result == 0; ++i) {
    // A slow line spends a character time on each byte: a cancel ends it between two.
    result = cancel_.IsSet() ? -1 : WriteBytes(request + i, 1, deadline);
    if (result == 0) SpinMilliseconds(characterTime);
  }
  // The last byte must have left the line before the converter turns round.
  if (result == 0 && ::tcdrain(fd_) != 0 && errno == EIO) result = Gone();
  ModemLines(fd_, TIOCMBIC, TIOCM_RTS);
  return result;
}

bool Sio::TakeReplyBytes(const uint8_t* bytes, size_t n, uint8_t* reply, int& count, int& replyCount) {
  for (size_t i = 0; i < n; ++i) {
    const bool kept = count < kReplySize;
    if (kept) reply[count++] = bytes[i];
    if (bytes[i] == '\r') {
      replyCount = count;
      pending_.assign(reinterpret_cast<const char*>(bytes) + i + 1, n - i - 1);
      endedOnTerminator_ = kept && pending_.empty();
      replyEndNs_ = NowNs();
      return true;
    }
  }
  return false;
}

int Sio::ReadReply(uint8_t* reply, int& replyCount) {
  const int64_t deadline = deadlineNs_;
  // Modbus RTU ends a frame with 3.5 character times of silence; at high rates the
  // usual floor of 1.75 ms applies.
  const int64_t silence = std::max<int64_t>(static_cast<int64_t>(3.5 * characterTime * kNsPerMs), 1750000);
  int count = 0;
  int64_t lastByte = 0;
  endedOnTerminator_ = false;
  if (!rtuFraming && !pending_.empty()) {
    const std::string before = std::move(pending_);
    pending_.clear();
    if (TakeReplyBytes(reinterpret_cast<const uint8_t*>(before.data()), before.size(), reply, count, replyCount))
      return 0;
  }
  pending_.clear();
  uint8_t buffer[64];
  for (;;) {
    const int64_t until = (rtuFraming && count > 0) ? lastByte + silence : deadline;
    short revents = 0;
    // A line that never falls silent must still time out.
    WaitResult w = NowNs() >= until ? WaitResult::TimedOut : WaitFor(fd_, cancel_, POLLIN, until, revents);
    if (w == WaitResult::TimedOut) {
      if (LineErrorsGrew()) return 3;
      replyCount = count;
      return rtuFraming && count > 0 ? 0 : 2;
    }
    if (w != WaitResult::Ready) return ToResult(w);
    if (!(revents & POLLIN)) return Gone();  // POLLERR, POLLHUP, POLLNVAL

    ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
    if (n <= 0) return Gone();  // EIO, or end of file after a hang-up
    if (LineErrorsGrew()) return 3;
    lastByte = NowNs();
    if (rtuFraming) {
      for (ssize_t i = 0; i < n; ++i) {
        reply[count++] = buffer[i];
        if (count == kReplySize) {
          replyCount = count;
          return 0;
        }
      }
      continue;
    }
    if (TakeReplyBytes(buffer, static_cast<size_t>(n), reply, count, replyCount)) return 0;
  }
}

int Sio::Transact(const uint8_t* request, int length, uint8_t reply[kReplySize], int& replyCount) {
  replyCount = 0;
  std::memset(reply, 0, kReplySize);
  pending_.clear();
  if (fd_ < 0) return -1;
  if (length < 0 || request == nullptr) length = 0;
  // The purge is a system call per frame, worth skipping only while requests
  // follow whole replies back to back (see MarkReplyWhole).
  const bool purge =
      !skipPurge_ || NowNs() - replyEndNs_ >= static_cast<int64_t>(static_cast<double>(characterTime) * kNsPerMs);
  skipPurge_ = false;
  endedOnTerminator_ = false;
  if (purge) ::tcflush(fd_, TCIOFLUSH);
  if (cancel_.IsSet()) return -1;
  SnapshotErrorCounters();
  int result = WriteRequest(request, length);
  if (result != 0) return result;
  deadlineNs_ = NowNs() + static_cast<int64_t>(responseTimeout) * kNsPerMs;
  return ReadReply(reply, replyCount);
}

int Sio::ReadOn(uint8_t reply[kReplySize], int& replyCount) {
  replyCount = 0;
  std::memset(reply, 0, kReplySize);
  skipPurge_ = false;
  if (fd_ < 0) return 2;
  if (cancel_.IsSet()) return -1;
  return ReadReply(reply, replyCount);
}

int Sio::ReadWithin(uint8_t reply[kReplySize], int& replyCount, int milliseconds) {
  replyCount = 0;
  std::memset(reply, 0, kReplySize);
  skipPurge_ = false;
  if (fd_ < 0) return 2;
  if (cancel_.IsSet()) return -1;
  deadlineNs_ = NowNs() + static_cast<int64_t>(std::max(milliseconds, 0)) * kNsPerMs;
  return ReadReply(reply, replyCount);
}

std::string ResolvePortPath(const std::string& portName) {
  if (portName.empty()) return {};
  if (portName[0] == '/') return portName;
  for (const auto& [name, path] : platform::ReadSettingStrings(platform::Hive::CurrentUser, platform::kPortsKeyPath)) {
    if (platform::EqualsNoCase(name, portName) && !path.empty() && path[0] == '/') return path;
  }
  if (!platform::StartsWithNoCase(portName, "COM")) return {};
  const std::string digits = portName.substr(3);
  if (digits.empty() || digits.size() > 4 || digits[0] == '0' ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return {};
  }
  return "/dev/ttyS" + std::to_string(std::stoi(digits) - 1);
}

namespace platform {

bool IsSupportedBaudRate(uint32_t baud) {
  return std::any_of(std::begin(kRates), std::end(kRates), [&](const Rate& r) { return r.baud == baud; });
}

std::string SupportedBaudRatesText() {
  std::string text;
  for (const Rate& r : kRates) text += (text.empty() ? "" : ", ") + std::to_string(r.baud);
  return text;
}

void EnumerateSerialPortsIn(const std::string& sysClassTty, std::string& out) {
  EnumerateSerialPortsIn(sysClassTty, std::string(), out);
}

void EnumerateSerialPortsIn(const std::string& sysClassTty, const std::string& serialById, std::string& out) {
  out.clear();
  std::vector<std::string> names;
  auto add = [&](const std::string& name) {
    if (name.empty() || name.find(':') != std::string::npos) return;
    for (const std::string& n : names) {
      if (EqualsNoCase(n, name)) return;
    }
    names.push_back(name);
  };
  for (const auto& entry : ReadSettingStrings(Hive::CurrentUser, kPortsKeyPath)) add(entry.first);

  std::vector<std::string> devices;
  if (DIR* dir = ::opendir(sysClassTty.c_str())) {
    while (const dirent* e = ::readdir(dir)) {
      if (e->d_name[0] == '.') continue;
      struct stat st {};
      const std::string device = sysClassTty + "/" + e->d_name + "/device";
      if (::lstat(device.c_str(), &st) == 0) devices.push_back(std::string("/dev/") + e->d_name);
    }
    ::closedir(dir);
  }
  // ttyS2 before ttyS10.
  std::sort(devices.begin(), devices.end(), [](const std::string& a, const std::string& b) {
    size_t ia = a.find_last_not_of("0123456789") + 1, ib = b.find_last_not_of("0123456789") + 1;
    if (a.compare(0, ia, b, 0, ib) != 0) return a.substr(0, ia) < b.substr(0, ib);
    if (a.size() - ia != b.size() - ib) return a.size() - ia < b.size() - ib;
    return a < b;
  });
  for (const std::string& d : devices) add(d);

  // The stable names of USB converters: they survive replugging, /dev/ttyUSBn does not.
  std::vector<std::string> stable;
  if (DIR* dir = serialById.empty() ? nullptr : ::opendir(serialById.c_str())) {
    while (const dirent* e = ::readdir(dir)) {
      if (e->d_name[0] != '.') stable.push_back(serialById + "/" + e->d_name);
    }
    ::closedir(dir);
  }
  std::sort(stable.begin(), stable.end());
  for (const std::string& d : stable) add(d);

  for (const std::string& n : names) {
    if (!out.empty()) out += ':';
    out += n;
  }
}

}  // namespace platform

void EnumerateSerialPorts(std::string& out) {
  platform::EnumerateSerialPortsIn("/sys/class/tty", "/dev/serial/by-id", out);
}
