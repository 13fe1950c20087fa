// The simulated module serving a model's parameters as its description defines
// them: loaded through the program's parser from the data file or the texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "SimTestPort.h"
#include "Simulator.h"

using namespace z580sim;
using simtest::TestPort;

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string DataFile() { return Env("Z580_BUILD_DIR") + "/app/ui/zt580.dat"; }
std::string TextDir() { return Env("Z580_SOURCE_DIR") + "/data/descriptions"; }

std::string Request(unsigned address, bool read, const std::string& name, Bytes data = {}) {
  Frame f;
  f.address = address;
  f.read = read;
  f.hash = NameHash(name);
  f.data = std::move(data);
  return EncodeFrame(f, 8);
}

struct Module {
  explicit Module(int model) {
    SimConfig c;
    c.model = model;
    ParameterTable table;
    std::string error;
    loaded = LoadTableFromDescriptionPath(model, DataFile(), table, &error);
    EXPECT_TRUE(loaded) << error;
    sim = std::make_unique<Simulator>(c, std::move(table));
    EXPECT_TRUE(sim->Start(&error)) << error;
    port = std::make_unique<TestPort>(sim->SlavePath());
  }
  // The reply's data, or "n.Err" with its code as {0xEE, code}; empty when silent.
  Bytes Ask(unsigned address, bool read, const std::string& name, Bytes data = {}) {
    const std::string text = port->Transact(Request(address, read, name, std::move(data)), 500);
    Frame f;
    if (text.size() < 2 || text.front() != '#' ||
        DecodeFrame(std::string_view(text).substr(1, text.size() - 2), 8, f) != DecodeStatus::Ok)
      return {};
    if (f.hash == kErrorHash) return {0xEE, f.data.empty() ? uint8_t{0} : f.data[0]};
    EXPECT_EQ(f.hash, NameHash(name));
    return f.data;
  }
  bool loaded = false;
  std::unique_ptr<Simulator> sim;
  std::unique_ptr<TestPort> port;
};

const Bytes kIndexError = {0xEE, 0x35};
const Bytes kReadOnly = {0xEE, 0x03};
const Bytes kNotFound = {0xEE, 0x28};

TEST(SimDescriptionTable, EveryModelLoadsFromTheDataFileAndTheTexts) {
  for (int model = 0; model < kModelCount; ++model) {
    SCOPED_TRACE(model);
    ParameterTable fromFile, fromText;
    std::string error;
    ASSERT_TRUE(LoadTableFromDescriptionPath(model, DataFile(), fromFile, &error)) << error;
    ASSERT_TRUE(LoadTableFromDescriptionPath(model, TextDir(), fromText, &error)) << error;
    ASSERT_EQ(fromFile.Size(), fromText.Size());
    for (size_t i = 0; i < fromFile.Size(); ++i) EXPECT_EQ(fromFile.All()[i].name, fromText.All()[i].name);
    // The identification answers stay the module's own.
    const ParameterSpec* dev = fromFile.Find("dev");
    ASSERT_NE(dev, nullptr);
    EXPECT_EQ(dev->initial, BuiltInTable(model).Find("dev")->initial);
    EXPECT_TRUE(dev->readOnly);
    EXPECT_NE(fromFile.Find("INIT"), nullptr);
    EXPECT_NE(fromFile.Find("APLY"), nullptr);
  }
}

TEST(SimDescriptionTable, ShapesFollowTheTree) {
  ParameterTable t;
  ASSERT_TRUE(LoadTableFromDescriptionPath(0, DataFile(), t));
  const ParameterSpec* sensor = t.Find("in-t");
  ASSERT_NE(sensor, nullptr);
  EXPECT_EQ(sensor->kind, ValueKind::Enum);
  EXPECT_EQ(sensor->indexCount, 8);  // a branch repeated eight times
  EXPECT_TRUE(sensor->hasAttributes);
  const ParameterSpec* reading = t.Find("rEAd");
  ASSERT_NE(reading, nullptr);
  EXPECT_EQ(reading->channels, 8);  // polled: one address per input
  EXPECT_EQ(reading->indexCount, 0);
  EXPECT_TRUE(reading->readOnly);
  EXPECT_FALSE(reading->hasAttributes);  // noattr
  const ParameterSpec* clb = t.Find("CLB.I");  // catalogue only
  ASSERT_NE(clb, nullptr);
  EXPECT_EQ(clb->indexCount, 0);
  EXPECT_EQ(clb->channels, 0);
  ASSERT_NE(t.Find("CJ.C"), nullptr);
  EXPECT_EQ(t.Find("CJ.C")->indexCount, 0);  // in a branch of its own, once
}

TEST(SimDescriptionTable, AnalogInputsAnswerWithInitialValues) {
  Module m(0);
  EXPECT_EQ(m.Ask(16, true, "in.SL", {0, 3}), (Bytes{0x3F, 0x80, 0x00, 0x00, 0, 3}));  // 1.0, index 3
  EXPECT_EQ(m.Ask(16, true, "An.Hi", {0, 7}), (Bytes{0x42, 0xC8, 0x00, 0x00, 0, 7}));  // 100.0
  EXPECT_EQ(m.Ask(16, true, "FiLt", {0, 0}), (Bytes{0x01, 0, 0}));
  EXPECT_EQ(m.Ask(16, true, "in.SL", {0, 8}), kIndexError);
  EXPECT_EQ(m.Ask(16, true, "rEAd"), (Bytes{0, 0, 0, 0, 0, 0}));  // a float and two bytes more
  EXPECT_EQ(m.Ask(23, true, "rEAd"), (Bytes{0, 0, 0, 0, 0, 0}));  // eighth input
  EXPECT_EQ(m.Ask(16, false, "rEAd", {0x3F, 0x80, 0, 0}), kReadOnly);
  EXPECT_EQ(m.Ask(16, false, "ver", {'1'}), kReadOnly);
  EXPECT_EQ(m.Ask(16, true, "POUt", {0, 0}), kNotFound);  // not on this model
  EXPECT_EQ(m.Ask(16, false, "INIT"), Bytes{});
}

TEST(SimDescriptionTable, FourChannelDefaultsCommandTakesTheChannelIndex) {
  // Listed only in the catalogue; the module resets one channel at a time.
  Module m(14);
  EXPECT_EQ(m.Ask(16, false, "S.Def", {0, 0}), (Bytes{0, 0}));
  EXPECT_EQ(m.Ask(16, false, "S.Def", {0, 3}), (Bytes{0, 3}));
  EXPECT_EQ(m.Ask(16, false, "S.Def", {0, 4}), kIndexError);
  Module one(13);
  EXPECT_EQ(one.Ask(16, false, "S.Def"), Bytes{});
}

TEST(SimDescriptionTable, StrainGaugePhAndMainsAnswerWithInitialValues) {
  {
    Module m(13);  // one channel: not indexed
    EXPECT_EQ(m.Ask(16, true, "v.max"), (Bytes{0x44, 0x7A, 0x00, 0x00}));  // 1000.0
    EXPECT_EQ(m.Ask(16, false, "Rd.fV", {0, 0, 0, 0}), kReadOnly);
    EXPECT_EQ(m.Ask(16, true, "tdev"), Bytes{0});
  }
  {
    Module m(14);  // four channels
    EXPECT_EQ(m.Ask(16, true, "v.max", {0, 3}), (Bytes{0x44, 0x7A, 0x00, 0x00, 0, 3}));
    EXPECT_EQ(m.Ask(16, true, "p.wgh", {0, 4}), kIndexError);
    EXPECT_EQ(m.Ask(16, true, "tdev"), Bytes{1});
  }
  {
    Module m(18);
    EXPECT_EQ(m.Ask(16, true, "C.Tem"), (Bytes{0x41, 0xC8, 0x00, 0x00}));  // 25.0
    EXPECT_EQ(m.Ask(16, true, "sen.t"), Bytes{0});                         // pH
    EXPECT_EQ(m.Ask(16, false, "Rd.Rs", {0, 0, 0, 0}), kReadOnly);
  }
  {
    Module m(20);
    EXPECT_EQ(m.Ask(16, true, "uk.hi"), (Bytes{0x43, 0x5C, 0x00, 0x00}));  // 220.0
    EXPECT_EQ(m.Ask(16, true, "Av.t"), Bytes{1});
  }
}

TEST(SimDescriptionTable, NamesAnsweredInTheFirmwaresOwnForm) {
  {
    Module m(7);
    // The calibration result: two bytes of value and three bytes more.
    ASSERT_TRUE(m.sim->SetValue("JuRD", 0, {0x01, 0x00}));
    const Bytes result = m.Ask(16, true, "JuRD");
    ASSERT_EQ(result.size(), 5u);
    EXPECT_EQ(Bytes(result.begin(), result.begin() + 2), (Bytes{0x01, 0x00}));
    // This model's reading: a float and two bytes more; a status is a single byte.
    ASSERT_TRUE(m.sim->SetValue("rEAd", 1, {0x3F, 0x80, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(m.Ask(17, true, "rEAd"), (Bytes{0x3F, 0x80, 0x00, 0x00, 0x00, 0x00}));
    ASSERT_TRUE(m.sim->SetValue("rEAd", 2, {0xFD}));
    EXPECT_EQ(m.Ask(18, true, "rEAd"), Bytes{0xFD});
    // Applying the coefficients: written without data, answered.
    m.Ask(16, false, "UApl");
    ASSERT_FALSE(m.sim->Requests().empty());
    EXPECT_TRUE(m.sim->Requests().back().answered);
    EXPECT_EQ(m.sim->Requests().back().errorCode, -1);
  }
  EXPECT_EQ(Module(12).Ask(16, true, "iRD").size(), 6u);
  EXPECT_EQ(Module(6).Ask(16, true, "rEAd").size(), 4u);  // a plain float on other models
  {
    Module m(18);
    // A float-typed command written without data answers with the value it made.
    ASSERT_TRUE(m.sim->SetValue("U.Apl", 0, {0x3F, 0x80, 0x00, 0x00}));
    EXPECT_EQ(m.Ask(16, false, "U.Apl"), (Bytes{0x3F, 0x80, 0x00, 0x00}));
    EXPECT_EQ(m.Ask(16, false, "U.Apl", {0x40, 0x00, 0x00, 0x00}), (Bytes{0x40, 0x00, 0x00, 0x00}));
  }
}

TEST(SimDescriptionTable, CombinedModuleIndexesItsBranchesAndPollsItsCounters) {
  Module m(11);
  EXPECT_EQ(m.Ask(16, true, "i.dB", {0, 2}), (Bytes{10, 0, 2}));
  EXPECT_EQ(m.Ask(16, true, "Log", {0, 3}), (Bytes{0, 0, 3}));
  EXPECT_EQ(m.Ask(16, true, "Log", {0, 4}), kIndexError);
  EXPECT_EQ(m.Ask(16, false, "CodP", {0}), kReadOnly);
  EXPECT_EQ(m.Ask(19, true, "r.Cou"), Bytes{0});  // fourth counter
  EXPECT_EQ(m.Ask(16, false, "Log", {7, 0, 1}), (Bytes{7, 0, 1}));
  EXPECT_EQ(m.Ask(16, false, "Log", {8, 0, 1}), (Bytes{0xEE, 0x37}));  // eight functions
  Bytes stored;
  ASSERT_TRUE(m.sim->GetValue("Log", 1, stored));
  EXPECT_EQ(stored, Bytes{7});
}

TEST(SimDescriptionTable, PolledChannelsAreTheRequestIndexes) {
  // A scaled branch numbers its four instances 0, 2, 4, 6: the program polls them
  // at those address offsets.
  ParameterTable t;
  std::string error;
  ASSERT_TRUE(LoadTableFromDescription(1,
                                       "parameter a int A\nbranch B 1 2 3 a\nroot R 1 1 1 B\n"
                                       "parameter !rEAd float R noattr\nbranch V*2 4 2 3 !rEAd\n"
                                       "scanners S 1 26 26 V*2\n",
                                       t, &error))
      << error;
  ASSERT_NE(t.Find("rEAd"), nullptr);
  EXPECT_EQ(t.Find("rEAd")->channels, 7);
}

TEST(SimDescriptionTable, TextsThatDoNotLoadLeaveTheTable) {
  ParameterTable t = BuiltInTable(0);
  std::string error;
  EXPECT_FALSE(LoadTableFromDescription(0, "parameter a int A\nbranch B 1 2 3 nosuch\n", t, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(LoadTableFromDescription(0, "parameter a int A\n", t, &error));  // no root
  EXPECT_FALSE(LoadTableFromDescription(0,
                                        "type T x y\nparameter a T A\ninit a many\nbranch B 1 2 3 a\n"
                                        "root R 1 1 1 B\n",
                                        t, &error));
  EXPECT_NE(error.find("many"), std::string::npos) << error;
  EXPECT_FALSE(LoadTableFromDescription(99, "root R 1 1 1\n", t, &error));
  EXPECT_FALSE(LoadTableFromDescriptionPath(0, "/nonexistent/zt580.dat", t, &error));
  EXPECT_NE(t.Find("FiLt"), nullptr);  // still the built-in table
}

}  // namespace
