#pragma once
// The window layer of the link for tests: the progress "dialog" runs on the
// calling (test) thread, takes the posted lines until the end of the task or a
// bounded wait, and everything posted to the main window is recorded.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "link/TaskWindow.h"

class FakeTaskWindow : public exchange::TaskWindow {
 public:
  struct Dialog {
    int taskCode = 0;
    int captionId = 0;
    int total = 0;
    std::vector<exchange::ProgressLine> lines;
    bool ended = false;  // false: the bounded wait ran out
  };

  // Installs itself as the window layer; the destructor removes it.
  FakeTaskWindow();
  ~FakeTaskWindow() override;
  FakeTaskWindow(const FakeTaskWindow&) = delete;
  FakeTaskWindow& operator=(const FakeTaskWindow&) = delete;

  int dialogTimeoutMs = 20000;
  bool mainWindow = true;
  bool refuseDialogs = false;
  // Called on the test thread for every line the open dialog shows (it may press
  // the abort button through device->OnAbortPressed()).
  std::function<void(Device& device, const exchange::ProgressLine& line)> onLine;

  bool RunTaskDialog(Device& device, int taskCode, int captionId, int total) override;
  void PostProgressLine(exchange::ProgressLine line) override;
  void PostEndDialog() override;
  void PostMessageBox(platform::MessageRequest request) override;
  void PostApply() override;
  void PostBatchSave() override;
  bool MainWindowExists() const override { return mainWindow; }

  // Copies of what was recorded.
  std::vector<Dialog> Dialogs() const;
  std::vector<platform::MessageRequest> Messages() const;
  int ApplyPosts() const;
  int BatchSaves() const;
  int DroppedLines() const;
  // The texts of the lines of the last dialog.
  std::vector<std::string> LastLines() const;

 private:
  struct Item {
    bool end = false;
    exchange::ProgressLine line;
  };
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Item> queue_;
  bool open_ = false;
  std::vector<Dialog> dialogs_;
  std::vector<platform::MessageRequest> messages_;
  int applyPosts_ = 0;
  int batchSaves_ = 0;
  int dropped_ = 0;
  exchange::TaskWindow* previous_ = nullptr;
};
