#pragma once
// A simulated module on a pseudo-terminal: it owns the master side and one thread
// that reads requests, answers them from its parameter table, checks the line
// settings the program set on the slave side, injects faults on command and logs
// every request. Tests use it in-process; the z580-sim program wraps it.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SimCalibration.h"
#include "SimCalibration2.h"
#include "SimFrameCodec.h"
#include "SimLive.h"
#include "SimParameterTable.h"

namespace z580sim {

enum class Protocol { Own = 0, ModbusRtu = 1, ModbusAscii = 2, Percent = 3 };
enum class Parity { None = 0, Even = 1, Odd = 2 };

struct LineSettings {
  unsigned baud = 9600;
  int dataBits = 8;  // kept and switched by APLY; a pseudo-terminal cannot show it
  Parity parity = Parity::None;
  int stopBits = 1;
  bool operator==(const LineSettings&) const = default;
};

struct SimConfig {
  int model = 0;               // model index 0..22
  LineSettings line;
  unsigned address = 16;
  int addressBits = 8;         // 8 or 11
  Protocol protocol = Protocol::Own;  // the protocol the module starts in
  bool checkLine = true;       // silent when the program's line settings differ
  int repliesToApply = -1;     // -1: as the model does (only index 20 answers "APLY")
  // INIT as a power cycle: the stored network settings and the protocol of "Prot"
  // take effect. Off unless asked: a test that writes "Prot" and then INIT would
  // lose its module, as a program does with a real one.
  bool restartOnInit = false;
  size_t logLimit = 100000;    // requests kept in memory (the oldest half goes first); 0: none
};

enum class Fault {
  None,
  Silence,      // no reply at all until cleared
  Drop,         // the next replies are not sent
  Garbage,      // the reply without its '#'
  BadCrc,       // the reply with a wrong checksum
  ForeignHash,  // the reply under another name hash (valid CRC)
  DeviceError,  // an "n.Err" reply with the given code
  CutReply,     // the first half of the reply, no carriage return
  Twice,        // the reply, then the same again arg ms later
  Late,         // the reply arg ms late (the module serves nothing meanwhile)
  OtherAddress, // with another address's reply of the same name: before (arg 0) or 1 ms after it (arg 1)
  OtherIndex,   // with another index's reply of the same indexed parameter: before (arg 0) or after it (arg 1)
  Noise,        // a noise byte before the reply
  Behind,       // each reply held back and sent when the next request comes (one request behind)
  TwiceBadCopy, // the reply, then arg ms later a copy of it with a wrong checksum
};

struct RequestRecord {
  double timeMs = 0;           // since Start()
  Protocol protocol = Protocol::Own;
  std::string raw;             // the bytes received, up to the end character
  bool decoded = false;        // a valid frame of the module's own protocol
  unsigned address = 0;
  bool read = false;
  uint16_t hash = 0;
  std::string name;            // from the table, or empty when unknown
  Bytes data;
  bool answered = false;       // a reply was written
  int errorCode = -1;          // the "n.Err" code sent, or -1
  std::string outcome;         // what the module did, for people
};

std::string FormatRecord(const RequestRecord& r);

class Simulator {
 public:
  explicit Simulator(SimConfig config);
  Simulator(SimConfig config, ParameterTable table);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Opens the pseudo-terminal and starts the thread; false with a reason on failure.
  bool Start(std::string* error = nullptr);
  // Wakes the thread and joins it (bounded: the thread only waits in poll()).
  void Stop();
  std::string SlavePath() const;

  // Faults. count > 0: the next count replies; count < 0: until cleared.
  // arg: the error code for DeviceError, the milliseconds of Twice and Late, before
  // (0) or after (1) for OtherAddress and OtherIndex. every > 1: the fault touches
  // only every every-th reply (count counts those).
  void SetFault(Fault fault, int count = 1, int arg = 0, int every = 1);
  // The same fault, set before a run and taking effect at a known request: the
  // first one for the parameter `name` (when not empty), else the frame-th decoded
  // request from now (1: the next; only writes counted when writesOnly). Its reply
  // is the first one the fault touches; with `every` only every K-th reply is.
  // A module refusing (DeviceError) or deaf (Silence) does not act on the request
  // it refuses: nothing is stored, no command starts.
  void ArmFault(Fault fault, int count, int arg, const std::string& name, int frame = 0, bool writesOnly = false,
                int every = 1);
  // A line that echoes (a 2-wire converter): every byte sent comes back at once,
  // before the module's reply. Stays until cleared.
  void SetEcho(bool echo);
  // A module that refuses (n.Err 0x37, nothing stored) every write of a parameter
  // whose value, read as an unsigned number, is `value`; -1: none. Until cleared.
  void RefuseWritesOf(long value);
  // A module that stores a written number rounded down to a multiple of `step`
  // and acknowledges what it stored; 0 or 1: as written. Until cleared.
  void RoundWritesTo(long step);
  void SetReplyDelay(int milliseconds);
  void ClearFaults();
  // Closes the master side (the program then sees a hang-up); returns once done.
  void HangUp();

  std::vector<RequestRecord> Requests() const;
  void ClearRequests();
  // Waits until at least count requests were logged; false on time-out.
  bool WaitForRequests(size_t count, int timeoutMs) const;
  // Called (on the module's thread) with one formatted line per request. Once this
  // returns, the old sink is no longer called, nor running (unless this is called
  // from the sink itself).
  void SetLogSink(std::function<void(const std::string&)> sink);

  // Puts the module into another protocol, as if it had been configured so; it
  // then waits for that protocol's switch-back request.
  void SetProtocol(Protocol protocol);

  LineSettings CurrentLine() const;
  unsigned CurrentAddress() const;
  int CurrentAddressBits() const;
  Protocol CurrentProtocol() const;

  // Stored value bytes (as sent on the wire) of a parameter slot: the linear
  // index for an indexed parameter, the channel for a polled one, else 0.
  bool GetValue(const std::string& name, int slot, Bytes& out) const;
  // A value set here stays: a live module no longer moves that slot.
  bool SetValue(const std::string& name, int slot, const Bytes& bytes);
  // The same from text (see ValueFromText); false with a reason.
  bool SetValueText(const std::string& name, int slot, const std::string& text, std::string* error = nullptr);
  // A module in service (see SimLive.h): polled readings, counters and state words
  // move with time. Off by default: tests expect the values they set.
  void SetLive(bool live);
  bool GetAttributes(const std::string& name, bool& editable, bool& makerOwned) const;
  bool SetEditable(const std::string& name, bool editable);

  // The module's side of the calibration commands and their scripted faults.
  SimCalibration& Calibration() { return calibration_; }
  SimCalibration2& Calibration2() { return calibration2_; }

 private:
  struct Entry {
    ParameterSpec spec;
    std::vector<Bytes> values;
    bool editable = true;
    bool makerOwned = false;
    LiveKind live = LiveKind::Fixed;
    std::vector<Bytes> base;    // the values at start: what a live slot moves around
    std::vector<double> since;  // seconds after start at which base holds (a written counter restarts)
    std::vector<bool> pinned;   // set by command or written: no longer live
  };
  struct Reply {
    std::string text;   // bytes to write
    bool ownFrame = false;
    // For a value reply: the same name's reply of another address and, for an
    // indexed parameter, of another index (the OtherAddress / OtherIndex faults).
    bool hasOtherAddress = false;
    Frame otherAddress;
    bool hasOtherIndex = false;
    Frame otherIndex;
    Protocol framing = Protocol::Own;  // of `text` when not an own frame
    Frame frame;        // own-protocol reply before encoding
    int errorCode = -1;
    bool applyAfter = false;    // APLY: the network values take effect
    bool restartAfter = false;  // INIT: as after power-up, also the protocol of "Prot"
  };

  void Run();
  void ProcessBuffer(bool gapExpired);
  void HandleChunk(const std::string& chunk);
  void HandleRtu(bool gapExpired);
  void HandleOwnFrame(const std::string& chunk, RequestRecord& rec, Reply& reply);
  void Answer(const Frame& request, RequestRecord& rec, Reply& reply);
  void AnswerAttributes(const Frame& request, RequestRecord& rec, Reply& reply);
  bool LineMatches(std::string& why);
  // refused: the request's fault was already taken (the module refused it).
  void SendReply(RequestRecord& rec, Reply& reply, bool refused = false);
  // Starts an armed fault that waits for this request (under the lock).
  void TriggerArmed(const RequestRecord& rec);
  // The refusal the active fault makes of this request, counted: DeviceError (with
  // its code in arg), Silence, or None when the module acts on it (under the lock).
  Fault TakeRefusal(int& arg);
  // A write the module took: a live counter restarts from the written value, any
  // other live slot keeps it (under the lock).
  void TakeWrittenValue(Entry& e, size_t slot);
  double SecondsSinceStart() const;
  // Answers a switch-back request in its own framing and returns to the own protocol.
  void AcceptSwitchBack(RequestRecord& rec, const std::string& answer, Protocol framing);
  void FlushPendingReply();
  void WriteAll(const std::string& bytes);
  bool SleepMs(int ms);  // false when woken for stopping
  void Log(RequestRecord rec);
  void CallSink(const RequestRecord& rec);
  void SyncNetworkValues();
  void ApplyNetworkValues();
  void SwitchProtocol(Protocol protocol);
  void CloseMaster();
  Entry* FindEntry(uint16_t hash);
  const Entry* FindEntry(const std::string& name) const;
  int Offsets() const;
  int GapMs() const;

  mutable std::mutex mutex_;
  mutable std::condition_variable logChanged_;
  SimConfig config_;
  SimCalibration calibration_;
  SimCalibration2 calibration2_;
  std::vector<Entry> entries_;
  std::vector<RequestRecord> log_;
  // The sink has a lock of its own: a sink may call the simulator back.
  std::mutex sinkMutex_;
  std::condition_variable sinkIdle_;
  std::function<void(const std::string&)> sink_;
  bool sinkCalling_ = false;
  std::thread::id sinkThread_;  // the thread in a sink call

  Fault fault_ = Fault::None;
  int faultCount_ = 0;
  int faultArg_ = 0;
  int faultEvery_ = 1;   // the fault touches every faultEvery_-th reply
  int faultTick_ = 0;    // replies since the last one touched
  unsigned noiseTick_ = 0;
  bool echo_ = false;
  long refusedValue_ = -1;
  long roundStep_ = 0;
  int delayMs_ = 0;
  bool live_ = false;
  struct ArmedFault {
    bool armed = false;
    Fault fault = Fault::None;
    int count = 0;
    int arg = 0;
    int every = 1;
    uint16_t hash = 0;
    bool byName = false;
    bool writesOnly = false;
    int framesLeft = 0;
  } armed_;

  int master_ = -1;
  int slaveKeep_ = -1;  // keeps the slave open so the master never sees a hang-up
  int wake_ = -1;
  std::string slavePath_;
  std::thread thread_;
  bool stopping_ = false;
  bool hangUpRequested_ = false;
  bool hungUp_ = false;
  std::condition_variable hungUpChanged_;
  std::string buffer_;
  // Replies waiting for their request to be logged first, each after its delay
  // (only the serving thread touches them).
  struct Pending {
    int delayMs = 0;
    std::string text;
  };
  std::vector<Pending> pending_;
  // The reply a module one request behind still owes (only the serving thread).
  std::string behind_;
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point lastByte_;
};

// One fault command, as the program takes it from --fault and its control FIFO:
//   silence | delay MS | drop [N] | garbage [N] | badcrc [N] | foreign [N] |
//   error CODE [N] | cut [N] | twice [N] [after MS] | twice-bad [N] [after MS] |
//   late MS [N] | behind [N] | round STEP |
//   other-address before|after [N] | other-index before|after [N] | noise [N] |
//   echo | refuse VALUE | hangup | clear | protocol own|rtu|ascii|percent |
//   set NAME [INDEX] VALUE
// N: number of replies (default 1; "all" or -1 until cleared); CODE: decimal or 0x hex.
// A reply fault may add "every K" (only every K-th reply), and end in "on NAME"
// (armed: it starts with the first request for that parameter), "at N" (with the
// N-th request from now) or "at write N" (with the N-th write from now).
bool ApplyFaultCommand(Simulator& sim, const std::string& command, std::string* error = nullptr);

}  // namespace z580sim
