#include "platform/Prompter.h"

#include <atomic>
#include <cstdio>

namespace platform {
namespace {

class StderrPrompter : public Prompter {
 public:
  int Show(const MessageRequest& r) override {
    std::fprintf(stderr, "%s: %s\n", r.caption.empty() ? "Z580" : r.caption.c_str(), r.text.c_str());
    switch (r.buttons) {
      case MessageButtons::YesNo:
      case MessageButtons::YesNoCancel:
        return kAnswerYes;
      case MessageButtons::RetryCancel:
        return kAnswerCancel;
      default:
        return kAnswerOk;
    }
  }
};

StderrPrompter gDefault;
std::atomic<Prompter*> gCurrent{nullptr};

}  // namespace

Prompter& CurrentPrompter() {
  Prompter* p = gCurrent.load();
  return p ? *p : gDefault;
}

Prompter* SetPrompter(Prompter* prompter) { return gCurrent.exchange(prompter); }

CollectingPrompter::CollectingPrompter() : previous_(SetPrompter(this)) {}

CollectingPrompter::~CollectingPrompter() { SetPrompter(previous_); }

int CollectingPrompter::Show(const MessageRequest& request) {
  std::lock_guard lock(mutex_);
  requests.push_back(request);
  return answer;
}

std::string CollectingPrompter::Texts(const std::string& separator) const {
  std::lock_guard lock(mutex_);
  std::string joined;
  for (const MessageRequest& r : requests) {
    if (!joined.empty()) joined += separator;
    joined += r.text;
  }
  return joined;
}

int ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon, MessageButtons buttons,
                bool ownedByMainWindow) {
  MessageRequest r;
  r.text = text;
  r.caption = caption;
  r.icon = icon;
  r.buttons = buttons;
  r.ownedByMainWindow = ownedByMainWindow;
  return CurrentPrompter().Show(r);
}

}  // namespace platform
