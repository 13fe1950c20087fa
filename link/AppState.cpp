#include "link/AppState.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

#include "link/Device.h"
#include "link/ResultFlags.h"

namespace {

// The text as one line: line breaks inside become spaces, those at the end go.
std::string OneLine(const std::string& text) {
  std::string line = text;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  return line;
}

}  // namespace

AppState::AppState() { model::SetAppVersionTexts(&versionTexts); }

AppState::~AppState() {
  model::AppVersionTexts* self = &versionTexts;
  if (model::SetAppVersionTexts(nullptr) != self) model::SetAppVersionTexts(self);
  SetDeviceModel(nullptr);
}

exchange::BatchSettings AppState::Batch() const {
  std::lock_guard lock(stateLock_);
  return batch_;
}

void AppState::SetBatch(const exchange::BatchSettings& settings) {
  std::lock_guard lock(stateLock_);
  batch_ = settings;
  batchRun = (settings.runFlags & exchange::kRunBatch) != 0;
  batchRead = (settings.runFlags & exchange::kRunRead) != 0;
  silent = (settings.modeFlags & exchange::kModeSilent) != 0;
}

std::string AppState::ProgramDirectory() const {
  {
    std::lock_guard lock(stateLock_);
    if (!programDirectory_.empty()) return programDirectory_;
  }
  return GetProgramDirectory("");
}

void AppState::SetProgramDirectory(const std::string& directory) {
  std::lock_guard lock(stateLock_);
  programDirectory_ = directory;
  if (!programDirectory_.empty() && programDirectory_.back() != '/') programDirectory_ += '/';
}

void AppState::SetDeviceModel(std::unique_ptr<model::DeviceModelHooks> deviceModel) {
  // The link's threads use the model under the exchange lock or the bus lock (in
  // that order): it changes, and the old one goes, only while both are held.
  std::lock_guard exchange(exchangeLock);
  std::unique_ptr<model::DeviceModelHooks> old;
  auto swap = [&] {
    std::lock_guard lock(stateLock_);
    model::SetCurrentDeviceModel(deviceModel.get());
    old = std::move(deviceModel_);
    deviceModel_ = std::move(deviceModel);
  };
  if (Device* device = CurrentDevice())
    device->WhileNoFrameRuns(swap);
  else
    swap();
  // Destroyed outside the state lock and the bus lock: a model's destructor may ask
  // the state again, or send a frame.
  old.reset();
}

model::DeviceModelHooks* AppState::DeviceModel() const {
  std::lock_guard lock(stateLock_);
  return deviceModel_.get();
}

std::optional<int> AppState::ExitCode() const { return exchange::ExitCodeForResultFlags(resultFlags.load()); }

std::string GetProgramDirectory(const std::string& text) {
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return text;
  std::string directory(path, static_cast<size_t>(n));
  const size_t slash = directory.rfind('/');
  if (slash == std::string::npos) return text;
  directory.resize(slash + 1);
  return directory + text;
}

void AppState::SetRunFiles(platform::RunFiles files) {
  std::lock_guard lock(logLock_);
  runFiles_ = std::move(files);
}

bool AppState::CreateErrorLog(const std::string& path, std::string& error) {
  std::lock_guard lock(logLock_);
  const int fd = runFiles_.OpenLog(path, true, &error);
  if (fd < 0) return false;
  ::close(fd);
  errorLogPath_ = path;
  return true;
}

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
  const int fd = runFiles_.OpenLog(errorLogPath_, false);
  if (fd < 0) return false;
  // One write, so that a line from another process is never split into ours.
  const std::string line = OneLine(text) + "\n";
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

void AppState::ReportFailureLine(const std::string& text) {
  ++failureLines;
  if (failuresToStandardError) {
    const std::string line = "zt580: " + OneLine(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
  }
  AppendErrorLogLine(text);
}

void AppState::Reset() {
  resultFlags = 0;
  accessLevel = 2;
  modelIndex = -1;
  identifiedModel = -1;
  linkSession = 0;
  firmwareMajor = -1;
  firmwareMinor = -1;
  showLinearIndexes = false;
  automaticReading = true;
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
  runStopping = false;
  failuresToStandardError = false;
  failureLines = 0;
  SetErrorLogPath({});
  SetRunFiles({});
  ClearBatch();
  SetProgramDirectory({});
  SetDeviceModel(nullptr);
  pollResults.Flush();
  versionTexts = {};
}

AppState& App() {
  static AppState state;
  return state;
}
