#pragma once
// How the core asks the user: message boxes and questions. The window layer
// installs a Qt implementation; tests install a fake that records and answers;
// without either, messages go to standard error and get the default answer.
#include <mutex>
#include <string>
#include <vector>

namespace platform {

enum class MessageIcon { None, Error, Warning, Question, Information };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };

// Answers carry the Windows button ids the program's logic compares with.
enum MessageAnswer { kAnswerOk = 1, kAnswerCancel = 2, kAnswerRetry = 4, kAnswerYes = 6, kAnswerNo = 7 };

struct MessageRequest {
  std::string text;
  std::string caption;  // empty: the application title
  MessageIcon icon = MessageIcon::None;
  MessageButtons buttons = MessageButtons::Ok;
  bool ownedByMainWindow = false;
};

class Prompter {
 public:
  virtual ~Prompter() = default;
  // Shows the message and returns the answer (one of MessageAnswer).
  virtual int Show(const MessageRequest& request) = 0;
};

// The prompter in force; never null.
Prompter& CurrentPrompter();
// Installs a prompter (null restores the default); returns the previous one, or null.
Prompter* SetPrompter(Prompter* prompter);

// Records every message instead of showing it and gives a set answer; it is the
// prompter in force while it lives. Tools that check texts collect the messages
// this way, and so do tests.
class CollectingPrompter : public Prompter {
 public:
  CollectingPrompter();
  ~CollectingPrompter() override;
  CollectingPrompter(const CollectingPrompter&) = delete;
  CollectingPrompter& operator=(const CollectingPrompter&) = delete;

  int Show(const MessageRequest& request) override;
  // The texts of the messages so far, joined by the separator.
  std::string Texts(const std::string& separator = "; ") const;

  int answer = kAnswerOk;
  std::vector<MessageRequest> requests;  // read once the threads that show messages are done

 private:
  Prompter* previous_;
  mutable std::mutex mutex_;
};

// Shorthand for CurrentPrompter().Show(...).
int ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                MessageButtons buttons = MessageButtons::Ok, bool ownedByMainWindow = false);

}  // namespace platform
