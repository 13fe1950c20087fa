#include "link/PollWindow.h"

#include <mutex>

#include "link/AppState.h"

namespace exchange {

namespace {

// Held while posting, so that a window being removed is never called afterwards.
std::mutex gWindowLock;
PollWindow* gWindow = nullptr;

}  // namespace

PollWindow* SetPollWindow(PollWindow* window) {
  std::lock_guard lock(gWindowLock);
  PollWindow* previous = gWindow;
  gWindow = window;
  // A word on its way to the window that goes may never be answered.
  App().pollResults.BeginDrain();
  return previous;
}

bool HasPollWindow() {
  std::lock_guard lock(gWindowLock);
  return gWindow != nullptr;
}

bool DeliverPollResult(std::unique_ptr<PollResult> record) {
  std::lock_guard lock(gWindowLock);
  if (gWindow == nullptr) return false;
  // One word to the window until it drains: while the window thread is busy, the
  // records would otherwise queue a call each.
  bool wake = false;
  if (!App().pollResults.Push(std::move(record), &wake)) return false;
  if (wake) gWindow->PostPollResults();
  return true;
}

}  // namespace exchange
