#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "SimTestPort.h"
#include "Simulator.h"

using namespace z580sim;
using simtest::PortLine;
using simtest::TestPort;

namespace {

std::string Request(unsigned address, bool read, const std::string& name, Bytes data = {}, int bits = 8) {
  Frame f;
  f.address = address;
  f.read = read;
  f.hash = NameHash(name);
  f.data = std::move(data);
  return EncodeFrame(f, bits);
}

// Decodes a reply text "#...\r"; false when it is not a whole valid frame.
bool ParseReply(const std::string& text, Frame& out, int bits = 8) {
  if (text.size() < 2 || text.front() != '#' || text.back() != '\r') return false;
  return DecodeFrame(std::string_view(text).substr(1, text.size() - 2), bits, out) == DecodeStatus::Ok;
}

struct Running {
  explicit Running(SimConfig c) : Running(c, BuiltInTable(c.model)) {}
  Running(SimConfig c, ParameterTable t) : sim(std::make_unique<Simulator>(c, std::move(t))) {
    std::string error;
    started = sim->Start(&error);
    EXPECT_TRUE(started) << error;
    port = std::make_unique<TestPort>(sim->SlavePath());
    EXPECT_TRUE(port->IsOpen());
  }
  // Sends a request and decodes the reply; false on no (valid) reply.
  bool Ask(const std::string& request, Frame& reply, int timeoutMs = 1000) {
    return ParseReply(port->Transact(request, timeoutMs), reply);
  }
  std::unique_ptr<Simulator> sim;
  std::unique_ptr<TestPort> port;
  bool started = false;
};

SimConfig Model(int model) {
  SimConfig c;
  c.model = model;
  return c;
}

}  // namespace

TEST(Simulator, IdentifiesItsModel) {
  Running r(Model(2));
  Frame reply;
  ASSERT_TRUE(r.Ask(Request(16, true, "dev"), reply));
  EXPECT_EQ(reply.hash, NameHash("dev"));
  EXPECT_EQ(reply.address, 16u);
  EXPECT_TRUE(reply.read);
  EXPECT_EQ(std::string(reply.data.rbegin(), reply.data.rend()), "ZD580-03");  // last character first
  ASSERT_TRUE(r.Ask(Request(16, true, "ver"), reply));
  EXPECT_EQ(reply.hash, NameHash("ver"));
  EXPECT_FALSE(reply.data.empty());
  // no "tdev" on this model
  ASSERT_TRUE(r.Ask(Request(16, true, "tdev"), reply));
  EXPECT_EQ(reply.hash, kErrorHash);
  EXPECT_EQ(reply.data, Bytes{0x28});

  const auto log = r.sim->Requests();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_TRUE(log[0].decoded);
  EXPECT_EQ(log[0].name, "dev");
  EXPECT_TRUE(log[0].read);
  EXPECT_TRUE(log[0].answered);
  EXPECT_EQ(log[2].errorCode, 0x28);
}

TEST(Simulator, FourChannelStrainGaugeReportsItsVariant) {
  Running r(Model(14));
  Frame reply;
  ASSERT_TRUE(r.Ask(Request(16, true, "dev"), reply));
  EXPECT_EQ(std::string(reply.data.rbegin(), reply.data.rend()), "zd580-14");
  ASSERT_TRUE(r.Ask(Request(16, true, "tdev"), reply));
  EXPECT_EQ(reply.data, Bytes{1});
  Running one(Model(13));
  ASSERT_TRUE(one.Ask(Request(16, true, "tdev"), reply));
  EXPECT_EQ(reply.data, Bytes{0});
}

TEST(Simulator, WritesAreCheckedAndEchoed) {
  Running r(Model(0));
  Frame reply;
  ASSERT_TRUE(r.Ask(Request(16, false, "FiLt", {0x10, 0x7E}), reply));
  EXPECT_EQ(reply.hash, NameHash("FiLt"));
  EXPECT_EQ(reply.data, (Bytes{0x10, 0x7E}));
  ASSERT_TRUE(r.Ask(Request(16, true, "FiLt"), reply));
  EXPECT_EQ(reply.data, (Bytes{0x10, 0x7E}));
  // an int of one byte is stored right-aligned in its two bytes
  ASSERT_TRUE(r.Ask(Request(16, false, "Addr", {0x11}), reply));
  EXPECT_EQ(reply.data, (Bytes{0x00, 0x11}));

  struct Case {
    const char* what;
    std::string request;
    uint8_t code;
  } cases[] = {
      {"unknown name", Request(16, true, "XXXX"), 0x28},
      {"read-only", Request(16, false, "dev", {'A'}), 0x03},
      {"wrong length", Request(16, false, "FiLt", {0x10}), 0x31},
      {"read with data", Request(16, true, "bPS", {0x01}), 0x31},
      {"enumeration beyond its items", Request(16, false, "bPS", {9}), 0x37},
      {"index beyond the range", Request(16, true, "CHAr", {0x00, 0x04}), 0x35},
      {"indexed without index", Request(16, true, "CHAr"), 0x31},
      {"not editable", Request(16, false, "CLB.K", {0x00, 0x01, 0x00, 0x00}), 0x33},
      {"address above 255 with 8-bit addresses", Request(16, false, "Addr", {0x01, 0x2C}), 0x47},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(r.Ask(c.request, reply)) << c.what;
    EXPECT_EQ(reply.hash, kErrorHash) << c.what;
    EXPECT_EQ(reply.data, Bytes{c.code}) << c.what;
  }
}

TEST(Simulator, IndexedValuesAndAttributes) {
  Running r(Model(0));
  Frame reply;
  // indexed write: value then the index; the reply echoes both
  ASSERT_TRUE(r.Ask(Request(16, false, "CHAr", {20, 0x00, 0x02}), reply));
  EXPECT_EQ(reply.data, (Bytes{20, 0x00, 0x02}));
  ASSERT_TRUE(r.Ask(Request(16, true, "CHAr", {0x00, 0x02}), reply));
  EXPECT_EQ(reply.data, (Bytes{20, 0x00, 0x02}));
  ASSERT_TRUE(r.Ask(Request(16, true, "CHAr", {0x00, 0x01}), reply));
  EXPECT_EQ(reply.data, (Bytes{78, 0x00, 0x01}));

  const uint16_t clb = NameHash("CLB.K");
  const Bytes clbTail = {0x00, 0x01, static_cast<uint8_t>(clb >> 8), static_cast<uint8_t>(clb & 0xFF)};
  // read: maker-owned, not editable -> bit 0 clear, bit 1 clear
  ASSERT_TRUE(r.Ask(Request(16, true, "M.s.t.r.", clbTail), reply));
  ASSERT_EQ(reply.data.size(), 5u);
  EXPECT_EQ(reply.data[0], 0x00);
  EXPECT_EQ(Bytes(reply.data.begin() + 1, reply.data.end()), clbTail);
  // write 3 (editable, user's); the parameter then takes writes
  Bytes write = {0x03};
  write.insert(write.end(), clbTail.begin(), clbTail.end());
  ASSERT_TRUE(r.Ask(Request(16, false, "M.s.t.r.", write), reply));
  EXPECT_EQ(reply.data, write);
  ASSERT_TRUE(r.Ask(Request(16, false, "CLB.K", {0x00, 0x05, 0x00, 0x01}), reply));
  EXPECT_EQ(reply.hash, clb);
  bool editable = false, maker = true;
  ASSERT_TRUE(r.sim->GetAttributes("CLB.K", editable, maker));
  EXPECT_TRUE(editable);
  EXPECT_FALSE(maker);

  // non-indexed attribute reply is three bytes; a parameter without attributes refuses
  const uint16_t bps = NameHash("bPS");
  ASSERT_TRUE(r.Ask(Request(16, true, "M.s.t.r.", {static_cast<uint8_t>(bps >> 8), static_cast<uint8_t>(bps)}), reply));
  EXPECT_EQ(reply.data.size(), 3u);
  EXPECT_EQ(reply.data[0], 0x03);
  const uint16_t dev = NameHash("dev");
  ASSERT_TRUE(r.Ask(Request(16, true, "M.s.t.r.", {static_cast<uint8_t>(dev >> 8), static_cast<uint8_t>(dev)}), reply));
  EXPECT_EQ(reply.data, Bytes{0x08});
  // index form for a parameter without indexes
  ASSERT_TRUE(r.Ask(Request(16, true, "M.s.t.r.", {0, 0, static_cast<uint8_t>(bps >> 8), static_cast<uint8_t>(bps)}), reply));
  EXPECT_EQ(reply.data, Bytes{0x31});
}

TEST(Simulator, PolledChannelsAnswerAtAddressOffsets) {
  Running r(Model(14));
  ASSERT_TRUE(r.sim->SetValue("rEAd", 2, {0x40, 0x00, 0x00, 0x00}));
  Frame reply;
  ASSERT_TRUE(r.Ask(Request(18, true, "rEAd"), reply));
  EXPECT_EQ(reply.address, 18u);
  EXPECT_EQ(reply.data, (Bytes{0x40, 0x00, 0x00, 0x00}));
  ASSERT_TRUE(r.Ask(Request(16, true, "rEAd"), reply));
  EXPECT_EQ(reply.data, (Bytes{0x3F, 0x80, 0x00, 0x00}));
  // only polled parameters live at the offsets
  ASSERT_TRUE(r.Ask(Request(17, true, "dev"), reply));
  EXPECT_EQ(reply.data, Bytes{0x28});
  // beyond the channels, or below the base, another module would answer
  EXPECT_EQ(r.port->Transact(Request(20, true, "rEAd"), 300), "");
  EXPECT_EQ(r.port->Transact(Request(15, true, "dev"), 300), "");
  // a broadcast reaches the module, which never answers it, as on a real bus
  EXPECT_EQ(r.port->Transact(Request(255, true, "dev"), 300), "");
  const auto log = r.sim->Requests();
  ASSERT_FALSE(log.empty());
  EXPECT_TRUE(log.back().decoded);
  EXPECT_FALSE(log.back().answered);
  EXPECT_NE(log.back().outcome.find("broadcast: not answered"), std::string::npos) << log.back().outcome;
}

TEST(Simulator, ElevenBitAddresses) {
  SimConfig c = Model(0);
  c.address = 300;
  c.addressBits = 11;
  Running r(c);
  Frame reply;
  ASSERT_TRUE(ParseReply(r.port->Transact(Request(300, true, "dev", {}, 11)), reply, 11));
  EXPECT_EQ(reply.address, 300u);
  // the same address sent as an 8-bit frame is another module
  EXPECT_EQ(r.port->Transact(Request(300 & 0xFF, true, "dev", {}, 8), 300), "");
}

TEST(Simulator, SilentOnLineSettingsMismatch) {
  SimConfig c = Model(0);
  c.line.baud = 19200;
  c.line.stopBits = 2;
  c.line.parity = Parity::Odd;
  Running r(c);
  Frame reply;
  struct Case {
    const char* what;
    PortLine line;
  } wrong[] = {
      {"rate", {B9600, true, 'O'}},
      {"stop bits", {B19200, false, 'O'}},
      {"parity", {B19200, true, 'E'}},
  };
  for (const Case& w : wrong) {
    ASSERT_TRUE(r.port->Configure(w.line));
    EXPECT_EQ(r.port->Transact(Request(16, true, "dev"), 300), "") << w.what;
  }
  ASSERT_TRUE(r.port->Configure({B19200, true, 'O'}));
  EXPECT_TRUE(r.Ask(Request(16, true, "dev"), reply));
  const auto log = r.sim->Requests();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_NE(log[0].outcome.find("line settings"), std::string::npos);
  EXPECT_FALSE(log[0].answered);
  EXPECT_TRUE(log[3].answered);
}

TEST(Simulator, ApplySwitchesLineSettingsAndAddress) {
  Running r(Model(0));
  Frame reply;
  ASSERT_TRUE(r.Ask(Request(16, false, "bPS", {4}), reply));   // 19200
  ASSERT_TRUE(r.Ask(Request(16, false, "Sbit", {1}), reply));  // 2 stop bits
  ASSERT_TRUE(r.Ask(Request(16, false, "PrtY", {1}), reply));  // even
  ASSERT_TRUE(r.Ask(Request(16, false, "Addr", {0x00, 0x21}), reply));
  // the new values take effect only with APLY
  EXPECT_EQ(r.sim->CurrentLine().baud, 9600u);
  ASSERT_TRUE(r.Ask(Request(16, true, "bPS"), reply));
  EXPECT_EQ(reply.data, Bytes{4});
  // this model applies without answering
  EXPECT_EQ(r.port->Transact(Request(16, false, "APLY"), 300), "");
  ASSERT_TRUE(r.sim->WaitForRequests(6, 1000));
  const LineSettings now = r.sim->CurrentLine();
  EXPECT_EQ(now.baud, 19200u);
  EXPECT_EQ(now.stopBits, 2);
  EXPECT_EQ(now.parity, Parity::Even);
  EXPECT_EQ(r.sim->CurrentAddress(), 0x21u);

  EXPECT_EQ(r.port->Transact(Request(0x21, true, "dev"), 300), "");  // old line settings
  ASSERT_TRUE(r.port->Configure({B19200, true, 'E'}));
  EXPECT_EQ(r.port->Transact(Request(16, true, "dev"), 300), "");  // old address
  EXPECT_TRUE(r.Ask(Request(0x21, true, "dev"), reply));
}

TEST(Simulator, InitRestartsWithTheStoredSettingsAndProtocol) {
  ParameterTable t = BuiltInTable(12);
  ParameterSpec prot;
  prot.name = "Prot";
  prot.kind = ValueKind::Enum;
  prot.enumItems = 3;  // own, Modbus RTU, Modbus ASCII
  ASSERT_TRUE(t.Add(prot));
  SimConfig c = Model(12);
  c.restartOnInit = true;
  Running r(c, std::move(t));
  Frame reply;
  ASSERT_TRUE(r.Ask(Request(16, false, "bPS", {4}), reply));  // 19200
  ASSERT_TRUE(r.Ask(Request(16, false, "Prot", {1}), reply));
  ASSERT_TRUE(r.Ask(Request(16, true, "INIT"), reply));  // a read of the command changes nothing
  EXPECT_EQ(r.sim->CurrentLine().baud, 9600u);
  EXPECT_EQ(r.sim->CurrentProtocol(), Protocol::Own);

  ASSERT_TRUE(r.Ask(Request(16, false, "INIT"), reply));  // answered, then restarted
  EXPECT_EQ(reply.hash, NameHash("INIT"));
  EXPECT_EQ(r.sim->CurrentLine().baud, 19200u);
  EXPECT_EQ(r.sim->CurrentProtocol(), Protocol::ModbusRtu);

  // The switch-back request brings it back and is what "Prot" then holds.
  ASSERT_TRUE(r.port->Configure({B19200, false, 'N'}));
  const Bytes rtu = WrapModbusRtu(ModbusSwitchBack(16));
  const std::string request(rtu.begin(), rtu.end());
  r.port->Send(request);
  std::string echo;
  for (int i = 0; i < 8 && echo.size() < request.size(); ++i) echo += r.port->Receive(200, request.back());
  EXPECT_EQ(echo, request);
  EXPECT_EQ(r.sim->CurrentProtocol(), Protocol::Own);
  ASSERT_TRUE(r.Ask(Request(16, true, "Prot"), reply));
  EXPECT_EQ(reply.data, Bytes{0});
}

TEST(Simulator, MainsModelAnswersApply) {
  Running r(Model(20));
  Frame reply;
  ASSERT_TRUE(r.Ask(Request(16, false, "APLY", {129}), reply));
  EXPECT_EQ(reply.hash, NameHash("APLY"));
  EXPECT_TRUE(reply.data.empty());
  ASSERT_TRUE(r.Ask(Request(16, false, "INIT"), reply));
  EXPECT_EQ(reply.hash, NameHash("INIT"));
}

TEST(Simulator, SwitchBackFromEachForeignProtocol) {
  struct Case {
    Protocol protocol;
    std::string request;
    char replyEnd;
    std::string replyStart;
  } cases[] = {
      {Protocol::ModbusRtu, [] { Bytes b = WrapModbusRtu(ModbusSwitchBack(16)); return std::string(b.begin(), b.end()); }(), 0,
       std::string("\x10\x05\xF0\xF0\xFF\x00", 6)},
      {Protocol::ModbusAscii, WrapModbusAscii(ModbusSwitchBack(16)), '\n', ":1005F0F0FF00"},
      {Protocol::Percent, WrapPercent('%', 16, kPercentSwitchBack), '\r', "!10"},
  };
  for (const Case& c : cases) {
    SimConfig cfg = Model(0);
    cfg.protocol = c.protocol;
    Running r(cfg);
    const int which = static_cast<int>(c.protocol);
    // own frames are ignored while in the foreign protocol
    EXPECT_EQ(r.port->Transact(Request(16, true, "dev"), 300), "") << which;
    // a switch-back for another address is ignored too
    std::string other = c.protocol == Protocol::ModbusRtu
                            ? [] { Bytes b = WrapModbusRtu(ModbusSwitchBack(17)); return std::string(b.begin(), b.end()); }()
                        : c.protocol == Protocol::ModbusAscii ? WrapModbusAscii(ModbusSwitchBack(17))
                                                              : WrapPercent('%', 17, kPercentSwitchBack);
    EXPECT_EQ(r.port->Transact(other, 300, c.replyEnd), "") << which;
    EXPECT_EQ(r.sim->CurrentProtocol(), c.protocol);

    const std::string answer = r.port->Transact(c.request, 1000, c.replyEnd);
    if (c.protocol == Protocol::ModbusRtu) EXPECT_EQ(answer, c.request);
    else EXPECT_EQ(answer.substr(0, c.replyStart.size()), c.replyStart) << which;
    if (c.protocol == Protocol::Percent) {
      uint8_t address = 0;
      std::string payload;
      EXPECT_TRUE(UnwrapPercent(answer.substr(0, answer.size() - 1), '!', address, payload));
    }
    EXPECT_EQ(r.sim->CurrentProtocol(), Protocol::Own);
    Frame reply;
    EXPECT_TRUE(r.Ask(Request(16, true, "dev"), reply)) << which;
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // past the module's idle-line limit
    const auto log = r.sim->Requests();
    ASSERT_EQ(log.size(), 4u) << which;  // each request once, nothing made up from leftovers
    EXPECT_NE(log[2].outcome.find("switch-back"), std::string::npos) << which;
    EXPECT_EQ(log[3].protocol, Protocol::Own);
  }
}

TEST(Simulator, BadChecksumOfAForeignReplyIsStillAWholeFrame) {
  // At address 0x12 the Modbus ASCII reply's LRC is 0A: its low digit must stay a
  // hexadecimal digit, or the program sees a broken frame instead of a bad LRC.
  for (Protocol p : {Protocol::ModbusAscii, Protocol::Percent}) {
    SimConfig c = Model(0);
    c.address = 0x12;
    c.protocol = p;
    Running r(c);
    r.sim->SetFault(Fault::BadCrc);
    const bool ascii = p == Protocol::ModbusAscii;
    const std::string answer =
        r.port->Transact(ascii ? WrapModbusAscii(ModbusSwitchBack(0x12)) : WrapPercent('%', 0x12, kPercentSwitchBack));
    const size_t cr = answer.find('\r');
    ASSERT_TRUE(cr != std::string::npos && cr >= 5) << answer;
    const size_t start = ascii ? 1 : 3;  // after ':' or after '!' and the address
    EXPECT_EQ(answer.substr(start, cr - start).find_first_not_of("0123456789ABCDEF"), std::string::npos) << answer;
    Bytes msg;
    uint8_t address = 0;
    std::string payload;
    EXPECT_FALSE(ascii ? UnwrapModbusAscii(answer.substr(0, cr), msg)
                       : UnwrapPercent(answer.substr(0, cr), '!', address, payload));
  }
}

TEST(Simulator, PutIntoAnotherProtocolWhileRunning) {
  Running r(Model(0));
  Frame reply;
  ASSERT_TRUE(r.Ask(Request(16, true, "dev"), reply));
  r.sim->SetProtocol(Protocol::Percent);
  EXPECT_EQ(r.port->Transact(Request(16, true, "dev"), 300), "");
  EXPECT_EQ(r.port->Transact(WrapPercent('%', 16, kPercentSwitchBack)).substr(0, 3), "!10");
  EXPECT_TRUE(r.Ask(Request(16, true, "dev"), reply));
}

TEST(Simulator, ReplyFaults) {
  Running r(Model(0));
  Frame reply;
  const std::string dev = Request(16, true, "dev");

  r.sim->SetFault(Fault::Drop, 2);
  EXPECT_EQ(r.port->Transact(dev, 300), "");
  EXPECT_EQ(r.port->Transact(dev, 300), "");
  EXPECT_TRUE(r.Ask(dev, reply));

  r.sim->SetFault(Fault::Garbage);
  std::string text = r.port->Transact(dev);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.find('#'), std::string::npos);
  EXPECT_EQ(text.back(), '\r');
  EXPECT_TRUE(r.Ask(dev, reply));  // one reply only

  r.sim->SetFault(Fault::BadCrc);
  text = r.port->Transact(dev);
  ASSERT_GE(text.size(), 14u);
  EXPECT_EQ(DecodeFrame(std::string_view(text).substr(1, text.size() - 2), 8, reply), DecodeStatus::BadCrc);

  r.sim->SetFault(Fault::ForeignHash);
  ASSERT_TRUE(r.Ask(dev, reply));
  EXPECT_NE(reply.hash, NameHash("dev"));
  EXPECT_NE(reply.hash, kErrorHash);

  r.sim->SetFault(Fault::DeviceError, 1, 0x47);
  ASSERT_TRUE(r.Ask(dev, reply));
  EXPECT_EQ(reply.hash, kErrorHash);
  EXPECT_EQ(reply.data, Bytes{0x47});

  r.sim->SetFault(Fault::CutReply);
  text = r.port->Transact(dev, 300);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_EQ(text[0], '#');

  r.sim->SetFault(Fault::Silence, 1);  // silence lasts until cleared, whatever the count
  EXPECT_EQ(r.port->Transact(dev, 200), "");
  EXPECT_EQ(r.port->Transact(dev, 200), "");
  r.sim->ClearFaults();
  EXPECT_TRUE(r.Ask(dev, reply));

  r.sim->SetFault(Fault::BadCrc, -1);  // until cleared
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(r.Ask(dev, reply));
  r.sim->ClearFaults();

  r.sim->SetReplyDelay(250);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(r.port->Transact(dev, 100), "");  // later than the program waits
  const std::string late = r.port->Receive(1000);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(240));
  EXPECT_TRUE(ParseReply(late, reply));
}

TEST(Simulator, HangUpClosesTheLine) {
  Running r(Model(0));
  Frame reply;
  ASSERT_TRUE(r.Ask(Request(16, true, "dev"), reply));
  r.sim->HangUp();
  r.port->Receive(500);
  EXPECT_TRUE(r.port->HungUp());
  r.sim->Stop();
}

TEST(Simulator, StopIsBoundedEvenInsideADelay) {
  Running r(Model(0));
  r.sim->SetReplyDelay(20000);
  r.port->Send(Request(16, true, "dev"));
  ASSERT_TRUE(r.sim->WaitForRequests(0, 10));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the thread is now in the delay
  const auto t0 = std::chrono::steady_clock::now();
  r.sim->Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  r.sim->Stop();  // twice is harmless
}

// Whatever a log sink refers to may go once it is replaced: a call of the old sink
// under way ends before the replacement returns. A sink that calls the simulator
// back, or replaces itself, does not wait for itself.
TEST(Simulator, AReplacedLogSinkIsNoLongerRunning) {
  Running r(Model(0));
  std::promise<void> entered, release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> calledOnce{false}, left{false};
  r.sim->SetLogSink([&](const std::string&) {
    if (calledOnce.exchange(true)) return;
    entered.set_value();
    released.wait_for(std::chrono::seconds(10));
    left = true;
  });
  std::thread ask([&] {
    Frame reply;
    EXPECT_TRUE(r.Ask(Request(16, true, "dev"), reply, 12000));
  });
  ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
  std::promise<bool> replaced;
  std::future<bool> leftWhenReplaced = replaced.get_future();
  std::thread replacer([&] {
    r.sim->SetLogSink({});
    replaced.set_value(left.load());
  });
  // The replacement waits while the sink runs.
  EXPECT_EQ(leftWhenReplaced.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  release.set_value();
  replacer.join();
  ask.join();
  EXPECT_TRUE(leftWhenReplaced.get());

  // From inside the sink: the simulator answers and the request is replied to.
  std::atomic<int> calls{0};
  std::atomic<size_t> logged{0};
  r.sim->SetLogSink([&](const std::string&) {
    ++calls;
    logged = r.sim->Requests().size();
    r.sim->SetLogSink({});
  });
  Frame reply;
  EXPECT_TRUE(r.Ask(Request(16, true, "dev"), reply, 3000));
  EXPECT_TRUE(r.Ask(Request(16, true, "ver"), reply, 3000));
  EXPECT_EQ(calls.load(), 1);
  EXPECT_EQ(logged.load(), 2u);
}

TEST(Simulator, FaultCommands) {
  Simulator sim(Model(0));
  std::string error;
  for (const char* ok : {"silence", "delay 10", "drop", "drop 3", "drop all", "garbage", "badcrc 2", "foreign",
                         "error 0x33", "error 51 2", "cut", "clear", "protocol rtu", "protocol own",
                         "garbage all on FiLt", "error 3 all at 5", "silence on rEAd", "drop at 1", "set FiLt hex:107E",
                         "set CHAr 2 20", "set rEAd -1.5", "set bPS 3", "set ver 2.20"})
    EXPECT_TRUE(ApplyFaultCommand(sim, ok, &error)) << ok << ": " << error;
  for (const char* bad : {"", "bogus", "delay", "delay -5", "delay x", "error", "error 300", "drop 0", "drop 1 2",
                          "silence 3", "garbage x", "protocol", "protocol modbus", "garbage at 0", "garbage at x",
                          "hangup on dev", "delay 5 on dev", "set", "set FiLt", "set nothing 1", "set CHAr 4 1",
                          "set CHAr -1 1", "set bPS 9", "set CHAr 2 256", "set rEAd x", "set FiLt hex:1", "set FiLt 5",
                          "set ver toolongtext", "set PrtY Чет", "set bPS 1200"})
    EXPECT_FALSE(ApplyFaultCommand(sim, bad, &error)) << bad;
}

TEST(Simulator, ArmedFaultsStartAtTheirRequest) {
  Running r(Model(0));
  Frame reply;
  const std::string dev = Request(16, true, "dev"), filt = Request(16, true, "FiLt");
  std::string error;
  // On a named parameter: the requests before it are answered, from it on garbled.
  ASSERT_TRUE(ApplyFaultCommand(*r.sim, "garbage all on FiLt", &error)) << error;
  EXPECT_TRUE(r.Ask(dev, reply));
  EXPECT_TRUE(r.Ask(dev, reply));
  EXPECT_FALSE(r.Ask(filt, reply));
  EXPECT_FALSE(r.Ask(dev, reply));
  r.sim->ClearFaults();
  EXPECT_TRUE(r.Ask(dev, reply));

  // On the n-th request from now, for its count.
  ASSERT_TRUE(ApplyFaultCommand(*r.sim, "error 0x47 at 3", &error)) << error;
  for (int i = 1; i <= 4; ++i) {
    ASSERT_TRUE(r.Ask(dev, reply)) << i;
    EXPECT_EQ(reply.hash == kErrorHash, i == 3) << i;
  }
  // Silence armed on a name; clearing disarms what has not started.
  ASSERT_TRUE(ApplyFaultCommand(*r.sim, "silence on FiLt", &error)) << error;
  EXPECT_TRUE(r.Ask(dev, reply));
  EXPECT_FALSE(r.Ask(filt, reply, 200));
  EXPECT_FALSE(r.Ask(dev, reply, 200));
  r.sim->ClearFaults();
  r.sim->ArmFault(Fault::Drop, -1, 0, "FiLt");
  r.sim->ClearFaults();
  EXPECT_TRUE(r.Ask(filt, reply));
}

TEST(Simulator, SetCommandChangesWhatAReadGets) {
  Running r(Model(0));
  Frame reply;
  std::string error;
  struct Case {
    const char* command;
    std::string request;
    Bytes data;
  } cases[] = {
      {"set rEAd 12.5", Request(16, true, "rEAd"), {0x41, 0x48, 0, 0, 0, 0}},  // the float, the status bytes kept
      {"set CHAr 2 20", Request(16, true, "CHAr", {0, 2}), {20, 0, 2}},
      {"set bPS 0x3", Request(16, true, "bPS"), {3}},
      {"set SEr.n 4660", Request(16, true, "SEr.n"), {0x12, 0x34}},
      {"set FiLt hex:207D", Request(16, true, "FiLt"), {0x20, 0x7D}},
      {"set ver 3.01", Request(16, true, "ver"), {'1', '0', '.', '3'}},  // last character first
      // An item of a list by its text, as the program shows it.
      {"set bPS 19200", Request(16, true, "bPS"), {4}},
      {"set PrtY Четность", Request(16, true, "PrtY"), {1}},
      {"set Sbit 2", Request(16, true, "Sbit"), {1}},
      // A text with blanks, as typed; the index comes first when there is one.
      {"set ver a b ", Request(16, true, "ver"), {'b', ' ', 'a'}},
      {"set CHAr 1 0x7", Request(16, true, "CHAr", {0, 1}), {7, 0, 1}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(ApplyFaultCommand(*r.sim, c.command, &error)) << error;
    ASSERT_TRUE(r.Ask(c.request, reply)) << c.command;
    EXPECT_EQ(reply.data, c.data) << c.command;
  }
}

// Model 11's table with a counter "r.Cou" of two channels, the first at 5.
static ParameterTable Model11WithCounters() {
  ParameterTable table = BuiltInTable(11);
  ParameterSpec counter;
  counter.name = "r.Cou";
  counter.length = 2;
  counter.initial = {0, 5};
  counter.channels = 2;
  EXPECT_TRUE(table.Add(counter));
  return table;
}

TEST(Simulator, LiveModuleMovesItsPolledValuesOnly) {
  // Model 11 has counters, input and output words; a reading comes from model 0's table.
  const ParameterTable table = Model11WithCounters();
  Running r(Model(11), table);
  r.sim->SetLive(true);
  std::string error;
  ASSERT_TRUE(ApplyFaultCommand(*r.sim, "set r.Cou 1 300", &error)) << error;
  Frame reply;
  auto read = [&](unsigned address, const char* name) {
    EXPECT_TRUE(r.Ask(Request(address, true, name), reply)) << name;
    return reply.data;
  };
  const Bytes reading = read(16, "rEAd"), count = read(16, "r.Cou"), filt = read(16, "FiLt");
  EXPECT_EQ(count, (Bytes{0, 5}));
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_NE(read(16, "rEAd"), reading);
  EXPECT_EQ(read(16, "r.Cou"), (Bytes{0, 6}));  // one a second on the first channel
  EXPECT_EQ(read(17, "r.Cou"), (Bytes{0x01, 0x2C}));  // set: no longer moves
  EXPECT_EQ(read(16, "FiLt"), filt);  // a setting

  // Without the option nothing moves.
  Running fixed(Model(11), table);
  ASSERT_TRUE(fixed.Ask(Request(16, true, "rEAd"), reply));
  const Bytes still = reply.data;
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ASSERT_TRUE(fixed.Ask(Request(16, true, "rEAd"), reply));
  EXPECT_EQ(reply.data, still);
}

TEST(Simulator, LiveModuleTakesAWriteAsAModuleDoes) {
  const ParameterTable table = Model11WithCounters();
  Running r(Model(11), table);
  r.sim->SetLive(true);
  Frame reply;
  auto ask = [&](unsigned address, bool read, const char* name, Bytes data = {}) {
    EXPECT_TRUE(r.Ask(Request(address, read, name, std::move(data)), reply)) << name;
    return reply.data;
  };
  auto count = [](const Bytes& b) { return b.size() == 2 ? b[0] * 256 + b[1] : -1; };
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_GE(count(ask(17, true, "r.Cou")), 7);  // two a second on the second channel
  // A written count (a reset, or any value) is where the counter goes on from.
  EXPECT_EQ(ask(17, false, "r.Cou", {0x03, 0xE8}), (Bytes{0x03, 0xE8}));
  EXPECT_EQ(count(ask(17, true, "r.Cou")), 1000);
  EXPECT_LT(count(ask(16, true, "r.Cou")), 1000);  // the other channel goes on as it was
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  const int later = count(ask(17, true, "r.Cou"));
  EXPECT_GE(later, 1002);
  EXPECT_LT(later, 1100);
}

// A module told to refuse a write, or deaf to it, does not act on it; an armed
// refusal "at write N" counts writes only.
TEST(Simulator, RefusedWriteChangesNothing) {
  struct Case {
    const char* fault;
    bool answered;
  } cases[] = {{"error 6", true}, {"silence", false}, {"error 6 at write 2", true}, {"silence at write 2", false}};
  for (const Case& c : cases) {
    Running r(Model(2));
    std::string error;
    ASSERT_TRUE(ApplyFaultCommand(*r.sim, c.fault, &error)) << error;
    const bool armed = std::string(c.fault).find("at write") != std::string::npos;
    Frame reply;
    if (armed) {
      ASSERT_TRUE(r.Ask(Request(16, true, "FiLt"), reply)) << c.fault;  // reads are not counted
      ASSERT_TRUE(r.Ask(Request(16, false, "FiLt", {0x10, 0x7D}), reply)) << c.fault;
      ASSERT_TRUE(r.Ask(Request(16, true, "FiLt"), reply)) << c.fault;
    }
    const std::string answer = r.port->Transact(Request(16, false, "FiLt", {0x20, 0x7D}), 300);
    EXPECT_EQ(!answer.empty(), c.answered) << c.fault;
    ASSERT_TRUE(ApplyFaultCommand(*r.sim, "clear", &error)) << error;
    Bytes held;
    ASSERT_TRUE(r.sim->GetValue("FiLt", 0, held));
    EXPECT_EQ(held, (Bytes{0x10, 0x7D})) << c.fault;
  }
}

TEST(SimLive, PatternsStayBoundedAndMoveAsAModulesDo) {
  const Bytes one = {0x3F, 0x80, 0, 0, 0xAA, 0xBB};  // 1.0 and two status bytes
  auto floatOf = [](const Bytes& b) {
    return std::bit_cast<float>(static_cast<uint32_t>(b[0] << 24 | b[1] << 16 | b[2] << 8 | b[3]));
  };
  float low = 10, high = -10;
  for (double t = 0; t < 120; t += 0.5) {
    const Bytes v = LiveValue(LiveKind::Reading, one, 0, t);
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[4], 0xAA);
    EXPECT_EQ(v[5], 0xBB);
    low = std::min(low, floatOf(v));
    high = std::max(high, floatOf(v));
  }
  EXPECT_NEAR(low, 0.9f, 0.01f);
  EXPECT_NEAR(high, 1.1f, 0.01f);
  // A reading of 0 moves around its channel's own level; the three-byte float stays three.
  EXPECT_NEAR(floatOf(LiveValue(LiveKind::Reading, {0, 0, 0, 0}, 2, 0)), 30.0f, 0.01f);
  EXPECT_EQ(LiveValue(LiveKind::Reading, {0, 0, 0}, 0, 3).size(), 3u);

  // Counters wrap at their width; input words change one bit per step.
  EXPECT_EQ(LiveValue(LiveKind::Counter, {0xFF}, 0, 1.5), Bytes{0x00});
  EXPECT_EQ(LiveValue(LiveKind::Counter, {0, 0}, 3, 10), (Bytes{0, 40}));
  for (int step = 0; step < 40; ++step) {
    const Bytes a = LiveValue(LiveKind::Bits, {0}, 0, step * 2.0), b = LiveValue(LiveKind::Bits, {0}, 0, step * 2.0 + 2);
    EXPECT_EQ(std::popcount(static_cast<unsigned>(a[0] ^ b[0])), 1) << step;
  }
  EXPECT_EQ(LiveValue(LiveKind::Fixed, {1, 2}, 0, 100), (Bytes{1, 2}));

  // Which parameters move: polled readings, counters and state words, nothing else.
  auto spec = [](const char* name, ValueKind kind, int length, int channels, int indexes = 0, bool readOnly = true) {
    ParameterSpec p;
    p.name = name;
    p.kind = kind;
    p.length = length;
    p.channels = channels;
    p.indexCount = indexes;
    p.readOnly = readOnly;
    return p;
  };
  struct Case {
    ParameterSpec spec;
    LiveKind kind;
  } cases[] = {
      {spec("rEAd", ValueKind::Float, 4, 8), LiveKind::Reading},
      {spec("rEAd", ValueKind::Bytes, 6, 1), LiveKind::Reading},
      {spec("r.Cou", ValueKind::Unsigned, 2, 4), LiveKind::Counter},
      {spec("R.CN", ValueKind::Unsigned, 1, 1), LiveKind::Bits},
      {spec("Rd.St", ValueKind::Unsigned, 1, 1), LiveKind::Fixed},
      {spec("in.SL", ValueKind::Float, 4, 0, 8), LiveKind::Fixed},
      {spec("r.oe", ValueKind::Float, 3, 4, 0, false), LiveKind::Fixed},  // an output the program sets
  };
  for (const Case& c : cases) EXPECT_EQ(LiveKindOf(c.spec), c.kind) << c.spec.name;
}

TEST(Simulator, TableRejectsBadEntries) {
  ParameterTable t;
  ParameterSpec p;
  p.name = "FiLt";
  p.kind = ValueKind::Unsigned;
  p.length = 2;
  EXPECT_TRUE(t.Add(p));
  EXPECT_FALSE(t.Add(p));  // same hash
  p.name = "BIG";
  p.length = 9;
  EXPECT_FALSE(t.Add(p));
  p.name = "IDX";
  p.length = 7;
  p.indexCount = 2;  // 7 + 2 index bytes do not fit one reply
  EXPECT_FALSE(t.Add(p));
  p.name = "INI";
  p.length = 2;
  p.indexCount = 0;
  p.initial = {1, 2, 3};
  EXPECT_FALSE(t.Add(p));
  p.name = "";
  EXPECT_FALSE(t.Add(p));
  EXPECT_EQ(t.Size(), 1u);
  EXPECT_TRUE(BuiltInTable(23).Size() == 0);
  ParameterTable described;
  EXPECT_FALSE(LoadTableFromDescription(0, "", described));
  Simulator empty(SimConfig{}, ParameterTable{});
  std::string error;
  EXPECT_FALSE(empty.Start(&error));
  EXPECT_FALSE(error.empty());
}

TEST(Simulator, ByteFormFromTypeText) {
  struct Case {
    const char* name;
    const char* type;
    ValueKind kind;
    int length;
    int items;
  } cases[] = {
      {"FiLt", "float", ValueKind::Float, 4, 0},          {"r.oe", "float", ValueKind::Float, 3, 0},
      {"dot", "STORED_DOT:2", ValueKind::StoredDot, 4, 0}, {"Addr", "int", ValueKind::Unsigned, 2, 0},
      {"nm", "name", ValueKind::Name, 4, 0},              {"S.Def", "void", ValueKind::Command, 0, 0},
      {"PrtY", "none:even:odd", ValueKind::Enum, 1, 3},   {"LEn", "7:8", ValueKind::Enum, 1, 2},
  };
  for (const Case& c : cases) {
    ParameterSpec spec;
    ASSERT_TRUE(SpecFromTypeText(c.name, c.type, spec)) << c.type;
    EXPECT_EQ(spec.kind, c.kind) << c.type;
    EXPECT_EQ(spec.length, c.length) << c.type;
    EXPECT_EQ(spec.enumItems, c.items) << c.type;
  }
  ParameterSpec spec;
  ASSERT_TRUE(SpecFromTypeText("str", "string", spec));
  EXPECT_TRUE(spec.readOnly);
  EXPECT_FALSE(SpecFromTypeText("x", "", spec));
}

// What the line carries for one request under each misbehaviour of a bus.
TEST(Simulator, BusFaultsAsTheLineCarriesThem) {
  Running r(Model(2));
  for (uint8_t i = 0; i < 4; ++i) ASSERT_TRUE(r.sim->SetValue("CHAr", i, {static_cast<uint8_t>(10 + i)}));
  const std::string request = Request(16, true, "CHAr", {0, 1});
  auto reply = [](unsigned address, uint8_t value, uint8_t index) {
    return Request(address, true, "CHAr", {value, 0, index});
  };
  const std::string own = reply(16, 11, 1);
  std::string badCopy = own;  // the last check-sum digit one higher
  badCopy[badCopy.size() - 2] = static_cast<char>('G' + (badCopy[badCopy.size() - 2] - 'G' + 1) % 16);
  struct Case {
    const char* command;
    std::string line;
  } cases[] = {
      {"twice", own + own},
      {"twice after 20", own + own},
      {"twice-bad after 2", own + badCopy},
      {"behind", ""},  // owed until the next request
      {"behind", own},
      {"other-address before", reply(17, 10, 1) + own},  // no neighbour's value here: this one changed
      {"other-address after", own + reply(17, 10, 1)},
      {"other-index before", reply(16, 12, 2) + own},
      {"other-index after", own + reply(16, 12, 2)},
      {"noise", std::string(1, '\0') + own},
      {"echo", request + own},
  };
  std::string error;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    r.sim->ClearFaults();
    ASSERT_TRUE(ApplyFaultCommand(*r.sim, c.command, &error)) << error;
    r.port->Send(request);
    EXPECT_EQ(r.port->Receive(150, 0), c.line);
  }

  // Late: nothing within the wait, then the answer; "every 2": every second reply.
  r.sim->ClearFaults();
  ASSERT_TRUE(ApplyFaultCommand(*r.sim, "late 200", &error)) << error;
  r.port->Send(request);
  EXPECT_EQ(r.port->Receive(100, 0), "");
  EXPECT_EQ(r.port->Receive(400), own);
  ASSERT_TRUE(ApplyFaultCommand(*r.sim, "garbage all every 2", &error)) << error;
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(r.port->Transact(request, 300), i % 2 == 0 ? own.substr(1) : own) << i;

  // A module that rounds what it stores acknowledges what it stored.
  r.sim->ClearFaults();
  ASSERT_TRUE(ApplyFaultCommand(*r.sim, "round 5", &error)) << error;
  EXPECT_EQ(r.port->Transact(Request(16, false, "CHAr", {12, 0, 1}), 300), Request(16, false, "CHAr", {10, 0, 1}));

  for (const char* ok : {"twice 3", "twice all after 5", "late 300 2", "other-index after all", "noise all every 3",
                         "twice all every 2 on CHAr", "late 250 all every 40 at 2",
                         "twice-bad all after 2", "behind all", "round 10", "round 0"})
    EXPECT_TRUE(ApplyFaultCommand(*r.sim, ok, &error)) << ok << ": " << error;
  for (const char* bad : {"twice x", "twice after", "twice after -1", "late", "late x", "late 5 0", "other-address",
                          "other-address sideways", "other-index before 0", "echo 2", "echo on dev", "noise 0",
                          "twice every 0", "late 5 every x", "twice 1 2", "twice-bad after", "behind 0",
                          "round", "round -1", "round 5 on CHAr"})
    EXPECT_FALSE(ApplyFaultCommand(*r.sim, bad, &error)) << bad;
}
