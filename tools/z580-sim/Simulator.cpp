#include "Simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>

#include "SimPtyLine.h"

namespace z580sim {

namespace {

// How long another module waits after a reply before it answers.
constexpr int kQuietLineMs = 1;

// Device error codes the module sends.
constexpr uint8_t kErrRom = 0x03;        // write to a read-only parameter
constexpr uint8_t kErrNoAttributes = 0x08;
constexpr uint8_t kErrNotFound = 0x28;   // no such name
constexpr uint8_t kErrSize = 0x31;       // data length not as expected
constexpr uint8_t kErrLocked = 0x33;     // editing forbidden by the attributes
constexpr uint8_t kErrIndex = 0x35;      // index beyond the parameter's range
constexpr uint8_t kErrRejected = 0x37;   // value refused
constexpr uint8_t kErrCombination = 0x47;

const uint16_t kAttributesHash = NameHash("M.s.t.r.");
const uint16_t kApplyHash = NameHash("APLY");
const uint16_t kInitHash = NameHash("INIT");
const uint16_t kProtHash = NameHash("Prot");
const uint16_t kAddrHash = NameHash("Addr");
const uint16_t kAddrLenHash = NameHash("A.Len");

const char* ProtocolName(Protocol p) {
  switch (p) {
    case Protocol::Own: return "own";
    case Protocol::ModbusRtu: return "rtu";
    case Protocol::ModbusAscii: return "ascii";
    case Protocol::Percent: return "percent";
  }
  return "?";
}

std::string Hex4(unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X", v & 0xFFFFu);
  return buf;
}

}  // namespace

std::string FormatRecord(const RequestRecord& r) {
  char head[64];
  std::snprintf(head, sizeof head, "%10.1f ms %-7s ", r.timeMs, ProtocolName(r.protocol));
  std::string s = head;
  if (r.decoded) {
    s += "addr=" + std::to_string(r.address) + (r.read ? " R " : " W ");
    s += (r.name.empty() ? std::string("?") : r.name) + "(" + Hex4(r.hash) + ")";
    s += " [" + HexBytes(r.data) + "]";
  } else {
    s += "\"" + Printable(r.raw) + "\"";
  }
  s += " -> " + r.outcome;
  return s;
}

Simulator::Simulator(SimConfig config) : Simulator(config, BuiltInTable(config.model)) {}

Simulator::Simulator(SimConfig config, ParameterTable table) : config_(config), calibration_(config.model), calibration2_(config.model) {
  for (const ParameterSpec& spec : table.All()) {
    Entry e;
    e.spec = spec;
    calibration_.AdjustSpec(e.spec);
    calibration2_.AdjustSpec(e.spec);
    Bytes initial = e.spec.initial;
    if (initial.empty() && e.spec.kind != ValueKind::Command) initial.assign(static_cast<size_t>(e.spec.length), 0);
    const int slots = std::max({1, e.spec.indexCount, e.spec.channels});
    e.values.assign(static_cast<size_t>(slots), initial);
    e.editable = e.spec.editable;
    e.makerOwned = e.spec.makerOwned;
    e.live = LiveKindOf(e.spec);
    e.base = e.values;
    e.since.assign(e.values.size(), 0.0);
    e.pinned.assign(e.values.size(), false);
    entries_.push_back(std::move(e));
  }
  if (config_.repliesToApply < 0) config_.repliesToApply = config_.model == 20 ? 1 : 0;
  SyncNetworkValues();
}

Simulator::~Simulator() { Stop(); }

bool Simulator::Start(std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    CloseMaster();
    if (wake_ >= 0) ::close(wake_);
    wake_ = -1;
    return false;
  };
  if (thread_.joinable()) return fail("already started");
  if (entries_.empty()) return fail("no parameters (unknown model index?)");
  if (config_.addressBits != 8 && config_.addressBits != 11) return fail("address length must be 8 or 11");
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0) return fail(std::string("posix_openpt: ") + std::strerror(errno));
  char name[128];
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || ::ptsname_r(master_, name, sizeof name) != 0)
    return fail(std::string("pseudo-terminal setup: ") + std::strerror(errno));
  slaveKeep_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slaveKeep_ < 0) return fail(std::string("open ") + name + ": " + std::strerror(errno));
  if (!MakePtyRaw(slaveKeep_)) return fail(std::string("raw mode: ") + std::strerror(errno));
  wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_ < 0) return fail(std::string("eventfd: ") + std::strerror(errno));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    slavePath_ = name;
    stopping_ = false;
    hangUpRequested_ = false;
    hungUp_ = false;
  }
  buffer_.clear();
  started_ = std::chrono::steady_clock::now();
  thread_ = std::thread(&Simulator::Run, this);
  return true;
}

void Simulator::Stop() {
  if (thread_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    const uint64_t one = 1;
    if (::write(wake_, &one, sizeof one) < 0) { /* the thread still sees stopping_ at its next wake */ }
    thread_.join();
  }
  CloseMaster();
  if (wake_ >= 0) ::close(wake_);
  wake_ = -1;
}

void Simulator::CloseMaster() {
  if (slaveKeep_ >= 0) ::close(slaveKeep_);
  if (master_ >= 0) ::close(master_);
  slaveKeep_ = -1;
  master_ = -1;
}

std::string Simulator::SlavePath() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return slavePath_;
}

void Simulator::SetFault(Fault fault, int count, int arg, int every) {
  std::lock_guard<std::mutex> lock(mutex_);
  fault_ = count == 0 ? Fault::None : fault;
  faultCount_ = count;
  faultArg_ = arg;
  faultEvery_ = std::max(every, 1);
  faultTick_ = 0;
}

void Simulator::SetEcho(bool echo) {
  std::lock_guard<std::mutex> lock(mutex_);
  echo_ = echo;
}

void Simulator::RefuseWritesOf(long value) {
  std::lock_guard<std::mutex> lock(mutex_);
  refusedValue_ = value;
}

void Simulator::RoundWritesTo(long step) {
  std::lock_guard<std::mutex> lock(mutex_);
  roundStep_ = step > 1 ? step : 0;
}

void Simulator::ArmFault(Fault fault, int count, int arg, const std::string& name, int frame, bool writesOnly,
                         int every) {
  std::lock_guard<std::mutex> lock(mutex_);
  armed_ = ArmedFault{};
  if (count == 0 || fault == Fault::None) return;
  armed_.armed = true;
  armed_.fault = fault;
  armed_.count = count;
  armed_.arg = arg;
  armed_.every = std::max(every, 1);
  armed_.byName = !name.empty();
  armed_.hash = armed_.byName ? NameHash(name) : 0;
  armed_.writesOnly = writesOnly;
  armed_.framesLeft = frame < 1 ? 1 : frame;
}

void Simulator::TriggerArmed(const RequestRecord& rec) {
  if (!armed_.armed || !rec.decoded) return;
  if (armed_.byName ? rec.hash != armed_.hash : (armed_.writesOnly && rec.read) || --armed_.framesLeft > 0) return;
  fault_ = armed_.fault;
  faultCount_ = armed_.count;
  faultArg_ = armed_.arg;
  faultEvery_ = armed_.every;
  faultTick_ = 0;
  armed_ = ArmedFault{};
}

Fault Simulator::TakeRefusal(int& arg) {
  if (fault_ == Fault::Silence) return Fault::Silence;
  if (fault_ != Fault::DeviceError) return Fault::None;
  arg = faultArg_;
  if (faultCount_ > 0 && --faultCount_ == 0) fault_ = Fault::None;
  return Fault::DeviceError;
}

double Simulator::SecondsSinceStart() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

void Simulator::TakeWrittenValue(Entry& e, size_t slot) {
  if (e.live == LiveKind::Fixed || slot >= e.base.size()) return;
  if (e.live == LiveKind::Counter) {
    // A counter set (reset) by the program counts on from what it was given.
    e.base[slot] = e.values[slot];
    e.since[slot] = SecondsSinceStart();
  } else {
    e.pinned[slot] = true;
  }
}

void Simulator::SetLive(bool live) {
  std::lock_guard<std::mutex> lock(mutex_);
  live_ = live;
}

void Simulator::SetReplyDelay(int milliseconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  delayMs_ = milliseconds < 0 ? 0 : milliseconds;
}

void Simulator::ClearFaults() {
  std::lock_guard<std::mutex> lock(mutex_);
  fault_ = Fault::None;
  faultCount_ = 0;
  faultEvery_ = 1;
  faultTick_ = 0;
  echo_ = false;
  refusedValue_ = -1;
  roundStep_ = 0;
  delayMs_ = 0;
  armed_ = ArmedFault{};
}

void Simulator::HangUp() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!thread_.joinable()) {
    lock.unlock();
    CloseMaster();
    return;
  }
  hangUpRequested_ = true;
  const uint64_t one = 1;
  if (::write(wake_, &one, sizeof one) < 0) { /* flag is polled at every wake */ }
  hungUpChanged_.wait_for(lock, std::chrono::seconds(3), [&] { return hungUp_; });
}

std::vector<RequestRecord> Simulator::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return log_;
}

void Simulator::ClearRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  log_.clear();
}

bool Simulator::WaitForRequests(size_t count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return logChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return log_.size() >= count; });
}

void Simulator::SetLogSink(std::function<void(const std::string&)> sink) {
  std::function<void(const std::string&)> old;  // destroyed outside the lock
  std::unique_lock<std::mutex> lock(sinkMutex_);
  old = std::move(sink_);
  sink_ = std::move(sink);
  // The sink itself may change the sink: waiting for its own call would never end.
  if (sinkThread_ == std::this_thread::get_id()) return;
  // Whatever the old sink refers to may go once this returns: a call of it under
  // way ends first. The call's own end is the only bound a sink has.
  sinkIdle_.wait(lock, [&] { return !sinkCalling_; });
}

LineSettings Simulator::CurrentLine() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return config_.line;
}

unsigned Simulator::CurrentAddress() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return config_.address;
}

int Simulator::CurrentAddressBits() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return config_.addressBits;
}

void Simulator::SetProtocol(Protocol protocol) {
  std::lock_guard<std::mutex> lock(mutex_);
  SwitchProtocol(protocol);
}

// Called with the mutex held. "Prot" lists the own protocol, Modbus RTU and Modbus
// ASCII; the percent frame has no item there.
void Simulator::SwitchProtocol(Protocol protocol) {
  config_.protocol = protocol;
  if (protocol == Protocol::Percent) return;
  if (Entry* e = FindEntry(kProtHash)) e->values[0] = {static_cast<uint8_t>(protocol)};
}

Protocol Simulator::CurrentProtocol() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return config_.protocol;
}

const Simulator::Entry* Simulator::FindEntry(const std::string& name) const {
  const uint16_t h = NameHash(name);
  for (const Entry& e : entries_)
    if (NameHash(e.spec.name) == h) return &e;
  return nullptr;
}

Simulator::Entry* Simulator::FindEntry(uint16_t hash) {
  for (Entry& e : entries_)
    if (NameHash(e.spec.name) == hash) return &e;
  return nullptr;
}

bool Simulator::GetValue(const std::string& name, int slot, Bytes& out) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const Entry* e = FindEntry(name);
  if (!e || slot < 0 || static_cast<size_t>(slot) >= e->values.size()) return false;
  out = e->values[static_cast<size_t>(slot)];
  return true;
}

bool Simulator::SetValue(const std::string& name, int slot, const Bytes& bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  Entry* e = FindEntry(NameHash(name));
  if (!e || slot < 0 || static_cast<size_t>(slot) >= e->values.size() || bytes.size() > 8) return false;
  e->values[static_cast<size_t>(slot)] = bytes;
  e->pinned[static_cast<size_t>(slot)] = true;
  return true;
}

bool Simulator::SetValueText(const std::string& name, int slot, const std::string& text, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  Bytes current;
  ParameterSpec spec;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const Entry* e = FindEntry(name);
    if (!e) return fail("no parameter " + name);
    if (slot < 0 || static_cast<size_t>(slot) >= e->values.size())
      return fail(name + " has no index " + std::to_string(slot));
    current = e->values[static_cast<size_t>(slot)];
    spec = e->spec;
  }
  Bytes bytes;
  if (!ValueFromText(spec, text, current, bytes)) return fail("\"" + text + "\" is no value of " + name);
  return SetValue(name, slot, bytes) || fail("no parameter " + name);
}

bool Simulator::SetEditable(const std::string& name, bool editable) {
  std::lock_guard<std::mutex> lock(mutex_);
  Entry* e = FindEntry(NameHash(name));
  if (!e) return false;
  e->editable = editable;
  return true;
}

bool Simulator::GetAttributes(const std::string& name, bool& editable, bool& makerOwned) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const Entry* e = FindEntry(name);
  if (!e) return false;
  editable = e->editable;
  makerOwned = e->makerOwned;
  return true;
}

// Network values <-> line settings. The enumerations: bPS by kBaudRates, LEn
// 7/8, PrtY none/even/odd, Sbit 1/2, A.Len 8/11; Addr two bytes big-endian.
void Simulator::SyncNetworkValues() {
  auto set = [&](const char* name, Bytes v) {
    if (Entry* e = FindEntry(NameHash(name))) e->values[0] = std::move(v);
  };
  for (int i = 0; i < 9; ++i)
    if (kBaudRates[i] == config_.line.baud) set("bPS", {static_cast<uint8_t>(i)});
  set("LEn", {static_cast<uint8_t>(config_.line.dataBits == 7 ? 0 : 1)});
  set("PrtY", {static_cast<uint8_t>(config_.line.parity)});
  set("Sbit", {static_cast<uint8_t>(config_.line.stopBits == 2 ? 1 : 0)});
  set("A.Len", {static_cast<uint8_t>(config_.addressBits == 11 ? 1 : 0)});
  set("Addr", {static_cast<uint8_t>(config_.address >> 8), static_cast<uint8_t>(config_.address & 0xFF)});
  SwitchProtocol(config_.protocol);
}

void Simulator::ApplyNetworkValues() {
  auto get = [&](const char* name, int& out) {
    const Entry* e = FindEntry(NameHash(name));
    if (!e || e->values[0].empty()) return false;
    out = 0;
    for (uint8_t b : e->values[0]) out = (out << 8) | b;
    return true;
  };
  int v = 0;
  if (get("bPS", v) && v >= 0 && v < 9) config_.line.baud = kBaudRates[v];
  if (get("LEn", v)) config_.line.dataBits = v == 0 ? 7 : 8;
  if (get("PrtY", v) && v >= 0 && v <= 2) config_.line.parity = static_cast<Parity>(v);
  if (get("Sbit", v)) config_.line.stopBits = v == 1 ? 2 : 1;
  if (get("A.Len", v)) config_.addressBits = v == 1 ? 11 : 8;
  if (get("Addr", v)) config_.address = static_cast<unsigned>(v);
}

int Simulator::Offsets() const {
  int n = 1;
  for (const Entry& e : entries_) n = std::max(n, e.spec.channels);
  return n;
}

int Simulator::GapMs() const {
  const unsigned baud = config_.line.baud ? config_.line.baud : 9600;
  const int fourChars = static_cast<int>(4 * 11000 / baud) + 1;
  return config_.protocol == Protocol::ModbusRtu ? std::max(30, fourChars) : std::max(500, 10 * fourChars);
}

bool Simulator::LineMatches(std::string& why) {
  if (!config_.checkLine) return true;
  PtyLineView v;
  if (master_ < 0 || !ReadPtyLine(master_, v)) {
    why = "line settings cannot be read";
    return false;
  }
  const LineSettings& own = config_.line;
  char buf[160];
  if (v.baud != own.baud) {
    std::snprintf(buf, sizeof buf, "rate %u, module %u", v.baud, own.baud);
    why = buf;
    return false;
  }
  if (v.twoStopBits != (own.stopBits == 2)) {
    std::snprintf(buf, sizeof buf, "stop bits %d, module %d", v.twoStopBits ? 2 : 1, own.stopBits);
    why = buf;
    return false;
  }
  // Only the odd-parity bit survives on a pseudo-terminal: odd needs it, even must
  // not have it; "none" cannot be told from even.
  if ((own.parity == Parity::Odd && !v.oddParityBit) || (own.parity == Parity::Even && v.oddParityBit)) {
    why = own.parity == Parity::Odd ? "parity not odd, module odd" : "parity odd, module even";
    return false;
  }
  return true;
}

void Simulator::Run() {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) break;
      if (hangUpRequested_ && !hungUp_) {
        CloseMaster();
        hungUp_ = true;
        hungUpChanged_.notify_all();
      }
    }
    pollfd fds[2] = {{wake_, POLLIN, 0}, {master_, POLLIN, 0}};
    const nfds_t count = master_ >= 0 ? 2 : 1;
    int timeout = -1;
    int gap;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      gap = GapMs();
    }
    if (!buffer_.empty()) {
      const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - lastByte_);
      timeout = std::max(0, gap - static_cast<int>(idle.count()));
    }
    const int r = ::poll(fds, count, timeout);
    if (r < 0 && errno != EINTR) break;
    if (r > 0 && (fds[0].revents & POLLIN)) {
      uint64_t v;
      if (::read(wake_, &v, sizeof v) < 0) { /* nothing pending */ }
    }
    if (r > 0 && count == 2 && fds[1].revents) {
      char buf[512];
      const ssize_t n = ::read(master_, buf, sizeof buf);
      bool echo;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        echo = echo_;
      }
      // The converter gives the bytes back as they pass, before the module hears them out.
      if (n > 0 && echo) WriteAll(std::string(buf, static_cast<size_t>(n)));
      if (n > 0) {
        buffer_.append(buf, static_cast<size_t>(n));
        lastByte_ = std::chrono::steady_clock::now();
        ProcessBuffer(false);
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        SleepMs(20);  // the slave side is gone for the moment; do not spin
      }
    }
    if (!buffer_.empty()) {
      const auto idle = std::chrono::steady_clock::now() - lastByte_;
      if (idle >= std::chrono::milliseconds(gap)) ProcessBuffer(true);
    }
  }
}

void Simulator::ProcessBuffer(bool gapExpired) {
  for (;;) {
    Protocol p;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      p = config_.protocol;
    }
    if (p == Protocol::ModbusRtu) {
      HandleRtu(gapExpired);
      return;
    }
    const size_t cr = buffer_.find('\r');
    if (cr == std::string::npos) break;
    std::string chunk = buffer_.substr(0, cr + 1);
    buffer_.erase(0, cr + 1);
    HandleChunk(chunk);
  }
  // the line feed that ends a Modbus ASCII request is not a request of its own
  if (buffer_.find_first_not_of('\n') == std::string::npos) {
    buffer_.clear();
    return;
  }
  if ((gapExpired && !buffer_.empty()) || buffer_.size() > 4096) {
    RequestRecord rec;
    rec.protocol = CurrentProtocol();
    rec.raw = buffer_;
    rec.outcome = "ignored: no carriage return";
    buffer_.clear();
    Log(std::move(rec));
  }
}

void Simulator::HandleRtu(bool gapExpired) {
  RequestRecord rec;
  rec.protocol = Protocol::ModbusRtu;
  Bytes expected;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    expected = WrapModbusRtu(ModbusSwitchBack(static_cast<uint8_t>(config_.address & 0xFF)));
  }
  const std::string want(expected.begin(), expected.end());
  if (buffer_.size() >= want.size() && buffer_.compare(buffer_.size() - want.size(), want.size(), want) == 0) {
    rec.raw = buffer_;
    buffer_.clear();
    std::string why;
    bool ok;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ok = LineMatches(why);
    }
    if (!ok) {
      rec.outcome = "ignored: line settings differ (" + why + ")";
    } else {
      AcceptSwitchBack(rec, want, Protocol::ModbusRtu);  // the module echoes a write-single-coil request
    }
    Log(std::move(rec));
    return;
  }
  if (gapExpired || buffer_.size() > 4096) {
    rec.raw = buffer_;
    buffer_.clear();
    rec.outcome = "ignored: not the switch-back request";
    Log(std::move(rec));
  }
}

void Simulator::AcceptSwitchBack(RequestRecord& rec, const std::string& answer, Protocol framing) {
  Reply reply;
  reply.text = answer;
  reply.framing = framing;
  rec.outcome = "switch-back, now own protocol";
  SendReply(rec, reply);
  std::lock_guard<std::mutex> lock(mutex_);
  SwitchProtocol(Protocol::Own);
}

void Simulator::HandleChunk(const std::string& chunk) {
  RequestRecord rec;
  Reply reply;
  std::string text = chunk;
  while (!text.empty() && text[0] == '\n') text.erase(0, 1);  // the line feed of a previous CR LF
  rec.raw = text;
  Protocol p;
  uint8_t ownAddress;
  std::string why;
  bool lineOk;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    p = config_.protocol;
    ownAddress = static_cast<uint8_t>(config_.address & 0xFF);
    lineOk = LineMatches(why);
  }
  rec.protocol = p;
  const char start = p == Protocol::Own ? '#' : p == Protocol::ModbusAscii ? ':' : '%';
  const size_t at = text.rfind(start);
  const std::string body = at == std::string::npos ? std::string() : text.substr(at, text.size() - at - 1);
  if (!lineOk) {
    rec.outcome = "ignored: line settings differ (" + why + ")";
  } else if (at == std::string::npos) {
    rec.outcome = std::string("ignored: no '") + start + "'";
  } else if (p == Protocol::Own) {
    HandleOwnFrame(body, rec, reply);
  } else if (p == Protocol::ModbusAscii) {
    Bytes msg;
    if (UnwrapModbusAscii(body, msg) && msg == ModbusSwitchBack(ownAddress)) {
      AcceptSwitchBack(rec, WrapModbusAscii(msg), Protocol::ModbusAscii);
    } else {
      rec.outcome = "ignored: not the switch-back request";
    }
  } else {
    uint8_t address = 0;
    std::string payload;
    if (UnwrapPercent(body, '%', address, payload) && address == ownAddress && payload == kPercentSwitchBack) {
      AcceptSwitchBack(rec, WrapPercent('!', address, ""), Protocol::Percent);
    } else {
      rec.outcome = "ignored: not the switch-back request";
    }
  }
  Log(std::move(rec));
}

void Simulator::HandleOwnFrame(const std::string& body, RequestRecord& rec, Reply& reply) {
  Frame request;
  int bits;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    bits = config_.addressBits;
  }
  bool refused = false;
  const DecodeStatus st = DecodeFrame(std::string_view(body).substr(1), bits, request);
  if (st != DecodeStatus::Ok) {
    static const char* const names[] = {"ok", "bad character", "too short", "bad length", "bad CRC"};
    rec.outcome = std::string("ignored: ") + names[static_cast<int>(st)];
    return;
  }
  rec.decoded = true;
  rec.address = request.address;
  rec.read = request.read;
  rec.hash = request.hash;
  rec.data = request.data;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (request.hash == kAttributesHash) rec.name = "M.s.t.r.";
    else if (const Entry* e = FindEntry(request.hash)) rec.name = e->spec.name;
    const unsigned broadcast = 255;
    const int offset = static_cast<int>(request.address) - static_cast<int>(config_.address);
    if (request.address != broadcast && (offset < 0 || offset >= Offsets())) {
      rec.outcome = "ignored: address of another module";
      return;
    }
    TriggerArmed(rec);
    // A module told to refuse a request, or not to hear it, does not act on it.
    int code = 0;
    const Fault refusal = request.address != broadcast ? TakeRefusal(code) : Fault::None;
    if (refusal == Fault::Silence) {
      rec.outcome = "not heard [fault: silence, not sent]";
      return;
    }
    if (refusal == Fault::DeviceError) {
      reply.ownFrame = true;
      reply.frame.address = request.address;
      reply.frame.read = request.read;
      reply.frame.hash = kErrorHash;
      reply.frame.data = {static_cast<uint8_t>(code)};
      reply.errorCode = code;
      rec.errorCode = code;
      rec.outcome = "n.Err " + Hex4(static_cast<unsigned>(code)).substr(2) + " [fault: device error, not done]";
    } else {
      Answer(request, rec, reply);
    }
    refused = refusal == Fault::DeviceError;
    // A broadcast acts on every module and none answers it, as on a real bus.
    if (request.address == broadcast) {
      reply.ownFrame = false;
      reply.text.clear();
      rec.outcome += rec.outcome.empty() ? "broadcast: not answered" : "; broadcast: not answered";
    }
  }
  SendReply(rec, reply, refused);
  if (reply.applyAfter || reply.restartAfter) {
    std::lock_guard<std::mutex> lock(mutex_);
    ApplyNetworkValues();
    const Entry* prot = reply.restartAfter ? FindEntry(kProtHash) : nullptr;
    if (prot && !prot->values[0].empty() && prot->values[0].back() <= 2) {
      config_.protocol = static_cast<Protocol>(prot->values[0].back());
      if (config_.protocol != Protocol::Own) rec.outcome += std::string("; protocol now ") + ProtocolName(config_.protocol);
    }
    rec.outcome += "; line now " + std::to_string(config_.line.baud) + " address " + std::to_string(config_.address);
  }
}

// Called with the mutex held; fills the reply frame.
void Simulator::Answer(const Frame& request, RequestRecord& rec, Reply& reply) {
  reply.ownFrame = true;
  reply.frame.address = request.address == 255 ? config_.address : request.address;
  reply.frame.read = request.read;
  reply.frame.hash = request.hash;
  auto error = [&](uint8_t code) {
    reply.frame.hash = kErrorHash;
    reply.frame.data = {code};
    reply.errorCode = code;
    rec.errorCode = code;
    rec.outcome = "n.Err " + Hex4(code).substr(2);
  };
  if (request.hash == kAttributesHash) {
    AnswerAttributes(request, rec, reply);
    return;
  }
  const SimCalibration::Handling calibration = calibration_.Answer(
      request, reply.frame.data, rec.outcome, [this](const std::string& name, size_t slot) -> Bytes* {
        Entry* entry = FindEntry(NameHash(name));
        return entry && slot < entry->values.size() ? &entry->values[slot] : nullptr;
      });
  if (calibration == SimCalibration::Handling::Silent) reply.ownFrame = false;
  if (calibration != SimCalibration::Handling::NotMine) return;
  const SimCalibration2::Outcome second = calibration2_.Answer(request, reply.frame.data, rec.outcome);
  if (second.kind == SimCalibration2::Outcome::DeviceError) return error(second.code);
  if (second.kind == SimCalibration2::Outcome::Answered) return;
  Entry* e = FindEntry(request.hash);
  const int offset = request.address == 255 ? 0 : static_cast<int>(request.address - config_.address);
  if (!e || (offset > 0 && offset >= e->spec.channels)) return error(kErrNotFound);
  const ParameterSpec& spec = e->spec;
  const size_t indexBytes = spec.indexCount > 0 ? 2 : 0;
  if (request.data.size() < indexBytes) return error(kErrSize);
  size_t slot = spec.channels > 0 ? static_cast<size_t>(offset) : 0;
  Bytes indexTail;
  if (indexBytes) {
    const size_t n = request.data.size();
    const int index = (request.data[n - 2] << 8) | request.data[n - 1];
    if (index >= spec.indexCount) return error(kErrIndex);
    slot = static_cast<size_t>(index);
    indexTail.assign(request.data.end() - 2, request.data.end());
  }
  Bytes value(request.data.begin(), request.data.end() - static_cast<std::ptrdiff_t>(indexBytes));

  if (request.read) {
    if (!value.empty()) return error(kErrSize);
    if (live_ && e->live != LiveKind::Fixed && !e->pinned[slot])
      e->values[slot] = LiveValue(e->live, e->base[slot], static_cast<int>(slot), SecondsSinceStart() - e->since[slot]);
    if (spec.kind != ValueKind::Command) reply.frame.data = e->values[slot];
    reply.frame.data.insert(reply.frame.data.end(), static_cast<size_t>(spec.replyTail), 0);
  } else {
    if (spec.readOnly) return error(kErrRom);
    if (spec.hasAttributes && !e->editable) return error(kErrLocked);
    if (refusedValue_ >= 0 && !value.empty() && value.size() <= 4) {
      unsigned long written = 0;
      for (uint8_t byte : value) written = (written << 8) | byte;
      if (written == static_cast<unsigned long>(refusedValue_)) return error(kErrRejected);
    }
    const size_t len = static_cast<size_t>(spec.length);
    // A command written without data: the module acts and answers with its value.
    const bool command = spec.dataLessWrite && value.empty();
    Bytes stored;
    switch (command ? ValueKind::Command : spec.kind) {
      case ValueKind::Bytes:
      case ValueKind::Float:
      case ValueKind::Name:
        if (value.size() != len) return error(kErrSize);
        stored = value;
        break;
      case ValueKind::Unsigned:
      case ValueKind::Enum:
        if (value.empty() || value.size() > len || (spec.kind == ValueKind::Enum && value.size() != 1))
          return error(kErrSize);
        stored.assign(len - value.size(), 0);
        stored.insert(stored.end(), value.begin(), value.end());
        if (spec.kind == ValueKind::Enum && spec.enumItems > 0 && value[0] >= spec.enumItems)
          return error(kErrRejected);
        if (spec.kind == ValueKind::Unsigned && roundStep_ > 1 && len <= 4) {
          unsigned long n = 0;
          for (uint8_t byte : stored) n = (n << 8) | byte;
          n -= n % static_cast<unsigned long>(roundStep_);
          for (size_t i = len; i-- > 0; n >>= 8) stored[i] = static_cast<uint8_t>(n & 0xFF);
        }
        break;
      case ValueKind::StoredDot:
        if (value.size() < 2 || value.size() > 4) return error(kErrSize);
        stored = value;
        break;
      case ValueKind::Text:
        if (value.empty() || value.size() > len) return error(kErrSize);
        stored = value;
        break;
      case ValueKind::Command:
        if (value.size() > len) return error(kErrSize);
        break;
    }
    if (request.hash == kAddrHash) {
      unsigned a = 0;
      for (uint8_t b : stored) a = (a << 8) | b;
      const Entry* alen = FindEntry(kAddrLenHash);
      const bool elevenBits = alen && !alen->values[0].empty() && alen->values[0].back() == 1;
      if (a == 0 || a > 2047) return error(kErrRejected);
      if (a > 255 && !elevenBits) return error(kErrCombination);
    }
    if (command) {
      if (spec.kind != ValueKind::Command) reply.frame.data = e->values[slot];
    } else if (spec.kind != ValueKind::Command) {
      e->values[slot] = stored;
      reply.frame.data = stored;
      if (live_) TakeWrittenValue(*e, slot);
    }
    if (second.startsOnStore) calibration2_.Stored(request);
    if (request.hash == kApplyHash) reply.applyAfter = true;
    if (request.hash == kInitHash && config_.restartOnInit) reply.restartAfter = true;
  }
  reply.frame.data.insert(reply.frame.data.end(), indexTail.begin(), indexTail.end());
  rec.outcome = "reply [" + HexBytes(reply.frame.data) + "]";
  // What a neighbour (the next address) or another index would answer under this
  // name: its own value where the module holds one, else this value changed.
  auto valueOf = [&](size_t other) {
    Bytes data = spec.kind != ValueKind::Command ? e->values[other] : Bytes{};
    data.insert(data.end(), static_cast<size_t>(spec.replyTail), 0);
    if (other == slot && !data.empty()) data.front() ^= 0x01;
    if (other == slot && data.empty()) data.push_back(0x01);
    return data;
  };
  reply.hasOtherAddress = request.address != 255;
  reply.otherAddress = reply.frame;
  reply.otherAddress.address = reply.frame.address ^ 1u;
  const int otherOffset = offset ^ 1;
  reply.otherAddress.data =
      valueOf(spec.channels > 0 && otherOffset < spec.channels ? static_cast<size_t>(otherOffset) : slot);
  reply.otherAddress.data.insert(reply.otherAddress.data.end(), indexTail.begin(), indexTail.end());
  if (indexBytes && spec.indexCount > 1) {
    const size_t otherSlot = (slot + 1) % static_cast<size_t>(spec.indexCount);
    reply.hasOtherIndex = true;
    reply.otherIndex = reply.frame;
    reply.otherIndex.data = valueOf(otherSlot);
    reply.otherIndex.data.push_back(static_cast<uint8_t>(otherSlot >> 8));
    reply.otherIndex.data.push_back(static_cast<uint8_t>(otherSlot & 0xFF));
  }
  if (request.hash == kApplyHash && !request.read && !config_.repliesToApply) {
    reply.ownFrame = false;  // this model applies without answering
    rec.outcome = "applied without reply";
  }
}

// Attribute exchange: [attribute byte (write only)] [0, index (indexed)] [name hash].
void Simulator::AnswerAttributes(const Frame& request, RequestRecord& rec, Reply& reply) {
  auto error = [&](uint8_t code) {
    reply.frame.hash = kErrorHash;
    reply.frame.data = {code};
    reply.errorCode = code;
    rec.errorCode = code;
    rec.outcome = "n.Err " + Hex4(code).substr(2);
  };
  const bool write = !request.read;
  if (write && request.data.empty()) return error(kErrSize);
  const Bytes rest(request.data.begin() + (write ? 1 : 0), request.data.end());
  if (rest.size() != 2 && rest.size() != 4) return error(kErrSize);
  const bool indexed = rest.size() == 4;
  const uint16_t target = static_cast<uint16_t>((rest[rest.size() - 2] << 8) | rest[rest.size() - 1]);
  Entry* e = FindEntry(target);
  if (!e) return error(kErrNotFound);
  if (!e->spec.hasAttributes) return error(kErrNoAttributes);
  if (indexed != (e->spec.indexCount > 0)) return error(kErrSize);
  if (indexed && rest[1] >= e->spec.indexCount) return error(kErrIndex);
  if (write) {
    e->editable = (request.data[0] & 1) != 0;
    e->makerOwned = (request.data[0] & 2) == 0;
  }
  reply.frame.data = {static_cast<uint8_t>((e->editable ? 1 : 0) | (e->makerOwned ? 0 : 2))};
  reply.frame.data.insert(reply.frame.data.end(), rest.begin(), rest.end());
  rec.name = "M.s.t.r.:" + e->spec.name;
  rec.outcome = "reply [" + HexBytes(reply.frame.data) + "]";
}

void Simulator::SendReply(RequestRecord& rec, Reply& reply, bool refused) {
  Fault fault = Fault::None;
  int arg = 0, delay = 0, bits = 8;
  unsigned noise = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!reply.ownFrame && reply.text.empty()) return;
    bits = config_.addressBits;
    delay = delayMs_;
    const bool ownOnly = fault_ == Fault::ForeignHash || fault_ == Fault::DeviceError ||
                         fault_ == Fault::OtherAddress || fault_ == Fault::OtherIndex;
    if (refused) {
      // The refusal is the reply; its fault was counted when it was made.
    } else if (fault_ == Fault::Silence) {
      fault = Fault::Silence;
    } else if (fault_ != Fault::None && (reply.ownFrame || !ownOnly) && ++faultTick_ >= faultEvery_) {
      faultTick_ = 0;
      fault = fault_;
      arg = faultArg_;
      if (faultCount_ > 0 && --faultCount_ == 0) fault_ = Fault::None;
    }
    if (fault == Fault::Noise) noise = noiseTick_++;
  }
  std::string text = reply.text;
  std::string other;  // another address's or index's reply of the same name
  if (reply.ownFrame) {
    Frame f = reply.frame;
    if (fault == Fault::ForeignHash) {
      f.hash = static_cast<uint16_t>(f.hash ^ 0x1111);
      if (f.hash == kErrorHash) f.hash ^= 0x0100;
    } else if (fault == Fault::DeviceError) {
      f.hash = kErrorHash;
      f.data = {static_cast<uint8_t>(arg)};
      rec.errorCode = arg;
      rec.outcome = "n.Err " + Hex4(static_cast<unsigned>(arg)).substr(2);
    }
    if (fault == Fault::OtherAddress && reply.hasOtherAddress && f.hash != kErrorHash)
      other = EncodeFrame(reply.otherAddress, bits);
    if (fault == Fault::OtherIndex && reply.hasOtherIndex && f.hash != kErrorHash)
      other = EncodeFrame(reply.otherIndex, bits);
    Bytes b = FrameBytes(f, bits);
    if (fault == Fault::BadCrc) b.back() ^= 0x5A;
    text = EncodeTetrads(b);
  } else if (fault == Fault::BadCrc && text.size() >= 3) {
    if (reply.framing == Protocol::ModbusRtu) {
      text.back() = static_cast<char>(text.back() ^ 0x5A);  // the CRC's high byte
    } else {
      // The low digit of the checksum, before CR LF (ASCII) or CR (percent), becomes
      // another hexadecimal digit: a whole frame whose checksum is wrong.
      const size_t at = text.size() - (reply.framing == Protocol::ModbusAscii ? 3 : 2);
      static const char digits[] = "0123456789ABCDEF";
      const char* d = std::strchr(digits, text[at]);
      text[at] = d && *d ? digits[(d - digits + 1) % 16] : '0';
    }
  }
  if (fault == Fault::Garbage && !text.empty()) text.erase(0, 1);
  if (fault == Fault::CutReply) text.resize(text.size() / 2);
  // Noise as a line picks it up: nothing, a start character, all ones, a tetrad.
  static const char kNoise[] = {'\x00', '#', '\xFF', 'G', '\x7F'};
  if (fault == Fault::Noise) text.insert(text.begin(), kNoise[noise % sizeof kNoise]);

  static const char* const faultNames[] = {"",      "silence", "drop",          "garbage",     "bad CRC",
                                           "foreign hash", "device error", "cut reply", "twice", "late",
                                           "other address", "other index", "noise", "behind",
                                           "twice, bad copy"};
  if (fault == Fault::Silence || fault == Fault::Drop) {
    rec.outcome += " [fault: " + std::string(faultNames[static_cast<int>(fault)]) + ", not sent]";
    return;
  }
  if (fault != Fault::None) rec.outcome += " [fault: " + std::string(faultNames[static_cast<int>(fault)]) + "]";
  // The reply goes out only after the request is logged (see Log), so that whoever
  // has the reply also finds the request in the log.
  pending_.clear();
  if (fault == Fault::Behind) {
    // This request's reply waits for the next one; the one owed goes out now.
    std::swap(text, behind_);
    if (text.empty()) return;
  } else {
    behind_.clear();
  }
  if (fault == Fault::Late) delay += std::max(arg, 0);
  if (!other.empty() && arg == 0) pending_.push_back({delay, other});
  pending_.push_back({pending_.empty() ? delay : 0, text});
  // Another module answers once this one has finished and the line fell quiet.
  if (!other.empty() && arg != 0) pending_.push_back({kQuietLineMs, other});
  if (fault == Fault::Twice) pending_.push_back({std::max(arg, 0), text});
  if (fault == Fault::TwiceBadCopy && text.size() >= 3 && text.back() == '\r') {
    // The last digit of the checksum changed: a whole frame that fails its check.
    std::string copy = text;
    char& digit = copy[copy.size() - 2];
    digit = static_cast<char>('G' + (digit - 'G' + 1) % 16);
    pending_.push_back({std::max(arg, 0), copy});
  }
  rec.answered = true;
}

void Simulator::FlushPendingReply() {
  std::vector<Pending> replies;
  replies.swap(pending_);
  for (const Pending& p : replies) {
    if (p.delayMs > 0 && !SleepMs(p.delayMs)) return;
    WriteAll(p.text);
  }
}

void Simulator::WriteAll(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size() && master_ >= 0) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd fds[2] = {{master_, POLLOUT, 0}, {wake_, POLLIN, 0}};
      if (::poll(fds, 2, 1000) <= 0 || (fds[1].revents & POLLIN)) return;  // stuck, or asked to stop
    } else {
      return;
    }
  }
}

bool Simulator::SleepMs(int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return false;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) return true;
    pollfd fd = {wake_, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(left.count())) > 0) {
      uint64_t v;
      if (::read(wake_, &v, sizeof v) < 0) { /* nothing pending */ }
      // a hang-up request is picked up by the main loop afterwards
      std::lock_guard<std::mutex> lock(mutex_);
      if (hangUpRequested_) {
        const uint64_t one = 1;
        if (::write(wake_, &one, sizeof one) < 0) { /* the loop checks the flag anyway */ }
        return true;
      }
    }
  }
}

void Simulator::Log(RequestRecord rec) {
  rec.timeMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started_).count();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (config_.logLimit > 0) {
      if (log_.size() >= config_.logLimit) log_.erase(log_.begin(), log_.begin() + static_cast<std::ptrdiff_t>(log_.size() / 2 + 1));
      log_.push_back(rec);
    }
  }
  logChanged_.notify_all();
  CallSink(rec);
  FlushPendingReply();
}

void Simulator::CallSink(const RequestRecord& rec) {
  std::function<void(const std::string&)> sink;
  {
    std::lock_guard<std::mutex> lock(sinkMutex_);
    if (!sink_) return;
    // A copy: the sink may replace itself while it runs.
    sink = sink_;
    sinkCalling_ = true;
    sinkThread_ = std::this_thread::get_id();
  }
  sink(FormatRecord(rec));
  sink = nullptr;  // its captures go before anyone is told the call ended
  {
    std::lock_guard<std::mutex> lock(sinkMutex_);
    sinkCalling_ = false;
    sinkThread_ = std::thread::id();
  }
  sinkIdle_.notify_all();
}

namespace {

bool ParseNumber(const std::string& word, long& out) {
  if (word == "all") {
    out = -1;
    return true;
  }
  if (word.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(word.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || v < -1 || v > 1000000) return false;
  out = v;
  return true;
}

}  // namespace

bool ApplyFaultCommand(Simulator& sim, const std::string& command, std::string* error) {
  std::vector<std::string> words;
  std::vector<size_t> starts;  // where each word begins in the command
  size_t i = 0;
  while (i < command.size()) {
    while (i < command.size() && (command[i] == ' ' || command[i] == '\t' || command[i] == '\r')) ++i;
    const size_t start = i;
    while (i < command.size() && command[i] != ' ' && command[i] != '\t' && command[i] != '\r') ++i;
    if (i > start) {
      words.push_back(command.substr(start, i - start));
      starts.push_back(start);
    }
  }
  auto fail = [&](const std::string& why) {
    if (error) *error = why + ": \"" + command + "\"";
    return false;
  };
  if (words.empty()) return fail("empty command");
  const std::string& verb = words[0];
  long a = 0, b = 1;
  if (verb == "clear" && words.size() == 1) {
    sim.ClearFaults();
    sim.Calibration().Reset();
    sim.Calibration2().Reset();
    return true;
  }
  if (verb == "hangup" && words.size() == 1) {
    sim.HangUp();
    return true;
  }
  if (verb == "silence" && words.size() == 1) {
    sim.SetFault(Fault::Silence, -1);
    return true;
  }
  if (verb == "protocol" && words.size() == 2) {
    static const std::pair<const char*, Protocol> names[] = {
        {"own", Protocol::Own}, {"rtu", Protocol::ModbusRtu}, {"ascii", Protocol::ModbusAscii}, {"percent", Protocol::Percent}};
    for (const auto& [name, protocol] : names) {
      if (words[1] != name) continue;
      sim.SetProtocol(protocol);
      return true;
    }
    return fail("protocol is own, rtu, ascii or percent");
  }
  if (verb == "delay") {
    if (words.size() != 2 || !ParseNumber(words[1], a) || a < 0) return fail("delay needs milliseconds");
    sim.SetReplyDelay(static_cast<int>(a));
    return true;
  }
  if (verb == "set") {
    // set NAME [INDEX] VALUE: the value is the rest of the line, blanks within it
    // kept; a number followed by more words is the index.
    if (words.size() < 3) return fail("set needs a name, an optional index and a value");
    size_t valueWord = 2;
    if (words.size() > 3 && ParseNumber(words[2], a)) {
      if (a < 0) return fail("set needs an index 0 or more");
      valueWord = 3;
    } else {
      a = 0;
    }
    std::string value = command.substr(starts[valueWord]);
    value.erase(value.find_last_not_of(" \t\r") + 1);
    std::string why;
    if (!sim.SetValueText(words[1], static_cast<int>(a), value, &why)) return fail(why);
    return true;
  }
  // A reply fault now, or armed by a trailing "on NAME" / "at N".
  std::string armName;
  long armFrame = 0;
  bool arm = false;
  bool writesOnly = false;
  if (words.size() >= 4 && words[words.size() - 3] == "at" && words[words.size() - 2] == "write") {
    if (!ParseNumber(words.back(), armFrame) || armFrame < 1) return fail("at write needs a write number 1 or more");
    arm = true;
    writesOnly = true;
    words.resize(words.size() - 3);
  } else if (words.size() >= 3 && (words[words.size() - 2] == "on" || words[words.size() - 2] == "at")) {
    const bool byName = words[words.size() - 2] == "on";
    if (!byName && (!ParseNumber(words.back(), armFrame) || armFrame < 1)) return fail("at needs a request number 1 or more");
    if (byName) armName = words.back();
    arm = true;
    words.resize(words.size() - 2);
  }
  long every = 1;
  if (words.size() >= 3 && words[words.size() - 2] == "every") {
    if (!ParseNumber(words.back(), every) || every < 1) return fail("every needs a number 1 or more");
    words.resize(words.size() - 2);
    arm = arm || every > 1;  // only a reply fault takes a period
  }
  auto setFault = [&](Fault fault, int count, int arg) {
    if (!armName.empty() || armFrame > 0)
      sim.ArmFault(fault, count, arg, armName, static_cast<int>(armFrame), writesOnly, static_cast<int>(every));
    else
      sim.SetFault(fault, count, arg, static_cast<int>(every));
    return true;
  };
  // An optional count after the verb's own words (`first` of them).
  auto countAt = [&](size_t first, long& count) {
    count = 1;
    if (words.size() > first + 1) return false;
    return words.size() == first || (ParseNumber(words[first], count) && count != 0);
  };
  if (verb == "echo" && words.size() == 1 && !arm) {
    sim.SetEcho(true);
    return true;
  }
  if (verb == "refuse" && !arm) {
    if (words.size() != 2 || !ParseNumber(words[1], a) || a < 0) return fail("refuse needs a value 0 or more");
    sim.RefuseWritesOf(a);
    return true;
  }
  if (verb == "round" && !arm) {
    if (words.size() != 2 || !ParseNumber(words[1], a) || a < 0) return fail("round needs a step 0 or more");
    sim.RoundWritesTo(a);
    return true;
  }
  if (verb == "twice" || verb == "twice-bad") {
    long gap = 0;
    if (words.size() >= 3 && words[words.size() - 2] == "after") {
      if (!ParseNumber(words.back(), gap) || gap < 0) return fail("after needs milliseconds");
      words.resize(words.size() - 2);
    }
    if (!countAt(1, b)) return fail(verb + " takes an optional count and \"after MS\"");
    return setFault(verb == "twice" ? Fault::Twice : Fault::TwiceBadCopy, static_cast<int>(b), static_cast<int>(gap));
  }
  if (verb == "late") {
    if (words.size() < 2 || !ParseNumber(words[1], a) || a < 0 || !countAt(2, b))
      return fail("late needs milliseconds and an optional count");
    return setFault(Fault::Late, static_cast<int>(b), static_cast<int>(a));
  }
  if (verb == "other-address" || verb == "other-index") {
    if (words.size() < 2 || (words[1] != "before" && words[1] != "after") || !countAt(2, b))
      return fail(verb + " needs before or after and an optional count");
    return setFault(verb == "other-address" ? Fault::OtherAddress : Fault::OtherIndex, static_cast<int>(b),
                    words[1] == "after" ? 1 : 0);
  }
  if (verb == "silence" && arm && words.size() == 1) return setFault(Fault::Silence, -1, 0);
  if (verb == "error") {
    if (words.size() < 2 || words.size() > 3 || !ParseNumber(words[1], a) || a < 0 || a > 255 ||
        (words.size() == 3 && (!ParseNumber(words[2], b) || b == 0)))
      return fail("error needs a code 0..255 and an optional count");
    return setFault(Fault::DeviceError, static_cast<int>(b), static_cast<int>(a));
  }
  static const std::pair<const char*, Fault> counted[] = {{"drop", Fault::Drop},       {"garbage", Fault::Garbage},
                                                          {"badcrc", Fault::BadCrc},   {"foreign", Fault::ForeignHash},
                                                          {"cut", Fault::CutReply},    {"noise", Fault::Noise},
                                                          {"behind", Fault::Behind}};
  for (const auto& [name, fault] : counted) {
    if (verb != name) continue;
    if (words.size() > 2 || (words.size() == 2 && (!ParseNumber(words[1], b) || b == 0)))
      return fail(std::string(name) + " takes an optional count");
    return setFault(fault, static_cast<int>(b), 0);
  }
  if (arm) return fail("only a reply fault can be armed");
  switch (sim.Calibration().ApplyCommand(sim, words, error)) {
    case SimCalibration::CommandResult::Done: return true;
    case SimCalibration::CommandResult::Failed: return false;
    case SimCalibration::CommandResult::NotMine: break;
  }
  switch (sim.Calibration2().ApplyCommand(sim, words, error)) {
    case SimCalibration2::CommandResult::Done: return true;
    case SimCalibration2::CommandResult::Failed: return false;
    case SimCalibration2::CommandResult::NotMine: break;
  }
  return fail("unknown command");
}

}  // namespace z580sim
