#include "link/AppState.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

void AppState::SetErrorLogPath(const std::string& path) {
  std::lock_guard lock(logLock_);
  errorLogPath_ = path;
}

std::string AppState::ErrorLogPath() const {
  std::lock_guard lock(logLock_);
  return errorLogPath_;
}

bool AppState::AppendErrorLogLine(const std::string& text) {
  std::lock_guard lock(logLock_);
  if (errorLogPath_.empty()) return false;
  const int fd = ::open(errorLogPath_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  // One write, so that a line from another process is never split into ours.
  const std::string line = text + "\n";
  size_t written = 0;
  while (written < line.size()) {
    const ssize_t n = ::write(fd, line.data() + written, line.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  ::close(fd);
  return written == line.size();
}

void AppState::Reset() {
  resultFlags = 0;
  accessLevel = 2;
  modelIndex = -1;
  firmwareMajor = -1;
  firmwareMinor = -1;
  showLinearIndexes = false;
  automaticReading = false;
  immediateWriting = false;
  noAttributeExchange = false;
  networkSettingsWritten = false;
  consecutiveTimeOuts = 0;
  doneCount = 0;
  totalCount = 0;
  batchRun = false;
  silent = false;
  batchRead = false;
  batchDoneEvent = nullptr;
  SetErrorLogPath({});
}

AppState& App() {
  static AppState state;
  return state;
}
