#include "support/FakePrompter.h"

FakePrompter::FakePrompter() : previous_(platform::SetPrompter(this)) {}

FakePrompter::~FakePrompter() { platform::SetPrompter(previous_); }

int FakePrompter::Show(const platform::MessageRequest& request) {
  requests.push_back(request);
  return answer;
}
