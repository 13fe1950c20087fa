// The models' own exchanges through the real link on the in-process fake port:
// the frames of the "S.Def" reset and of the power model's step values.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "devices/CDevicePW.h"
#include "devices/CreateDeviceModel.h"
#include "link/AppState.h"
#include "link/Device.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"
#include "support/FakeDeviceDocument.h"
#include "support/FakePort.h"
#include "support/ScopedConfigDir.h"

namespace {

using Answer = FakePort::Answer;
using Fault = FakePort::Fault;

class ModelsOnTheLink : public ::testing::Test {
 protected:
  ModelsOnTheLink() : config_("z580-models") {
    App().Reset();
    auto port = std::make_unique<FakePort>();
    port_ = port.get();
    device_->ReplacePort(std::move(port));
    port_->moduleAddress = 1;
    doc_.link = device_.get();
    doc_.tree = &tree_;
  }
  ~ModelsOnTheLink() override {
    model::SetCurrentDeviceModel(nullptr);
    device_.reset();
    App().Reset();
  }

  std::unique_ptr<BaseDevice::CBaseDevice> Current(int index) {
    auto m = CreateDeviceModel(static_cast<signed char>(index), &doc_);
    model::SetCurrentDeviceModel(m.get());
    return m;
  }

  std::vector<FakePort::Request> RequestsFor(const char* name) const {
    std::vector<FakePort::Request> out;
    for (const auto& r : port_->requests)
      if (r.decoded && r.hash == Parameter::HashOfName(name)) out.push_back(r);
    return out;
  }

  ScopedConfigDir config_;
  std::unique_ptr<Device> device_ = std::make_unique<Device>();
  FakePort* port_ = nullptr;
  DescBranch tree_;
  FakeDeviceDocument doc_;
  platform::CollectingPrompter prompter_;
};

TEST_F(ModelsOnTheLink, ResetAsksFirstAndNoSendsNothing) {
  // Every model that resets with "S.Def" asks question 173 first, as the others do.
  for (int index : {12, 13, 14, 18}) {
    port_->requests.clear();
    prompter_.requests.clear();
    prompter_.answer = platform::kAnswerNo;
    Current(index)->ResetToDefaults();
    EXPECT_TRUE(port_->requests.empty()) << index;
    ASSERT_EQ(prompter_.requests.size(), 1u) << index;
    EXPECT_EQ(prompter_.requests[0].text, resources::LoadString(kStrResetQuestion));
    EXPECT_EQ(prompter_.requests[0].icon, platform::MessageIcon::Warning);
    EXPECT_EQ(prompter_.requests[0].buttons, platform::MessageButtons::YesNo);

    // Yes: the one-channel models send one frame without index.
    prompter_.answer = platform::kAnswerYes;
    Current(index)->ResetToDefaults();
    ASSERT_EQ(RequestsFor("S.Def").size(), index == 14 ? 4u : 1u) << index;
    if (index != 14) {
      EXPECT_TRUE(RequestsFor("S.Def")[0].data.empty());
    }
  }
}

TEST_F(ModelsOnTheLink, ResetByChannelStopsAtTheFirstDeviceError) {
  // Channel 0 resets with an answer that does not decode (a success for this
  // command only), channel 1 refuses.
  int answered = 0;
  port_->handler = [&](const FakePort::Request&) {
    return ++answered == 1 ? Answer(Fault::None, {0x7F, 0x00, 0x00}) : Answer(Fault::DeviceError, {}, 2);
  };
  prompter_.answer = platform::kAnswerYes;
  auto m = Current(14);
  m->ResetToDefaults();
  auto frames = RequestsFor("S.Def");
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_FALSE(frames[0].read);
  EXPECT_EQ(frames[0].data, (std::vector<uint8_t>{0x00, 0x00}));  // no value, the channel index
  EXPECT_EQ(frames[1].data, (std::vector<uint8_t>{0x00, 0x01}));
  ASSERT_EQ(prompter_.requests.size(), 2u);  // the question, then the failure
  const platform::MessageRequest failure = prompter_.requests[1];
  EXPECT_EQ(failure.caption, "Ошибка сброса параметров");
  EXPECT_EQ(failure.icon, platform::MessageIcon::Warning);
  EXPECT_TRUE(failure.ownedByMainWindow);
  EXPECT_FALSE(failure.text.empty());
  EXPECT_NE(failure.text, "Не могу раскодировать ответ");

  // All four channels reset: the read-back question follows.
  port_->requests.clear();
  prompter_.requests.clear();
  // Each reply echoes its channel's index, as the module's do.
  port_->handler = [](const FakePort::Request& r) { return Answer(Fault::None, r.data); };
  m->ResetToDefaults();
  frames = RequestsFor("S.Def");
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(frames[3].data, (std::vector<uint8_t>{0x00, 0x03}));
  ASSERT_EQ(prompter_.requests.size(), 2u);
  EXPECT_EQ(prompter_.requests[1].text.rfind("Параметры в приборе были успешно сброшены", 0), 0u);
  EXPECT_EQ(prompter_.requests[1].icon, platform::MessageIcon::Information);
}

TEST_F(ModelsOnTheLink, PowerModelReadsItsStepValuesOnce) {
  for (const char* name : {"uk.hi", "ik.hi", "uk.lo", "ik.lo"}) {
    auto& child = *tree_.children.emplace_back(std::make_unique<DescBranch>(name, 1, 0, 0, 0));
    Parameter& p = child.AddParameter(std::make_unique<Parameter>(name));
    p.type = "int";
    // The others were never read. (A moved string: GCC 12 misreads a literal
    // assigned here as an overlapping copy in optimised builds.)
    if (p.name == "ik.hi") p.value = std::string("5");
  }
  port_->values[{Parameter::HashOfName("uk.hi"), 0}] = {0x01, 0x2C};  // 300
  port_->values[{Parameter::HashOfName("uk.lo"), 0}] = {0x00, 0x1E};  // 30
  port_->values[{Parameter::HashOfName("ik.lo"), 0}] = {0x00, 0x01};
  auto m = Current(20);
  auto& power = dynamic_cast<BaseDevice::CDevicePW&>(*m);
  std::string text;
  for (int round = 0; round < 3; ++round)
    for (int step = 1; step <= 4; ++step) power.GetCalibrationStepText(text, step);
  // One read each of those never read; "ik.hi" had a value.
  EXPECT_EQ(port_->requests.size(), 3u);
  EXPECT_EQ(RequestsFor("uk.hi").size() + RequestsFor("uk.lo").size() + RequestsFor("ik.lo").size(), 3u);

  power.GetCalibrationStepText(text, 1);
  EXPECT_EQ(text.rfind("Для начала", 0), 0u);
  EXPECT_NE(text.find("напряжение 300 В, ток 5 А, cos(fi) = 1;\r\n"), std::string::npos) << text;
  power.GetCalibrationStepText(text, 2);
  EXPECT_EQ(text, "1. Установите напряжение 30 В, ток 1 А, cos(fi) = 1;\r\n2. Нажмите на кнопку \"Далее\".");
  power.GetCalibrationStepText(text, 3);
  EXPECT_NE(text.find("300 В, ток 5 А, cos(fi) = 0.5"), std::string::npos);

  // Without the parameters the text says so.
  tree_.children.clear();
  auto bare = CreateDeviceModel(20, &doc_);
  dynamic_cast<BaseDevice::CDevicePW&>(*bare).GetCalibrationStepText(text, 2);
  EXPECT_NE(text.find("напряжение Нет данных В"), std::string::npos);
}

}  // namespace
