#include "support/FakeTaskWindow.h"

#include <chrono>

#include "link/Device.h"

FakeTaskWindow::FakeTaskWindow() { previous_ = exchange::SetTaskWindow(this); }

FakeTaskWindow::~FakeTaskWindow() { exchange::SetTaskWindow(previous_); }

bool FakeTaskWindow::RunTaskDialog(Device& device, int taskCode, int captionId, int total) {
  {
    std::lock_guard lock(mutex_);
    if (refuseDialogs) return false;
    Dialog dialog;
    dialog.taskCode = taskCode;
    dialog.captionId = captionId;
    dialog.total = total;
    dialogs_.push_back(dialog);
    queue_.clear();
    open_ = true;
  }
  device.OnTaskDialogCreated(taskCode);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(dialogTimeoutMs);
  std::unique_lock lock(mutex_);
  for (;;) {
    if (!changed_.wait_until(lock, deadline, [this] { return !queue_.empty(); })) break;
    Item item = std::move(queue_.front());
    queue_.pop_front();
    if (item.end) {
      dialogs_.back().ended = true;
      break;
    }
    dialogs_.back().lines.push_back(item.line);
    if (onLine) {
      lock.unlock();
      onLine(device, item.line);
      lock.lock();
    }
  }
  open_ = false;
  dropped_ += static_cast<int>(queue_.size());
  queue_.clear();
  return true;
}

void FakeTaskWindow::PostProgressLine(exchange::ProgressLine line) {
  std::lock_guard lock(mutex_);
  if (!open_) {
    ++dropped_;
    return;
  }
  Item item;
  item.line = std::move(line);
  queue_.push_back(std::move(item));
  changed_.notify_all();
}

void FakeTaskWindow::PostEndDialog() {
  std::lock_guard lock(mutex_);
  if (!open_) return;
  Item item;
  item.end = true;
  queue_.push_back(std::move(item));
  changed_.notify_all();
}

void FakeTaskWindow::PostMessageBox(platform::MessageRequest request) {
  std::lock_guard lock(mutex_);
  messages_.push_back(std::move(request));
}

void FakeTaskWindow::PostApply() {
  std::lock_guard lock(mutex_);
  ++applyPosts_;
}

void FakeTaskWindow::PostBatchSave() {
  std::lock_guard lock(mutex_);
  ++batchSaves_;
}

std::vector<FakeTaskWindow::Dialog> FakeTaskWindow::Dialogs() const {
  std::lock_guard lock(mutex_);
  return dialogs_;
}

std::vector<platform::MessageRequest> FakeTaskWindow::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

int FakeTaskWindow::ApplyPosts() const {
  std::lock_guard lock(mutex_);
  return applyPosts_;
}

int FakeTaskWindow::BatchSaves() const {
  std::lock_guard lock(mutex_);
  return batchSaves_;
}

int FakeTaskWindow::DroppedLines() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

std::vector<std::string> FakeTaskWindow::LastLines() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> texts;
  if (!dialogs_.empty())
    for (const auto& line : dialogs_.back().lines) texts.push_back(line.text);
  return texts;
}
