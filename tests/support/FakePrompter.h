#pragma once
// A message-box stand-in that records every request and answers OK (or a set
// answer). It installs itself while it lives.
#include <vector>

#include "platform/Prompter.h"

class FakePrompter : public platform::Prompter {
 public:
  FakePrompter();
  ~FakePrompter() override;
  FakePrompter(const FakePrompter&) = delete;
  FakePrompter& operator=(const FakePrompter&) = delete;

  int answer = platform::kAnswerOk;
  std::vector<platform::MessageRequest> requests;

  int Show(const platform::MessageRequest& request) override;

 private:
  platform::Prompter* previous_;
};
