#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "LinkTestSupport.h"
#include "link/DeviceIO.h"
#include "link/ResultFlags.h"
#include "model/Parameter.h"
#include "resources/StringTable.h"
#include "support/FakePort.h"

using Fault = FakePort::Fault;
using resources::LoadString;

namespace {

uint16_t Hash(const char* name) { return Parameter::HashOfName(name); }

class DeviceIOTest : public LinkTestBase {
 protected:
  void SetUp() override {
    LinkTestBase::SetUp();
    io_ = std::make_unique<DeviceIO>();
    auto port = std::make_unique<FakePort>();
    port_ = port.get();
    io_->ReplacePort(std::move(port));
    port_->moduleAddress = 1;
    port_->addressLength = 8;
  }
  void TearDown() override {
    io_.reset();
    LinkTestBase::TearDown();
  }

  // A parameter of type "int" named `name` (value "0").
  static std::unique_ptr<Parameter> IntParameter(const char* name, const char* value = "0") {
    auto p = std::make_unique<Parameter>(name);
    p->type = "int";
    p->value = value;
    return p;
  }

  int Read(Parameter& p) { return io_->ExchangeParameter(1, &p, nullptr, false); }
  int Write(Parameter& p) { return io_->ExchangeParameter(0, &p, nullptr, false); }

  std::unique_ptr<DeviceIO> io_;
  FakePort* port_ = nullptr;
};

TEST_F(DeviceIOTest, ReadAndWriteOneParameter) {
  port_->values[{Hash("Addr"), 0}] = {0x00, 0x11};
  auto addr = IntParameter("Addr", "1");
  addr->note = "old error";
  addr->valueChanged = true;
  ASSERT_EQ(Read(*addr), 0);
  EXPECT_EQ(addr->value, "17");
  EXPECT_EQ(addr->note, "");
  EXPECT_FALSE(addr->valueChanged);
  ASSERT_EQ(port_->requests.size(), 1u);
  const FakePort::Request& read = port_->requests[0];
  EXPECT_TRUE(read.decoded);
  EXPECT_TRUE(read.read);
  EXPECT_EQ(read.addressByte, 1);
  EXPECT_EQ(read.hash, Hash("Addr"));
  EXPECT_TRUE(read.data.empty());
  EXPECT_EQ(read.raw.size(), 14u);

  // A write sends the value's bytes and stores the module's echo.
  addr->value = "300";
  ASSERT_EQ(Write(*addr), 0);
  ASSERT_FALSE(port_->requests.empty());
  const FakePort::Request& write = port_->requests.back();
  EXPECT_FALSE(write.read);
  EXPECT_EQ(write.data, (std::vector<uint8_t>{0x01, 0x2C}));
  EXPECT_EQ(addr->value, "300");
  EXPECT_EQ((port_->values[{Hash("Addr"), 0}]), (std::vector<uint8_t>{0x01, 0x2C}));
}

TEST_F(DeviceIOTest, AddressesByChannelAndAddressLength) {
  uint8_t out[15];
  uint8_t length = 0;
  std::string error;
  port_->moduleAddress = 16;
  port_->values[{Hash("Addr"), 0}] = {1};
  ASSERT_EQ(io_->TransactFrame(1, Hash("Addr"), nullptr, 0, out, length, error, 3, {}), 1);
  ASSERT_FALSE(port_->requests.empty());
  EXPECT_EQ(port_->requests.back().addressByte, 19);

  port_->script.push_back({Fault::Silence});
  port_->script.push_back({Fault::Silence});
  io_->TransactFrame(1, Hash("Addr"), nullptr, 0, out, length, error, -1, {});
  ASSERT_FALSE(port_->requests.empty());
  EXPECT_EQ(port_->requests.back().addressByte, 255);

  port_->addressLength = 11;
  port_->moduleAddress = 1000;  // 1000 = 125 << 3 | 0
  ASSERT_EQ(io_->TransactFrame(1, Hash("Addr"), nullptr, 0, out, length, error, 5, {}), 1);
  ASSERT_FALSE(port_->requests.empty());
  EXPECT_EQ(port_->requests.back().addressByte, 125);
  EXPECT_EQ(port_->requests.back().highBits, 5);
  port_->script.push_back({Fault::Silence});
  port_->script.push_back({Fault::Silence});
  io_->TransactFrame(1, Hash("Addr"), nullptr, 0, out, length, error, -1, {});
  ASSERT_FALSE(port_->requests.empty());
  EXPECT_EQ(port_->requests.back().addressByte, 31);
  EXPECT_EQ(port_->requests.back().highBits, 7);
}

// A request whose address (module address plus channel) is negative, beyond the
// addressing, or the broadcast address without a broadcast meant never goes out:
// no attribute request, no traced frame bytes, the address named once.
TEST_F(DeviceIOTest, RequestsToAnAddressTheFrameMustNotReachAreNotSent) {
  struct Case {
    int length, module, channel;
    bool sent;
  } cases[] = {
      {8, 16, 239, false},   // 255: every module would take it
      {8, 16, 300, false},   // beyond 8 bits
      {8, 16, -2, true},     // 14
      {8, 1, -2, false},     // -1
      {8, 255, 0, false},    // the module address itself is the broadcast address
      {8, 16, 238, true},    // 254
      {11, 2000, 48, false}, // beyond 11 bits
      {11, 2000, 47, true},  // 2047
      {8, 16, -1, true},     // the broadcast channel: meant so
  };
  for (const Case& c : cases) {
    port_->requests.clear();
    port_->addressLength = c.length;
    port_->moduleAddress = c.module;
    const std::string label = std::to_string(c.length) + "/" + std::to_string(c.module) + "+" + std::to_string(c.channel);
    const std::string address = std::to_string(c.channel == -1 ? 255 : c.module + c.channel);

    uint8_t out[15];
    uint8_t length = 0;
    std::string error;
    port_->script.assign(2, FakePort::Answer{Fault::Silence});
    io_->TransactFrame(1, Hash("Addr"), nullptr, 0, out, length, error, c.channel, {});
    EXPECT_EQ(!port_->requests.empty(), c.sent) << label;
    if (!c.sent) {
      EXPECT_NE(error.find(" " + address + " "), std::string::npos) << label << ": " << error;
    }

    if (c.channel == -1) continue;
    port_->requests.clear();
    port_->script.clear();
    auto p = IntParameter("Addr", "5");
    p->attributes = 1;
    p->requestIndex = c.channel;
    std::vector<std::string> trace;
    const int result = io_->ExchangeParameter(0, p.get(), &trace, false);
    if (c.sent) {
      EXPECT_FALSE(port_->requests.empty()) << label;
      continue;
    }
    EXPECT_EQ(result, DeviceIO::kAddressRefused) << label;
    EXPECT_TRUE(port_->requests.empty()) << label;
    EXPECT_EQ(trace, std::vector<std::string>{p->note}) << label;
    EXPECT_NE(p->note.find(" " + address + " "), std::string::npos) << label << ": " << p->note;
  }
}

// Each failure: its transactions, its text and the run's result flags.
TEST_F(DeviceIOTest, FailuresRetriesTextsAndFlags) {
  struct Case {
    FakePort::Answer answer;
    size_t transactions;
    std::string text;
    uint32_t flags;
    bool dataKept;
  } cases[] = {
      {{Fault::Silence}, 2, LoadString(kStrTimeOut), exchange::kResultExchangeError, false},
      {{Fault::LineError}, 17, LoadString(kStrBadPortSettings), exchange::kResultNoUsableReply, false},
      {{Fault::Garbage}, 11, LoadString(kStrFrameStartLost) + "\n", exchange::kResultNoUsableReply, false},
      // A broken frame is passed over; nothing valid comes within either try.
      {{Fault::Raw, {}, 0, "#\r"}, 2, LoadString(kStrReplyChecksumError), exchange::kResultNoUsableReply, false},
      {{Fault::Raw, {}, 0, "#GHIJ\xff\xfeKL\r"}, 2, LoadString(kStrReplyChecksumError), exchange::kResultNoUsableReply, false},
      {{Fault::BadCrc, {7}}, 2, LoadString(kStrReplyChecksumError), exchange::kResultNoUsableReply, false},
      {{Fault::Cut, {7, 7, 7}}, 2, LoadString(kStrReplyChecksumError), exchange::kResultNoUsableReply, false},
      // Another name's reply is passed over; nothing else comes, and the one retry
      // of a time-out gets the same: its text, none of its data.
      {{Fault::ForeignHash, {7}}, 2, LoadString(kStrOtherCommandCode) + "\n", exchange::kResultNoUsableReply, false},
      {{Fault::Raw, {}, 0, FakePort::ReplyText(2, Hash("Addr"), {7})}, 2, LoadString(kStrAddressMismatch), exchange::kResultNoUsableReply,
       false},
      {{Fault::Raw, {}, 0, "##" + FakePort::ReplyText(1, Hash("Addr"), {7}).substr(1)}, 11, LoadString(kStrFrameStartLost) + "\n",
       exchange::kResultNoUsableReply, false},
      {{Fault::DeviceError, {}, 0x47}, 1, LoadString(kStrDeviceErrorInvalidCombination), exchange::kResultDeviceError, true},
      {{Fault::DeviceError, {}, 0x3A}, 1, LoadString(kStrDeviceErrorGroupAttributeLevel) + "2", exchange::kResultDeviceError, true},
      {{Fault::DeviceError, {}, 0xC8}, 1, "Не найдено значение ошибки. (Код -56)", exchange::kResultDeviceError, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    App().resultFlags = 0;
    port_->requests.clear();
    port_->script.assign(30, c.answer);
    uint8_t out[15] = {};
    uint8_t length = 99;
    std::string error = "before";
    EXPECT_EQ(io_->TransactFrame(1, Hash("Addr"), nullptr, 0, out, length, error, 0, {}), 0);
    EXPECT_EQ(port_->requests.size(), c.transactions);
    EXPECT_EQ(error, c.text);
    EXPECT_EQ(App().resultFlags.load(), c.flags);
    EXPECT_EQ(length != 0, c.dataKept);
  }

  // A time-out stays a time-out when a later reply arrives (the run's exit code
  // does not depend on what came after it).
  App().resultFlags = exchange::kResultExchangeError;
  port_->script.clear();
  port_->values[{Hash("Addr"), 0}] = {1};
  uint8_t out[15];
  uint8_t length = 0;
  std::string error;
  EXPECT_EQ(io_->TransactFrame(1, Hash("Addr"), nullptr, 0, out, length, error, 0, {}), 1);
  EXPECT_EQ(App().resultFlags.load(), exchange::kResultExchangeError);
  EXPECT_EQ(length, 1);
  EXPECT_EQ(out[0], 1);
}

TEST_F(DeviceIOTest, CancelledTransactionIsNotRetriedAndLeavesTheFlags) {
  App().resultFlags = exchange::kResultDeviceError;
  port_->script.assign(5, {Fault::Cancel});
  auto p = IntParameter("Addr");
  EXPECT_EQ(Read(*p), -1);
  EXPECT_EQ(port_->requests.size(), 1u);
  EXPECT_EQ(p->note, "");
  EXPECT_EQ(App().resultFlags.load(), exchange::kResultDeviceError);

  // The cancel event set from outside: nothing more goes out.
  port_->script.clear();
  port_->values[{Hash("Addr"), 0}] = {1};
  port_->CancelEvent().Set();
  EXPECT_EQ(Read(*p), -1);
  EXPECT_EQ(port_->requests.size(), 1u);
  port_->CancelEvent().Reset();
  EXPECT_EQ(Read(*p), 0);
}

TEST_F(DeviceIOTest, ClosedPortAndMissingParameter) {
  port_->open = false;
  auto p = IntParameter("Addr");
  EXPECT_EQ(Read(*p), -1);
  EXPECT_EQ(p->note, LoadString(kStrPortOpenError));
  EXPECT_TRUE(port_->requests.empty());
  port_->open = true;
  EXPECT_EQ(io_->ExchangeParameter(1, nullptr, nullptr, false), -1);
  EXPECT_TRUE(port_->requests.empty());
}

TEST_F(DeviceIOTest, ApplyWithoutReplyDependsOnTheModel) {
  TestModel model;
  model::SetCurrentDeviceModel(&model);
  Parameter aply("APLY");
  aply.type = "void";
  aply.value = "";
  port_->script.assign(5, {Fault::Silence});
  EXPECT_EQ(Write(aply), 0);
  EXPECT_EQ(port_->requests.size(), 1u);
  EXPECT_TRUE(port_->requests[0].data.empty());
  EXPECT_EQ(port_->requests[0].hash, exchange::kHashAPLY);
  EXPECT_EQ(App().resultFlags.load(), 0u);

  model.repliesToApply = true;
  port_->requests.clear();
  EXPECT_EQ(Write(aply), 1);
  EXPECT_EQ(port_->requests.size(), 2u);
  EXPECT_EQ(aply.note, LoadString(kStrTimeOut));
}

TEST_F(DeviceIOTest, UnconvertibleValueIsRefusedWithoutAFrame) {
  std::vector<std::string> trace;
  Parameter choice("Mode");
  choice.type = "off:on";
  choice.value = "sideways";
  EXPECT_EQ(io_->ExchangeParameter(0, &choice, nullptr, false), 4);
  EXPECT_EQ(choice.note, LoadString(kStrNotEncodable));
  EXPECT_EQ(io_->ExchangeParameter(0, &choice, &trace, false), 4);
  EXPECT_EQ(trace, std::vector<std::string>{LoadString(kStrNotEncodable)});

  Parameter dev("dev");
  dev.type = "string";
  dev.value = "x";
  EXPECT_EQ(io_->ExchangeParameter(0, &dev, nullptr, false), 3);
  EXPECT_EQ(dev.note, "Метод формирования посылки записи для команды 'dev' не определен.");
  EXPECT_TRUE(port_->requests.empty());
}

TEST_F(DeviceIOTest, UndecodableReplyEmptiesTheValue) {
  Parameter choice("Mode");
  choice.type = "off:on";
  choice.value = "on";
  port_->values[{Hash("Mode"), 0}] = {5};
  EXPECT_EQ(Read(choice), 2);
  EXPECT_EQ(choice.note, LoadString(kStrCannotDecode));
  EXPECT_EQ(choice.value, "");
}

TEST_F(DeviceIOTest, IndexBytesAndEchoedIndex) {
  const uint16_t h = Hash("tAbL");
  port_->indexedHashes = {h};
  port_->values[{h, 0x0102}] = {0x00, 0x2A};
  auto p = IntParameter("tAbL");
  p->indexed = true;
  p->linearIndex = 0x0102;
  ASSERT_EQ(Read(*p), 0);
  EXPECT_EQ(port_->requests[0].data, (std::vector<uint8_t>{0x01, 0x02}));
  EXPECT_EQ(p->value, "42");

  p->value = "7";
  ASSERT_EQ(Write(*p), 0);
  EXPECT_EQ(port_->requests[1].data, (std::vector<uint8_t>{0x07, 0x01, 0x02}));
  EXPECT_EQ(p->value, "7");

  // "JuRD" carries three bytes more than its value.
  auto jurd = IntParameter("JuRD");
  port_->values[{Hash("JuRD"), 0}] = {0x01, 0x02, 9, 9, 9};
  ASSERT_EQ(Read(*jurd), 0);
  EXPECT_EQ(jurd->value, "258");
}

TEST_F(DeviceIOTest, AttributeExchangeBeforeTheValue) {
  const uint16_t h = Hash("Addr");
  port_->values[{h, 0}] = {0x00, 0x05};
  auto p = IntParameter("Addr");
  p->attributes = 1;
  p->editable = 0;
  p->owner = 1;
  p->editableChanged = p->ownerChanged = true;
  // Read: the attributes are read, bit 0 editable, bit 1 clear = maker's.
  port_->script.push_back({Fault::None, {0x01, 0x9F, 0x62}});
  io_->fullAccess = true;
  ASSERT_EQ(Read(*p), 0);
  ASSERT_EQ(port_->requests.size(), 2u);
  EXPECT_EQ(port_->requests[0].hash, exchange::kHashAttributes);
  EXPECT_TRUE(port_->requests[0].read);
  EXPECT_EQ(port_->requests[0].data, (std::vector<uint8_t>{0x9F, 0x62}));
  EXPECT_EQ(port_->requests[1].hash, h);
  EXPECT_EQ(p->editable, 1);
  EXPECT_EQ(p->owner, 1);
  EXPECT_FALSE(p->editableChanged || p->ownerChanged);

  // Write with full access writes the attribute byte; the override writes 3.
  port_->requests.clear();
  p->owner = 0;
  port_->script.push_back({Fault::None, {0x03, 0x9F, 0x62}});
  ASSERT_EQ(Write(*p), 0);
  EXPECT_FALSE(port_->requests[0].read);
  EXPECT_EQ(port_->requests[0].data, (std::vector<uint8_t>{0x03, 0x9F, 0x62}));
  EXPECT_EQ(p->owner, 0);
  port_->requests.clear();
  p->editable = 0;
  p->owner = 1;
  port_->script.push_back({Fault::None, {0x03, 0x9F, 0x62}});
  ASSERT_EQ(io_->ExchangeParameter(0, p.get(), nullptr, true), 0);
  EXPECT_EQ(port_->requests[0].data[0], 3);

  // Without full access a write only reads the attributes.
  io_->fullAccess = false;
  port_->requests.clear();
  port_->script.push_back({Fault::None, {0x01, 0x9F, 0x62}});
  ASSERT_EQ(Write(*p), 0);
  EXPECT_TRUE(port_->requests[0].read);
  EXPECT_EQ(port_->requests[0].data.size(), 2u);

  // An indexed parameter: 0 and the index's low byte, then the hash; 5 reply bytes.
  port_->requests.clear();
  p->indexed = true;
  p->linearIndex = 0x0203;
  port_->indexedHashes = {h};
  port_->values[{h, 0x0203}] = {0x00, 0x06};
  port_->script.push_back({Fault::None, {0x00, 0x00, 0x03, 0x9F, 0x62}});
  ASSERT_EQ(Read(*p), 0);
  EXPECT_EQ(port_->requests[0].data, (std::vector<uint8_t>{0x00, 0x03, 0x9F, 0x62}));
  EXPECT_EQ(p->editable, 0);
  EXPECT_EQ(p->value, "6");
}

TEST_F(DeviceIOTest, AttributeFailuresAndWhenNoAttributesAreExchanged) {
  auto p = IntParameter("Addr");
  p->attributes = 1;
  port_->values[{Hash("Addr"), 0}] = {0x00, 0x05};

  port_->script.push_back({Fault::None, {0x01, 0, 0, 0x9F, 0x62}});
  EXPECT_EQ(Read(*p), DeviceIO::kAttributeReplySize);
  EXPECT_EQ(p->note, LoadString(kStrAttributeSize));
  EXPECT_EQ(port_->requests.size(), 1u);

  port_->script.push_back({Fault::DeviceError, {}, 0x32});
  EXPECT_EQ(Read(*p), DeviceIO::kAttributeExchangeFailed);
  EXPECT_EQ(p->note, LoadString(kStrDeviceErrorRequestBit));

  // Mode "no attribute exchange" and polled parameters send the value frame only.
  port_->requests.clear();
  App().noAttributeExchange = true;
  EXPECT_EQ(Read(*p), 0);
  App().noAttributeExchange = false;
  p->pollPrepared = true;
  EXPECT_EQ(Read(*p), 0);
  ASSERT_EQ(port_->requests.size(), 2u);
  EXPECT_EQ(port_->requests[0].hash, Hash("Addr"));
  EXPECT_EQ(port_->requests[1].hash, Hash("Addr"));
}

TEST_F(DeviceIOTest, TraceLines) {
  auto p = IntParameter("X", "65");
  std::vector<std::string> trace;
  ASSERT_EQ(io_->ExchangeParameter(0, p.get(), &trace, false), 0);
  EXPECT_EQ(trace, (std::vector<std::string>{
                       "Размер инф-ой части посылки 1 байт.",
                       ">> Посылка: # 0 : 065 = 0x41 (A)",
                       "<< Ответ: # 0 : 065 = 0x41 (A)",
                       "Информационная часть квитанции ответа имеет размер 1 байт.",
                   }));
}

TEST_F(DeviceIOTest, NetworkNameTravelsAsFourCharacters) {
  const uint16_t h = Hash("CHAr");
  port_->indexedHashes = {h};
  Parameter name("CHAr*");
  name.type = "name";
  name.linearIndex = 10;
  name.value = "AB.C";
  ASSERT_EQ(Write(name), 0);
  ASSERT_EQ(port_->requests.size(), 4u);
  const int expected[] = {20, 23, 24, 78};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(port_->requests[i].hash, h);
    EXPECT_EQ(port_->requests[i].data, (std::vector<uint8_t>{static_cast<uint8_t>(expected[i]), 0, static_cast<uint8_t>(10 + i)}));
  }
  EXPECT_EQ(name.value, "AB.C ");

  const int codes[] = {2, 21, 74, 78};
  for (int i = 0; i < 4; ++i) port_->values[{h, 20 + i}] = {static_cast<uint8_t>(codes[i])};
  name.linearIndex = 20;
  ASSERT_EQ(Read(name), 0);
  EXPECT_EQ(name.value, "1A._ ");

  port_->values[{h, 22}] = {80};
  std::vector<std::string> trace;
  EXPECT_EQ(io_->ExchangeParameter(1, &name, &trace, false), 2);
  EXPECT_EQ(name.note, LoadString(kStrBadNameCode) + " (CHAr)");
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace.back(), name.note);

  // A character failing its frame ends the name with that result and its note.
  port_->script.assign(2, FakePort::Answer{Fault::Silence});
  EXPECT_EQ(Read(name), 1);
  EXPECT_EQ(name.note, LoadString(kStrTimeOut));
  // A failed write keeps the name that was to be written.
  name.value = "ZZ";
  port_->script = {{Fault::None, {70, 0, 20}}, {Fault::DeviceError, {}, 0x33}};
  EXPECT_EQ(Write(name), 1);
  EXPECT_EQ(name.value, "ZZ");
  EXPECT_EQ(name.note, LoadString(kStrDeviceErrorAccessDenied));

  port_->requests.clear();
  name.value = ".A";
  EXPECT_EQ(Write(name), 4);
  name.value = "";
  EXPECT_EQ(Write(name), 4);
  EXPECT_EQ(name.note, LoadString(kStrNameEmpty) + " (CHAr)");
  EXPECT_TRUE(port_->requests.empty());
  name.value = "abcde";
  ASSERT_EQ(Write(name), 0);
  EXPECT_EQ(name.value, "ABCD");
}

TEST_F(DeviceIOTest, SwitchBackRequestsInTheOtherFramings) {
  port_->moduleAddress = 16;
  exchange::SetProtocolSelector(exchange::kSelectorModbusRtu);
  // Modbus RTU reply: the request echoed (write single coil), CRC low byte first.
  std::string echo("\x10\x05\xF0\xF0\xFF\x00", 6);
  uint16_t crc = 0xFFFF;
  for (unsigned char c : echo) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
  }
  const std::string rtu = echo + static_cast<char>(crc & 0xFF) + static_cast<char>(crc >> 8);
  port_->script.push_back({Fault::Raw, {}, 0, rtu});
  Parameter p("dev");
  p.note = "old";
  EXPECT_EQ(io_->ExchangeParameter(1, &p, nullptr, false), 0);
  EXPECT_EQ(p.note, "");
  EXPECT_EQ(port_->requests[0].raw, rtu);
  EXPECT_TRUE(port_->rtuFraming);

  // No parameter needed; a silent module: one retry, then the transport code.
  port_->requests.clear();
  port_->script.assign(3, {Fault::Silence});
  EXPECT_EQ(io_->ExchangeParameter(1, nullptr, nullptr, false), 2);
  EXPECT_EQ(port_->requests.size(), 2u);

  // The percent frame: "%", address in hexadecimal, "TEVI", sum, carriage return.
  exchange::SetProtocolSelector(exchange::kSelectorPercent);
  port_->requests.clear();
  std::string reply = "!10";
  unsigned sum = 0;
  for (unsigned char c : reply) sum += c;
  char hex[3];
  snprintf(hex, sizeof hex, "%02X", sum & 0xFF);
  port_->script.push_back({Fault::Raw, {}, 0, reply + hex + "\r"});
  EXPECT_EQ(io_->ExchangeParameter(1, &p, nullptr, false), 0);
  EXPECT_FALSE(port_->rtuFraming);
  const std::string& sent = port_->requests[0].raw;
  ASSERT_EQ(sent.size(), 10u);
  EXPECT_EQ(sent.substr(0, 7), "%10TEVI");
  EXPECT_EQ(sent.back(), '\r');
  // A reply without "!" is a bad reply.
  port_->script.push_back({Fault::Raw, {}, 0, "?10" + std::string(hex) + "\r"});
  EXPECT_EQ(io_->ExchangeParameter(1, &p, nullptr, false), 4);
  EXPECT_EQ(p.note, LoadString(kStrChecksumError));

  // 11-bit addresses cannot be carried: nothing is sent.
  port_->requests.clear();
  port_->addressLength = 11;
  EXPECT_EQ(io_->ExchangeParameter(1, &p, nullptr, false), -1);
  EXPECT_TRUE(port_->requests.empty());
}

TEST_F(DeviceIOTest, PortSettingsReachThePort) {
  Elements::NetRS485prg& s = io_->Settings();
  s.SetParameterValue("Port", "/dev/ttyUSB3");
  s.SetParameterValue("bPS", "28800");
  s.SetParameterValue("Addr", "300");
  s.SetParameterValue("A.Len", "11");
  s.SetParameterValue("LEn", "7");
  s.SetParameterValue("Sbit", "2");
  s.SetParameterValue("PrtY", "Нечетность");
  App().networkSettingsWritten = true;
  io_->ApplyPortSettings();
  EXPECT_EQ(port_->portName, "/dev/ttyUSB3");
  EXPECT_EQ(port_->baudRate, 28800u);
  EXPECT_EQ(port_->moduleAddress, 300);
  EXPECT_EQ(port_->addressLength, 11);
  EXPECT_EQ(port_->dataBits, 7);
  EXPECT_EQ(port_->stopBits, 2);
  EXPECT_EQ(port_->parityCode, 4);
  EXPECT_EQ(s.GetChangeState(), 0);
  EXPECT_FALSE(App().networkSettingsWritten);

  s.SetParameterValue("PrtY", "Четность");
  io_->ApplyPortSettings();
  EXPECT_EQ(port_->parityCode, 1);
  s.SetParameterValue("PrtY", "Отсутствует");
  io_->ApplyPortSettings();
  EXPECT_EQ(port_->parityCode, 3);
  // A text that is no item leaves the code as it was.
  port_->parityCode = 5;
  s.SetParameterValue("PrtY", "<неверное значение>");
  io_->ApplyPortSettings();
  EXPECT_EQ(port_->parityCode, 5);

  TestModel model;
  model.eightBitOnly = true;
  model::SetCurrentDeviceModel(&model);
  io_->ApplyPortSettings();
  EXPECT_EQ(port_->dataBits, 8);
}

TEST_F(DeviceIOTest, FullAccessFollowsTheAccessLevel) {
  EXPECT_TRUE(io_->fullAccess);
  App().accessLevel = 1;
  DeviceIO limited;
  EXPECT_FALSE(limited.fullAccess);
}

}  // namespace
