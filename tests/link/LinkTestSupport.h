#pragma once
// Shared set-up of the link's tests: a private configuration folder, the
// application state at its start, no current model and the own frame selected.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "link/AlternateFraming.h"
#include "link/AppState.h"
#include "model/DeviceModelHooks.h"
#include "platform/Prompter.h"

class LinkTestBase : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/z580-link-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    hadOld_ = old != nullptr;
    if (old) old_ = old;
    setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    App().Reset();
    model::SetCurrentDeviceModel(nullptr);
    exchange::SetProtocolSelector(exchange::kSelectorOwnFrame);
  }
  void TearDown() override {
    exchange::SetProtocolSelector(exchange::kSelectorOwnFrame);
    model::SetCurrentDeviceModel(nullptr);
    App().Reset();
    if (hadOld_)
      setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
    else
      unsetenv("XDG_CONFIG_HOME");
    const std::string cmd = "rm -rf '" + root_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }

  std::string root_;

 private:
  std::string old_;
  bool hadOld_ = false;
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

// Records the message boxes and answers OK.
class LinkPrompter : public platform::Prompter {
 public:
  int Show(const platform::MessageRequest& request) override {
    shown.push_back(request);
    return platform::kAnswerOk;
  }
  std::vector<platform::MessageRequest> shown;
};
