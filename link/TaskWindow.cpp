#include "link/TaskWindow.h"

#include <atomic>

namespace exchange {
namespace {
std::atomic<TaskWindow*> gWindow{nullptr};
}  // namespace

TaskWindow* CurrentTaskWindow() { return gWindow.load(); }

TaskWindow* SetTaskWindow(TaskWindow* window) { return gWindow.exchange(window); }

}  // namespace exchange
