#pragma once
// Where poll results go: the window that shows the polled rows. The window layer
// installs its view once the view exists; tests install a fake. The polling
// thread only pushes records and posts; it never waits for the window thread.
#include <memory>

#include "link/PollResult.h"

namespace exchange {

class PollWindow {
 public:
  virtual ~PollWindow() = default;
  // Any thread: asks the window thread to drain the poll-result queue (queued; one
  // post until a drain begins, which takes every record there is by then).
  virtual void PostPollResults() = 0;
};

// Installs the window (null: none); returns the previous one. Once this returns, the
// previous window is no longer called.
PollWindow* SetPollWindow(PollWindow* window);
bool HasPollWindow();

// With a window: pushes the record into the application's queue and posts to the
// window; true. Without one (or a record of an old generation): the record is
// freed; false.
bool DeliverPollResult(std::unique_ptr<PollResult> record);

}  // namespace exchange
