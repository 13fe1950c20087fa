#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "LinkTestSupport.h"
#include "link/NetRS485prg.h"
#include "link/WriteGate.h"
#include "platform/Prompter.h"
#include "platform/Registry.h"
#include "resources/StringTable.h"
#include "support/ReadFile.h"

namespace {

class NetRS485Test : public LinkTestBase {};

TEST_F(NetRS485Test, ModuleSettingsStartAtTheirInitialValues) {
  Elements::NetRS485 net;
  net.InitParameters();
  ASSERT_EQ(net.parameters.size(), 6u);
  const char* names[] = {"bPS", "LEn", "PrtY", "Sbit", "A.Len", "Addr"};
  const char* values[] = {"9600", "8", "Отсутствует", "1", "8", "16"};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(net.parameters[i]->name, names[i]);
    EXPECT_EQ(net.parameters[i]->value, values[i]);
  }
  EXPECT_EQ(net.parameters[2]->type, "Отсутствует:Четность:Нечетность");
  EXPECT_EQ(net.GetTitle(), "Сетевые параметры прибора (Сеть RS-485)");
}

TEST_F(NetRS485Test, FirstStartDefaultsThenStoredValuesSurviveARestart) {
  {
    Elements::NetRS485prg prg;
    prg.InitParameters();
    EXPECT_EQ(prg.GetParameterValue("Port"), "COM1");
    EXPECT_EQ(prg.GetParameterValue("bPS"), "9600");
    EXPECT_EQ(prg.GetParameterValue("LEn"), "8");
    EXPECT_EQ(prg.GetParameterValue("PrtY"), "Отсутствует");
    EXPECT_EQ(prg.GetParameterValue("Sbit"), "1");
    EXPECT_EQ(prg.GetParameterValue("Addr"), "16");
    EXPECT_EQ(prg.GetParameterValue("A.Len"), "8");
    EXPECT_EQ(prg.GetChangeState(), 0);
    prg.SetParameterValue("Port", "COM4");
    prg.SetParameterValue("bPS", "115200");
    prg.SetParameterValue("PrtY", "Нечетность");
    prg.SetParameterValue("Addr", "200");
  }
  uint32_t stored = 0;
  EXPECT_TRUE(ReadProgramDword("port_number", stored, 0));
  EXPECT_EQ(stored, 4u);
  EXPECT_TRUE(ReadProgramDword("parity_scheme", stored, 0));
  EXPECT_EQ(stored, 4u);
  EXPECT_TRUE(ReadProgramDword("baud_rate", stored, 0));
  EXPECT_EQ(stored, 115200u);
  {
    Elements::NetRS485prg prg;
    prg.InitParameters();
    EXPECT_EQ(prg.GetParameterValue("Port"), "COM4");
    EXPECT_EQ(prg.GetParameterValue("PrtY"), "Нечетность");
    EXPECT_EQ(prg.GetParameterValue("Addr"), "200");
    // A device path is kept beside the number, which stays as it was.
    prg.SetParameterValue("Port", "/dev/ttyUSB0");
  }
  EXPECT_TRUE(ReadProgramDword("port_number", stored, 0));
  EXPECT_EQ(stored, 4u);
  {
    Elements::NetRS485prg prg;
    prg.InitParameters();
    EXPECT_EQ(prg.GetParameterValue("Port"), "/dev/ttyUSB0");
    prg.SetParameterValue("Port", "COM2");
  }
  Elements::NetRS485prg prg;
  prg.InitParameters();
  EXPECT_EQ(prg.GetParameterValue("Port"), "COM2");
}

TEST_F(NetRS485Test, StoredParityNumbersAndAnElementNeverSetUp) {
  WriteProgramDword("parity_scheme", 1);
  {
    Elements::NetRS485prg prg;
    prg.InitParameters();
    EXPECT_EQ(prg.GetParameterValue("PrtY"), "Четность");
  }
  WriteProgramDword("parity_scheme", 7);
  {
    Elements::NetRS485prg prg;
    prg.InitParameters();
    EXPECT_EQ(prg.GetParameterValue("PrtY"), "<неверное значение>");
  }
  // Nothing is written for a parity that is no item.
  uint32_t stored = 0;
  ReadProgramDword("parity_scheme", stored, 0);
  EXPECT_EQ(stored, 7u);

  // An element whose parameters were never set up writes nothing (not address 0).
  WriteProgramDword("address", 33);
  { Elements::NetRS485prg idle; }
  ReadProgramDword("address", stored, 0);
  EXPECT_EQ(stored, 33u);
}

TEST_F(NetRS485Test, AddressChecks) {
  Elements::NetRS485 net;
  net.InitParameters();
  EXPECT_FALSE(net.CheckAddressSettings("addr", "300"));  // 8-bit addresses
  EXPECT_TRUE(net.CheckAddressSettings("ADDR", "254"));
  EXPECT_FALSE(net.CheckAddressSettings("ADDR", "255"));  // the broadcast: no single module has it
  net.SetParameterValue("A.Len", "11");
  EXPECT_TRUE(net.CheckAddressSettings("Addr", "300"));
  TestModel model;
  model.maxAddress = 299;
  model::SetCurrentDeviceModel(&model);
  EXPECT_FALSE(net.CheckAddressSettings("Addr", "300"));
  model::SetCurrentDeviceModel(nullptr);

  net.SetParameterValue("Addr", "300");
  EXPECT_FALSE(net.CheckAddressSettings("A.Len", "8"));
  EXPECT_TRUE(net.CheckAddressSettings("a.len", "11"));

  // A protocol other than the first carries only addresses up to 255.
  auto prot = std::make_unique<Parameter>("Prot");
  prot->type = "ТЕВИ:Modbus";
  prot->value = "Modbus";
  net.AddParameter(std::move(prot));
  EXPECT_FALSE(net.CheckAddressSettings("prot", "ТЕВИ"));
  EXPECT_FALSE(net.CheckAddressSettings("Addr", "256"));
  EXPECT_TRUE(net.CheckAddressSettings("Addr", "254"));
  EXPECT_FALSE(exchange::CheckWrite(exchange::WriteTaskOf(*net.GetParameterByName("Addr"), "256", &net)).empty());
  net.SetParameterValue("Prot", "ТЕВИ");
  EXPECT_TRUE(exchange::CheckWrite(exchange::WriteTaskOf(*net.GetParameterByName("Addr"), "256", &net)).empty());
  EXPECT_TRUE(net.CheckAddressSettings("prot", "Modbus"));
  EXPECT_TRUE(net.CheckAddressSettings("bPS", "anything"));
}

TEST_F(NetRS485Test, AnAddressMustFitTheAddressBits) {
  struct Case {
    const char* length;  // held "A.Len"
    const char* held;    // held "Addr"
    const char* name;    // the edited setting
    const char* text;
    bool taken;
  } cases[] = {
      {"8", "16", "Addr", "254", true},     {"8", "16", "Addr", "256", false},
      {"8", "16", "Addr", "255", false},    {"11", "16", "Addr", "255", false},
      {"8", "16", "Addr", "0x10", true},    {"8", "16", "Addr", "0x100", false},
      {"8", "0x100", "A.Len", "8", false},
      {"8", "16", "Addr", "-1", false},     {"8", "16", "Addr", "0", true},
      {"11", "16", "Addr", "2047", true},   {"11", "16", "Addr", "2048", false},
      {"11", "16", "Addr", "-5", false},    {"11", "2047", "A.Len", "11", true},
      {"8", "3000", "A.Len", "11", false},  {"11", "300", "A.Len", "8", false},
      {"Нет данных", "16", "Addr", "300", false},
  };
  for (const Case& c : cases) {
    Elements::NetRS485 net;
    net.InitParameters();
    net.SetParameterValue("A.Len", ValueText::OfStoredText(c.length));
    net.SetParameterValue("Addr", ValueText::OfStoredText(c.held));
    EXPECT_EQ(net.CheckAddressSettings(c.name, c.text), c.taken) << c.length << " " << c.held << " " << c.name << " "
                                                                 << c.text;
    // The write gate judges a write of the setting alike.
    const exchange::WriteTask write = exchange::WriteTaskOf(*net.GetParameterByName(c.name), c.text, &net);
    EXPECT_EQ(exchange::CheckWrite(write).empty(), c.taken) << c.length << " " << c.held << " " << c.name << " " << c.text;
  }
}

TEST_F(NetRS485Test, FrameChecksAndTheRefusalMessage) {
  Elements::NetRS485 net;
  net.InitParameters();
  net.SetParameterValue("Sbit", "1");
  EXPECT_FALSE(net.CheckFrameSettings("LEn", "7"));  // no parity, 7 bits, 1 stop bit
  net.SetParameterValue("PrtY", "Четность");
  EXPECT_TRUE(net.CheckFrameSettings("LEn", "7"));
  EXPECT_FALSE(net.CheckFrameSettings("Sbit", "2"));  // parity, 8 bits, 2 stop bits
  EXPECT_TRUE(net.CheckFrameSettings("prty", "Нечетность"));
  net.SetParameterValue("Sbit", "2");
  EXPECT_FALSE(net.CheckFrameSettings("PRTY", "Нечетность"));
  EXPECT_TRUE(net.CheckFrameSettings("PrtY", "Отсутствует"));
  EXPECT_TRUE(net.CheckFrameSettings("Addr", "7"));

  platform::CollectingPrompter prompter;
  EXPECT_TRUE(net.CheckEditedSetting("PrtY", "Отсутствует"));
  EXPECT_TRUE(prompter.requests.empty());
  EXPECT_FALSE(net.CheckEditedSetting("PrtY", "Четность"));
  EXPECT_FALSE(net.CheckEditedSetting("Addr", "256"));
  ASSERT_EQ(prompter.requests.size(), 2u);
  EXPECT_EQ(prompter.requests[0].text, resources::LoadString(kStrForbiddenCombination));
  EXPECT_EQ(prompter.requests[0].icon, platform::MessageIcon::Error);
  EXPECT_NE(prompter.requests[0].text.find("отличных от \"ТЕВИ\""), std::string::npos);
}

TEST_F(NetRS485Test, NetworkParametersOfTheBaseModel) {
  model::DeviceModelHooks base;
  for (const char* name : {"bps", "LEN", "PrtY", "sbit", "a.len", "ADDR"}) EXPECT_TRUE(base.IsNetworkParameter(name)) << name;
  EXPECT_FALSE(base.IsNetworkParameter("Port"));
  EXPECT_FALSE(base.IsNetworkParameter("Addr2"));
}

TEST_F(NetRS485Test, ErrorLogLinesAreAppendedToAnExistingFileOnly) {
  const std::string path = root_ + "/errors.log";
  EXPECT_FALSE(App().AppendErrorLogLine("no file named"));
  App().SetErrorLogPath(path);
  EXPECT_FALSE(App().AppendErrorLogLine("Addr - timeout"));
  std::ofstream(path) << "first\n";
  EXPECT_TRUE(App().AppendErrorLogLine("Addr:3 - Таймаут"));
  EXPECT_EQ(testsupport::ReadFile(path), "first\nAddr:3 - Таймаут\n");
}

}  // namespace
