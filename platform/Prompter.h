#pragma once
// How the core asks the user: message boxes and questions. The window layer
// installs a Qt implementation; tests install a fake that records and answers;
// without either, messages go to standard error and get the default answer.
#include <string>

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

// Shorthand for CurrentPrompter().Show(...).
int ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                MessageButtons buttons = MessageButtons::Ok, bool ownedByMainWindow = false);

}  // namespace platform
