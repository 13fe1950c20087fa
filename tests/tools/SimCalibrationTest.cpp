// The simulated module's side of the calibration commands and their scripted
// faults, asked with raw frames.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "SimTestPort.h"
#include "Simulator.h"

using namespace z580sim;
using simtest::TestPort;

namespace {

struct CalibrationModule {
  explicit CalibrationModule(int model) {
    const char* build = std::getenv("Z580_BUILD_DIR");
    SimConfig c;
    c.model = model;
    ParameterTable table;
    std::string error;
    EXPECT_TRUE(LoadTableFromDescriptionPath(model, std::string(build ? build : "") + "/app/ui/zt580.dat", table, &error))
        << error;
    sim = std::make_unique<Simulator>(c, std::move(table));
    EXPECT_TRUE(sim->Start(&error)) << error;
    port = std::make_unique<TestPort>(sim->SlavePath());
  }
  // The reply's data; empty when silent.
  Bytes Ask(bool read, const std::string& name, Bytes data = {}) {
    Frame f;
    f.address = 16;
    f.read = read;
    f.hash = NameHash(name);
    f.data = std::move(data);
    const std::string text = port->Transact(EncodeFrame(f, 8), 300);
    Frame reply;
    if (text.size() < 2 || DecodeFrame(std::string_view(text).substr(1, text.size() - 2), 8, reply) != DecodeStatus::Ok)
      return {};
    return reply.data;
  }
  void Command(const std::string& command) {
    std::string error;
    ASSERT_TRUE(ApplyFaultCommand(*sim, command, &error)) << error;
  }
  std::unique_ptr<Simulator> sim;
  std::unique_ptr<TestPort> port;
};

TEST(SimCalibration, AnalogInputTaskWithItsFaults) {
  CalibrationModule m(0);
  ASSERT_NO_FATAL_FAILURE(m.Command("clbs-busy 2"));
  EXPECT_EQ(m.Ask(false, "CLB.I", {1}), (Bytes{0x01, 0}));
  EXPECT_EQ(m.Ask(true, "CLB.S"), (Bytes{0x01, 0}));
  EXPECT_EQ(m.Ask(true, "CLB.S"), (Bytes{0x01, 0}));
  EXPECT_EQ(m.Ask(true, "CLB.S"), (Bytes{0x80, 0}));
  EXPECT_EQ(m.Ask(true, "CLB.T"), (Bytes{0, 0x80, 0}));
  EXPECT_EQ(m.Ask(true, "CLB.G", {2}), (Bytes{2, 0x3F, 0xA0, 0, 0}));  // 1.25
  ASSERT_NO_FATAL_FAILURE(m.Command("clbg-size 3"));
  EXPECT_EQ(m.Ask(true, "CLB.G", {1}).size(), 3u);
  ASSERT_NO_FATAL_FAILURE(m.Command("clbp-status 13 1"));
  EXPECT_EQ(m.Ask(false, "CLB.P"), (Bytes{0x80, 13}));
  EXPECT_EQ(m.Ask(false, "CLB.P"), (Bytes{0x80, 0}));
  ASSERT_NO_FATAL_FAILURE(m.Command("clbp-silent"));
  EXPECT_EQ(m.Ask(false, "CLB.P"), Bytes{});
  EXPECT_EQ(m.Ask(false, "CLB.A"), (Bytes{0, 0}));

  ASSERT_NO_FATAL_FAILURE(m.Command("clbs-busy never"));
  ASSERT_NO_FATAL_FAILURE(m.Command("clb-status 9"));
  m.Ask(false, "CLB.I", {3});
  for (int i = 0; i < 15; ++i) ASSERT_EQ(m.Ask(true, "CLB.S"), (Bytes{0x01, 0}));
  ASSERT_NO_FATAL_FAILURE(m.Command("clear"));
  m.Ask(false, "CLB.I", {3});
  m.Ask(true, "CLB.S");
  EXPECT_EQ(m.Ask(true, "CLB.S"), (Bytes{0x80, 0}));
}

TEST(SimCalibration, CommonStepsAnswerBusyThenTheResult) {
  CalibrationModule m(7);
  ASSERT_NO_FATAL_FAILURE(m.Command("jurd-busy 2"));
  ASSERT_NO_FATAL_FAILURE(m.Command("jurd 3"));
  m.Ask(false, "JuSh", {0});
  EXPECT_EQ(m.Ask(true, "JuRD"), (Bytes{0, 6, 0, 0, 0}));
  EXPECT_EQ(m.Ask(true, "JuRD"), (Bytes{0, 6, 0, 0, 0}));
  EXPECT_EQ(m.Ask(true, "JuRD"), (Bytes{0, 3, 0, 0, 0}));
}

TEST(SimCalibration, OutputPointsAndTareWeight) {
  CalibrationModule outputs(2);
  EXPECT_EQ(outputs.Ask(true, "CLB.K", {0, 11}), (Bytes{0x08, 0x00, 0, 11}));
  EXPECT_EQ(outputs.Ask(false, "CLB.K", {0x0F, 0xFF, 0, 11}), (Bytes{0x0F, 0xFF, 0, 11}));
  ASSERT_NO_FATAL_FAILURE(outputs.Command("locked CLB.K"));
  bool editable = true, maker = false;
  ASSERT_TRUE(outputs.sim->GetAttributes("CLB.K", editable, maker));
  EXPECT_FALSE(editable);

  CalibrationModule scale(14);
  ASSERT_NO_FATAL_FAILURE(scale.Command("weight 2 12.5"));
  scale.Ask(false, "U.Wgh", {0, 2});
  Bytes tare;
  ASSERT_TRUE(scale.sim->GetValue("p.wgh", 2, tare));
  EXPECT_EQ(tare, (Bytes{0x41, 0x48, 0, 0}));
}

}  // namespace
