#pragma once
// The window the polling thread tells of new poll records: installed while it
// lives, it counts the words it gets.
#include <atomic>

#include "link/PollWindow.h"

class FakePollWindow : public exchange::PollWindow {
 public:
  FakePollWindow() { exchange::SetPollWindow(this); }
  ~FakePollWindow() override { exchange::SetPollWindow(nullptr); }
  FakePollWindow(const FakePollWindow&) = delete;
  FakePollWindow& operator=(const FakePollWindow&) = delete;
  void PostPollResults() override { ++posts; }
  std::atomic<int> posts{0};
};
