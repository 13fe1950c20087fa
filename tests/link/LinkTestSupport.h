#pragma once
// Shared set-up of the link's tests: a private configuration folder, the
// application state at its start, no current model and the own frame selected.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "link/AlternateFraming.h"
#include "link/AppState.h"
#include "model/DeviceModelHooks.h"
#include "platform/Prompter.h"
#include "support/ScopedConfigDir.h"

class LinkTestBase : public ::testing::Test {
 protected:
  void SetUp() override {
    config_.emplace("z580-link");
    root_ = config_->Path();
    App().Reset();
    model::SetCurrentDeviceModel(nullptr);
    exchange::SetProtocolSelector(exchange::kSelectorOwnFrame);
  }
  void TearDown() override {
    exchange::SetProtocolSelector(exchange::kSelectorOwnFrame);
    model::SetCurrentDeviceModel(nullptr);
    App().Reset();
    config_.reset();
  }

  std::string root_;

 private:
  std::optional<ScopedConfigDir> config_;
};

// A device model with the link's questions answered as a test wants.
struct TestModel : model::DeviceModelHooks {
  bool repliesToApply = false;
  bool eightBitOnly = false;
  int maxAddress = 100000;
  bool RepliesToApply() const override { return repliesToApply; }
  bool IsEightBitOnlyModel() const override { return eightBitOnly; }
  bool IsValidAddress(int address, const std::string&) const override { return address <= maxAddress; }
};

