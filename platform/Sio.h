#pragma once
// The program's serial port: RS-485 half duplex behind an RS-232 converter. One
// transaction writes a request and collects one reply (up to the carriage return, or
// for Modbus RTU up to a silence on the line), at most 31 bytes. Any thread may set
// the cancel event to end a transaction at once.
//
// Port names: "/..." is a device path used as it stands; any other name is looked up
// in the settings' ports table (HKEY_CURRENT_USER.ini, key "ports", e.g.
// COM3=/dev/ttyUSB0); "COMn" not in the table is /dev/ttyS(n-1).
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/Event.h"

class Sio {
 public:
  static constexpr int kReplySize = 31;

  Sio();
  virtual ~Sio();
  Sio(const Sio&) = delete;
  Sio& operator=(const Sio&) = delete;

  // 0 opened and configured; -1 cannot open (lastOpenErrno keeps errno; also when
  // another process holds the port); -2 not a terminal (lastOpenErrno ENOTTY) or the line settings cannot be
  // set, or bad parity code, stop bits or baud rate; -3 data bits outside 5 to 8.
  // A failed open leaves the port closed. An open port is closed first.
  virtual int Open();
  // 0 done (replyCount bytes, possibly none); -1 port closed or cancelled; 2 no
  // complete reply within the response time-out; 3 line error, break or hang-up.
  // replyCount is 0 unless the result is 0, or 2 after characters that came
  // without their end (a cut or garbled reply: the line is not silent).
  virtual int Transact(const uint8_t* request, int length, uint8_t reply[kReplySize], int& replyCount);
  // The next reply of the last transaction, when the one it gave was not the answer
  // (another module's, or the line's echo): nothing is purged or sent, and the wait
  // ends with the same response time-out. Results as Transact; 2 on a closed port.
  virtual int ReadOn(uint8_t reply[kReplySize], int& replyCount);
  // The same with a wait of its own (`milliseconds` from now): what a module still
  // owes an exchange that gave up comes in it and is passed over.
  virtual int ReadWithin(uint8_t reply[kReplySize], int& replyCount, int milliseconds);
  // kind 0 receive, 1 transmit, 2 both: 0 done (other kinds do nothing); -1 failed; -2 closed.
  virtual int Purge(int kind);
  // The caller found the reply of the last transaction a whole frame. A transaction
  // purges both queues before its request, except one that follows such a reply
  // within a character time, when that reply ended on its carriage return as the
  // last byte that had come: the module has finished, and a byte landing in that
  // short gap is no likelier than one landing just after the request, which no
  // purge removes either. Any other outcome (time-out, line error, cancel, cut,
  // garbled, overlong or unmarked reply, silence framing, a reopened port) and any
  // longer pause keep the purge.
  void MarkReplyWhole();
  // 0 closed; -2 was not open. The port is closed even when the device is gone.
  virtual int Close();
  virtual bool IsOpen() const;
  // The device went away under the open port (reads or writes ended with an error
  // or a hang-up, as when a USB converter is pulled out), or the path is a link
  // whose device is gone: set until an Open of that path succeeds, so that the next
  // frame opens the port again by its path. An Open of another path drops it.
  bool Vanished() const { return vanished_; }

  // Busy wait (sleeping is too coarse below a millisecond), at most a minute; false
  // for a value that is not a finite number.
  static bool SpinMilliseconds(float ms);

  // Manual reset; set from any thread to abandon the transaction; the owner resets it.
  platform::Event& CancelEvent() { return cancel_; }

  // Set by the link before Open.
  int wholeWrite = 1;  // 1: one write; 0: RTS raised, byte by byte
  std::string portName = "COM1";
  uint32_t baudRate = 9600;
  int parityCode = 3;  // 0 or 3 none, 1 even, 2 mark, 4 odd, 5 space
  int stopBits = 1;
  int dataBits = 8;
  int addressLength = 8;
  int moduleAddress = 16;
  bool rtuFraming = false;  // reply ends with a silence instead of a carriage return

  // Which setting a failed Open could not give the line.
  enum class OpenRefusal { None, Rate, DataBits, Parity, StopBits, LineSettings };

  // Set by Open.
  OpenRefusal lastOpenRefused = OpenRefusal::None;
  float characterTime = 0;       // milliseconds per character on the line
  uint16_t responseTimeout = 0;  // milliseconds a transaction waits for the reply
  int lastOpenErrno = 0;

 private:
  // Marks the port vanished; the line-error result.
  int Gone();
  int WriteRequest(const uint8_t* request, int length);
  int WriteBytes(const uint8_t* data, int length, int64_t deadlineNs);
  int ReadReply(uint8_t* reply, int& replyCount);
  // Takes reply bytes up to the carriage return; true when the reply ended. Bytes
  // after it stay in pending_ for ReadOn.
  bool TakeReplyBytes(const uint8_t* bytes, size_t n, uint8_t* reply, int& count, int& replyCount);
  bool LineErrorsGrew();
  void SnapshotErrorCounters();

  std::atomic<int> fd_{-1};  // IsOpen may be asked from another thread
  std::atomic<bool> vanished_{false};
  std::string path_;        // the device path the port was opened on
  std::string vanishedAt_;  // the device path that vanished
  platform::Event cancel_{true, false};
  bool haveCounters_ = false;
  // Whether the device keeps line-error counters at all (a pseudo-terminal does
  // not): asked once when the port opens, not before every frame.
  bool countersSupported_ = false;
  int counters_[4] = {};  // frame, parity, overrun, break
  // The last reply ended on its carriage return, the last byte that came, at
  // replyEndNs_; skipPurge_ once the caller found it whole.
  bool endedOnTerminator_ = false;
  bool skipPurge_ = false;
  int64_t replyEndNs_ = 0;
  // The response time-out of the transaction under way, and the bytes that came
  // after its last reply in the same read.
  int64_t deadlineNs_ = 0;
  std::string pending_;
};

// The device path for a port name ("" when the name means nothing).
std::string ResolvePortPath(const std::string& portName);
// The computer's serial ports joined by ":" (no trailing ":"): the configured names of
// the ports table, then /dev/NAME for each /sys/class/tty/NAME/device, then the stable
// names under /dev/serial/by-id.
void EnumerateSerialPorts(std::string& out);

namespace platform {
// Whether the port can be set to the rate, and those rates as "110, 300, ...".
bool IsSupportedBaudRate(uint32_t baud);
std::string SupportedBaudRatesText();
// EnumerateSerialPorts with other folders (for tests); without serialById: none.
void EnumerateSerialPortsIn(const std::string& sysClassTty, std::string& out);
void EnumerateSerialPortsIn(const std::string& sysClassTty, const std::string& serialById, std::string& out);
}  // namespace platform
