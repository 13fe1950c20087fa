#pragma once
// The link the connection-setup worker drives, without a port: each attempt records
// the speed it was made at and does what `attempt` says (none: it fails).
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "link/NetRS485prg.h"
#include "link/SetupWorker.h"
#include "platform/Event.h"

class FakeSetupLink : public PreStart::SetupLink {
 public:
  FakeSetupLink() { settings.InitParameters(); }
  FakeSetupLink(const FakeSetupLink&) = delete;
  FakeSetupLink& operator=(const FakeSetupLink&) = delete;

  bool EstablishLink() override {
    {
      std::lock_guard lock(mutex_);
      speeds_.push_back(settings.GetParameterValue("bPS"));
    }
    ++attempts;
    return attempt ? attempt() : false;
  }
  std::string OpenFailureReason() override { return {}; }
  platform::Event& AbortEvent() override { return abort; }
  Elements::NetRS485prg& Settings() override { return settings; }
  // The speed of each attempt so far.
  std::vector<std::string> Speeds() {
    std::lock_guard lock(mutex_);
    return speeds_;
  }

  std::function<bool()> attempt;  // runs on the worker's thread
  std::atomic<int> attempts{0};
  Elements::NetRS485prg settings;
  platform::Event abort{true, false};

 private:
  std::mutex mutex_;
  std::vector<std::string> speeds_;
};
