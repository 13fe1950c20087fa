#pragma once
// Message boxes of the core as Qt message boxes over the main window. An
// unattended run never shows one: in a silent run, and while a batch run lasts,
// the texts go to standard error, and so do those asked from a thread other than
// the window thread (a worker must never wait for the user).
#include <QPointer>
#include <QWidget>

#include "platform/Prompter.h"

class QtPrompter : public platform::Prompter {
 public:
  // Installs itself; the destructor restores the previous prompter.
  explicit QtPrompter(bool silentRun);
  ~QtPrompter() override;
  QtPrompter(const QtPrompter&) = delete;
  QtPrompter& operator=(const QtPrompter&) = delete;

  int Show(const platform::MessageRequest& request) override;
  void SetMainWindow(QWidget* window) { mainWindow_ = window; }

 private:
  bool silentRun_;
  QPointer<QWidget> mainWindow_;
  platform::Prompter* previous_;
};
