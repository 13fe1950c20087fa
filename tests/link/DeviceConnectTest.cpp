// Opening the port, identifying the module and the connection search against the
// in-process fake port.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include "LinkTestSupport.h"
#include "link/ConnectAttempt.h"
#include "link/Device.h"
#include "link/ResultFlags.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "resources/StringTable.h"
#include "support/FakePort.h"

using Fault = FakePort::Fault;
using resources::LoadString;

namespace {

uint16_t Hash(const std::string& name) { return Parameter::HashOfName(name); }

// A text value as the module sends it: last character first.
std::vector<uint8_t> TextBytes(const std::string& text) { return std::vector<uint8_t>(text.rbegin(), text.rend()); }

// One request as the connection search sent it.
struct Sent {
  std::string what;  // "dev", "ver", "tdev", or "switch 1".."switch 3"
  int converterMode = 0;
  bool operator==(const Sent&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Sent& s) { return out << s.what << "/" << s.converterMode; }

class DeviceConnectTest : public LinkTestBase {
 protected:
  void SetUp() override {
    LinkTestBase::SetUp();
    device_ = std::make_unique<Device>();
    auto port = std::make_unique<FakePort>();
    port_ = port.get();
    device_->ReplacePort(std::move(port));
    port_->onTransact = [this](int) {
      modes_.push_back(port_->wholeWrite);
      selectors_.push_back(exchange::ProtocolSelector());
    };
  }
  void TearDown() override {
    device_.reset();
    LinkTestBase::TearDown();
  }

  std::vector<Sent> SentRequests() const {
    std::vector<Sent> out;
    for (size_t i = 0; i < port_->requests.size(); ++i) {
      const auto& r = port_->requests[i];
      std::string what = "?";
      if (selectors_[i] != 0) {
        what = "switch " + std::to_string(selectors_[i]);
      } else if (r.decoded) {
        for (const char* name : {"dev", "ver", "tdev"})
          if (r.hash == Hash(name)) what = name;
      }
      out.push_back({what, modes_[i]});
    }
    return out;
  }

  // A module of the own protocol answering "dev" and "ver".
  void Module(const std::string& id, const std::string& version = "2.14") {
    port_->values[{Hash("dev"), 0}] = TextBytes(id);
    port_->values[{Hash("ver"), 0}] = TextBytes(version);
  }

  platform::CollectingPrompter prompter_;
  std::unique_ptr<Device> device_;
  FakePort* port_ = nullptr;
  std::vector<int> modes_;
  std::vector<int> selectors_;
};

// Both identifications of a pass over the converter modes 1 and 0, each "dev"
// and "ver" with a retry.
void AppendFailedPair(std::vector<Sent>& out) {
  for (int mode : {1, 0})
    for (const char* what : {"dev", "dev", "ver", "ver"}) out.push_back({what, mode});
}

TEST_F(DeviceConnectTest, NoModuleGivesTheWholeSearchThenFalse) {
  port_->handler = [](const FakePort::Request&) { return FakePort::Answer(Fault::Silence); };
  EXPECT_FALSE(device_->EstablishLink());

  std::vector<Sent> expected;
  AppendFailedPair(expected);
  for (int selector : {1, 2, 3}) {
    // Two sends, the converter mode toggled after the first; each with its retry.
    for (int mode : {1, 1, 0, 0}) expected.push_back({"switch " + std::to_string(selector), mode});
  }
  AppendFailedPair(expected);
  EXPECT_EQ(SentRequests(), expected);
  EXPECT_EQ(device_->ConverterMode(), 0);
  EXPECT_EQ(exchange::ProtocolSelector(), exchange::kSelectorOwnFrame);
  EXPECT_EQ(App().modelIndex.load(), -1);
  EXPECT_TRUE(prompter_.requests.empty());
  EXPECT_NE(App().resultFlags.load() & exchange::kResultExchangeError, 0u);

  // Connected later (the setup dialog's try, a scan): the flags of the failed
  // connections go, those from before them stay.
  App().resultFlags |= exchange::kResultDeviceError;
  EXPECT_FALSE(device_->EstablishLink());
  port_->handler = {};
  Module("ZD580-01");
  EXPECT_TRUE(device_->EstablishLink());
  EXPECT_EQ(App().resultFlags.load(), exchange::kResultDeviceError);
}

TEST_F(DeviceConnectTest, AFailedSearchSaysWhatItMetWithTheSettingsTried) {
  device_->Settings().SetParameterValue("Addr", "17");
  device_->Settings().SetParameterValue("bPS", "19200");
  device_->Settings().SetParameterValue("PrtY", "Четность");
  device_->Settings().SetParameterValue("Sbit", "2");
  const std::string tried = "адрес 17, 19200 бит/с, 8E2; протокол прибора, Modbus RTU, Modbus ASCII, кадр «%»";
  const std::string garbled = "Ответы прибора не читаются (ошибка контрольной суммы, чужие или искаженные посылки): ";
  struct Case {
    Fault fault;
    std::string reason;
  } cases[] = {
      {Fault::Silence, "Прибор не отвечает: " + tried + "."},
      {Fault::BadCrc, garbled + tried + ". Проверьте скорость и формат кадра."},
      {Fault::ForeignHash, garbled + tried + ". Проверьте скорость и формат кадра."},
      {Fault::Garbage, garbled + tried + ". Проверьте скорость и формат кадра."},
      {Fault::LineError, garbled + tried + ". Проверьте скорость и формат кадра."},
      // A converter that gives every request back, in every framing, with no module
      // behind it: the copy of a switch-back request is its echo, not an answer.
      {Fault::Raw, "Линия возвращает программе её же запросы (эхо преобразователя интерфейса), ответа прибора нет: " +
                       tried + ". Проверьте преобразователь (отключите эхо) и настройки связи."},
  };
  for (const Case& c : cases) {
    port_->handler = [&](const FakePort::Request& r) {
      return c.fault == Fault::Raw ? FakePort::Answer(Fault::Raw, {}, 0, r.raw) : FakePort::Answer(c.fault);
    };
    EXPECT_FALSE(device_->EstablishLink());
    const exchange::ConnectAttempt attempt = device_->LastAttempt();
    EXPECT_TRUE(attempt.failed);
    EXPECT_EQ(exchange::ConnectFailureReason({attempt}), c.reason) << static_cast<int>(c.fault);
  }

  // A module of no known model is named.
  port_->handler = nullptr;
  Module("ZD999");
  EXPECT_FALSE(device_->EstablishLink());
  EXPECT_EQ(exchange::ConnectFailureReason({device_->LastAttempt()}),
            "Прибор ответил, но его тип \"ZD999\" программе не известен: " + tried + ".");

  // The link-check message says it too, for its own frames only.
  port_->handler = [](const FakePort::Request&) { return FakePort::Answer(Fault::Silence); };
  prompter_.requests.clear();
  EXPECT_EQ(device_->IdentifyDevice(true), 0);
  ASSERT_EQ(prompter_.requests.size(), 1u);
  EXPECT_NE(prompter_.requests[0].text.find("Прибор не отвечает: адрес 17, 19200 бит/с, 8E2; протокол прибора.\n"),
            std::string::npos)
      << prompter_.requests[0].text;

  // A module that is found leaves nothing to explain; a new port starts afresh.
  port_->handler = nullptr;
  Module("ZD580-03");
  EXPECT_TRUE(device_->EstablishLink());
  EXPECT_FALSE(device_->LastAttempt().failed);
  EXPECT_EQ(device_->OpenPort(false), 0);
  EXPECT_FALSE(device_->LastAttempt().failed);
  EXPECT_EQ(device_->LastAttempt().tally.answered, 0);
}

TEST_F(DeviceConnectTest, ModuleLeftInModbusRtuIsFoundAfterTheSwitchBack) {
  bool own = false;
  port_->handler = [&](const FakePort::Request& r) {
    if (!own && exchange::ProtocolSelector() == exchange::kSelectorModbusRtu) {
      own = true;
      return FakePort::Answer(Fault::Raw, {}, 0, r.raw);  // a write of one coil is echoed
    }
    if (own && r.decoded && r.hash == Hash("dev")) return FakePort::Answer(Fault::None, TextBytes("zd580-08"));
    if (own && r.decoded && r.hash == Hash("ver")) return FakePort::Answer(Fault::None, TextBytes("1.5"));
    return FakePort::Answer(Fault::Silence);
  };
  EXPECT_TRUE(device_->EstablishLink());
  EXPECT_EQ(App().modelIndex.load(), 7);

  std::vector<Sent> expected;
  AppendFailedPair(expected);
  expected.push_back({"switch 1", 1});
  expected.push_back({"dev", 1});
  expected.push_back({"ver", 1});
  EXPECT_EQ(SentRequests(), expected);
  EXPECT_EQ(App().resultFlags.load() & (exchange::kResultExchangeError | exchange::kResultConnectFailed), 0u);
  EXPECT_EQ(exchange::ProtocolSelector(), exchange::kSelectorOwnFrame);
}

TEST_F(DeviceConnectTest, AnAddressTheFramesCannotCarryGoesOutInNoFraming) {
  // 300 with 8-bit addresses: its low byte, 44, is another module in every framing;
  // 255 reaches every module, and so does 0 in the Modbus framings; a held text
  // that is no address is no address 0.
  struct Case {
    const char* address;
    std::vector<std::string> framings;  // what went out, in order, once each
  } cases[] = {
      {"300", {}}, {"255", {}}, {"-1", {}}, {"0x100", {}}, {"16.0", {}}, {"", {}},
      {"0", {"dev", "ver", "dev", "ver", "switch 3", "dev", "ver", "dev", "ver"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    port_->requests.clear();
    modes_.clear();
    selectors_.clear();
    device_->Settings().SetParameterValue("Addr", c.address);
    device_->ApplyPortSettings();
    port_->handler = [&](const FakePort::Request&) { return FakePort::Answer(Fault::Silence); };
    EXPECT_FALSE(device_->EstablishLink());
    std::vector<std::string> framings;
    for (const Sent& sent : SentRequests())
      if (framings.empty() || framings.back() != sent.what) framings.push_back(sent.what);
    EXPECT_EQ(framings, c.framings);
    for (const FakePort::Request& r : port_->requests)
      EXPECT_TRUE(!r.decoded || r.addressByte == 0);
    EXPECT_EQ(App().modelIndex.load(), -1);
  }
}

TEST_F(DeviceConnectTest, AfterASwitchBackOnlyOneMorePairOfIdentifications) {
  port_->handler = [&](const FakePort::Request& r) {
    if (exchange::ProtocolSelector() == exchange::kSelectorModbusAscii) return FakePort::Answer(Fault::Raw, {}, 0, r.raw);
    return FakePort::Answer(Fault::Silence);
  };
  EXPECT_FALSE(device_->EstablishLink());
  std::vector<Sent> expected;
  AppendFailedPair(expected);
  for (int mode : {1, 1, 0, 0}) expected.push_back({"switch 1", mode});
  expected.push_back({"switch 2", 1});
  AppendFailedPair(expected);
  EXPECT_EQ(SentRequests(), expected);
}

TEST_F(DeviceConnectTest, UnknownDeviceKeepsTheConverterModeAndLeavesFlag64) {
  Module("ZX999");
  port_->handler = [&](const FakePort::Request& r) {
    if (!r.decoded) return FakePort::Answer(Fault::Silence);
    return FakePort::Answer(Fault::None, port_->values[{r.hash, 0}]);
  };
  EXPECT_FALSE(device_->EstablishLink());
  EXPECT_EQ(App().resultFlags.load(), exchange::kResultConnectFailed);
  EXPECT_EQ(App().modelIndex.load(), -1);
  const auto sent = SentRequests();
  ASSERT_EQ(sent.size(), 2u + 2u + 12u + 2u + 2u);
  // Both identifications of a pass in converter mode 1.
  EXPECT_EQ(sent[0], (Sent{"dev", 1}));
  EXPECT_EQ(sent[3], (Sent{"ver", 1}));
}

TEST_F(DeviceConnectTest, IdentificationMatchesWithoutRegardToCaseAndReadsTheVersion) {
  Module("Zd580-03", "2.14");
  EXPECT_EQ(device_->OpenPort(false), 0);
  EXPECT_EQ(device_->IdentifyDevice(true), 3);
  EXPECT_EQ(App().modelIndex.load(), 2);
  EXPECT_EQ(App().firmwareMajor.load(), 2);
  EXPECT_EQ(App().firmwareMinor.load(), 14);
  ASSERT_EQ(prompter_.requests.size(), 1u);
  EXPECT_EQ(prompter_.requests[0].text, "Прибор: Zd580-03\nВерсия ПО: 2.14\n");
  EXPECT_EQ(prompter_.requests[0].icon, platform::MessageIcon::Information);

  // The pieces are C's "%i": a leading zero is octal; a missing piece is -1.
  Module("ZD580-01", "3.010");
  EXPECT_EQ(device_->IdentifyDevice(false), 3);
  EXPECT_EQ(App().firmwareMajor.load(), 3);
  EXPECT_EQ(App().firmwareMinor.load(), 8);
  Module("ZD580-01", "7");
  device_->IdentifyDevice(false);
  EXPECT_EQ(App().firmwareMajor.load(), 7);
  EXPECT_EQ(App().firmwareMinor.load(), -1);
  // An empty piece is missing too: it does not shift the next one forward.
  Module("ZD580-01", ".5");
  device_->IdentifyDevice(false);
  EXPECT_EQ(App().firmwareMajor.load(), -1);
  EXPECT_EQ(App().firmwareMinor.load(), 5);

  // "ver" unreadable: the version is unknown, and the error is shown.
  port_->values.erase({Hash("ver"), 0});
  prompter_.requests.clear();
  EXPECT_EQ(device_->IdentifyDevice(true), 3);
  EXPECT_EQ(App().firmwareMajor.load(), -1);
  ASSERT_EQ(prompter_.requests.size(), 2u);
  EXPECT_EQ(prompter_.requests[0].text, "Ошибка параметра 'ver':\n" + LoadString(kStrDeviceErrorNoDescriptor) + "\n");
  EXPECT_EQ(prompter_.requests[0].icon, platform::MessageIcon::Error);
}

TEST_F(DeviceConnectTest, TheVariantModelReadsTdev) {
  Module("zd580-14");
  port_->values[{Hash("tdev"), 0}] = {1};
  EXPECT_EQ(device_->OpenPort(false), 0);
  EXPECT_EQ(device_->IdentifyDevice(false), 3);
  EXPECT_EQ(App().modelIndex.load(), 14);

  // "tdev" unreadable: the first variant.
  port_->values.erase({Hash("tdev"), 0});
  EXPECT_EQ(device_->IdentifyDevice(false), 3);
  EXPECT_EQ(App().modelIndex.load(), 13);

  // "dev" unreadable: nothing recognised, the model index stays.
  port_->values.clear();
  prompter_.requests.clear();
  EXPECT_EQ(device_->IdentifyDevice(true), 0);
  EXPECT_EQ(App().modelIndex.load(), 13);
  ASSERT_EQ(prompter_.requests.size(), 1u);
  EXPECT_TRUE(prompter_.requests[0].text.starts_with("Ошибка параметра 'dev': \n")) << prompter_.requests[0].text;
}

TEST_F(DeviceConnectTest, AnAbortedLinkSendsNothing) {
  Module("ZD580-01");
  device_->AbortEvent().Set();
  EXPECT_FALSE(device_->EstablishLink());
  EXPECT_EQ(device_->IdentifyDevice(false), 0);
  EXPECT_TRUE(port_->requests.empty());

  // An abort during the search ends it at the next step.
  device_->AbortEvent().Reset();
  port_->handler = [&](const FakePort::Request&) {
    device_->AbortEvent().Set();
    return FakePort::Answer(Fault::Silence);
  };
  EXPECT_FALSE(device_->EstablishLink());
  EXPECT_EQ(port_->requests.size(), 2u);  // the first "dev" with its retry
  EXPECT_EQ(exchange::ProtocolSelector(), exchange::kSelectorOwnFrame);

  // A run that ends stops the link for good: no stop of its threads, no abort
  // reset and no later link undoes it.
  port_->handler = {};
  port_->requests.clear();
  device_->AbortEvent().Reset();
  StopLinkForExit();
  device_->StopThreads();
  device_->AbortEvent().Reset();
  EXPECT_FALSE(device_->EstablishLink());
  Parameter dev("dev");
  EXPECT_NE(device_->ExchangeParameter(1, &dev, nullptr, false), 0);
  EXPECT_TRUE(port_->requests.empty());
  EXPECT_TRUE(Device().StoppedForExit());
}

TEST_F(DeviceConnectTest, OpenPortFailureSetsFlag2AndTellsOnce) {
  port_->openResult = -1;
  device_->Settings().SetParameterValue("Port", "COM7");
  EXPECT_EQ(device_->OpenPort(true), -1);
  EXPECT_EQ(App().resultFlags.load(), exchange::kResultPortOpenFailed);
  ASSERT_EQ(prompter_.requests.size(), 1u);
  EXPECT_EQ(prompter_.requests[0].text, platform::Format(LoadString(kStrCannotOpenPort).c_str(), "COM7"));
  EXPECT_EQ(prompter_.requests[0].caption, LoadString(kStrPortDriverCaption));
  EXPECT_FALSE(prompter_.requests[0].ownedByMainWindow);

  EXPECT_EQ(device_->OpenPort(false), -1);
  App().batchRun = true;
  EXPECT_EQ(device_->OpenPort(true), -1);
  EXPECT_EQ(prompter_.requests.size(), 1u);
  // EstablishLink gives up at once when the port does not open.
  EXPECT_FALSE(device_->EstablishLink());
  EXPECT_TRUE(port_->requests.empty());

  port_->openResult = 0;
  EXPECT_EQ(device_->OpenPort(true), 0);
  EXPECT_EQ(App().resultFlags.load() & exchange::kResultPortOpenFailed, 0u);
  EXPECT_TRUE(port_->IsOpen());

  // A silent run never opens the port.
  App().silent = true;
  EXPECT_EQ(device_->OpenPort(true), -1);
  EXPECT_FALSE(port_->IsOpen());
}

// A port that notes when it is closed or opened while a frame is under way.
struct WatchedPort : FakePort {
  std::atomic<bool> busy{false};
  std::atomic<bool> changedWhileBusy{false};
  int Open() override {
    if (busy) changedWhileBusy = true;
    return FakePort::Open();
  }
  int Close() override {
    if (busy) changedWhileBusy = true;
    return FakePort::Close();
  }
  int Transact(const uint8_t* request, int length, uint8_t reply[kReplySize], int& replyCount) override {
    busy = true;
    const int result = FakePort::Transact(request, length, reply, replyCount);
    busy = false;
    return result;
  }
};

TEST_F(DeviceConnectTest, ReopeningWaitsForTheFrameOfAnotherThread) {
  auto owned = std::make_unique<WatchedPort>();
  WatchedPort* port = owned.get();
  device_->ReplacePort(std::move(owned));
  std::atomic<bool> entered{false}, release{false};
  port->handler = [&](const FakePort::Request&) {
    entered = true;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!release && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return FakePort::Answer(Fault::None, {1});
  };

  // A frame of another thread (a calibration dialog's, say) is under way...
  std::thread frame([&] {
    uint8_t data[exchange::kMaxDataLength];
    uint8_t length = 0;
    std::string error;
    device_->TransactFrame(1, Hash("rEAd"), nullptr, 0, data, length, error, 0, {});
  });
  while (!entered) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  // ...when the link reopens the port: the port is closed and opened after it.
  std::thread reopen([&] { device_->OpenPort(false); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  release = true;
  frame.join();
  reopen.join();
  EXPECT_FALSE(port->changedWhileBusy);
  EXPECT_TRUE(port->IsOpen());
}

}  // namespace
