#pragma once
// The process-wide state that the link and the layers above it read: the exchange
// lock, the run's result flags, the access level, the current model, the program
// modes (check marks of the main menu), the task counters and the batch-run
// settings. The application object will own it; until then there is one instance.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/Event.h"

class AppState {
 public:
  AppState() = default;
  AppState(const AppState&) = delete;
  AppState& operator=(const AppState&) = delete;

  // Taken before the link's bus lock, never after; reentrant for the same thread.
  std::recursive_mutex exchangeLock;

  // The run's result flags (link/ResultFlags.h); the link assigns them.
  std::atomic<uint32_t> resultFlags{0};

  // The link's full-access behaviour is on while the level is above 1.
  std::atomic<int> accessLevel{2};
  bool FullAccess() const { return accessLevel.load() > 1; }

  // Row of the model table, -1 while unknown.
  std::atomic<int> modelIndex{-1};
  // The module's software version from its "ver" reply (the pieces before and
  // after the first '.'), -1 while unknown; the document's version conditions use it.
  std::atomic<int> firmwareMajor{-1};
  std::atomic<int> firmwareMinor{-1};

  // Program modes.
  std::atomic<bool> showLinearIndexes{false};    // menu command 380
  std::atomic<bool> automaticReading{false};     // 134
  std::atomic<bool> immediateWriting{false};     // 268
  std::atomic<bool> noAttributeExchange{false};  // 294

  // Set when a network parameter was written to the module (APLY follows).
  std::atomic<bool> networkSettingsWritten{false};
  std::atomic<int> consecutiveTimeOuts{0};
  std::atomic<int> doneCount{0};
  std::atomic<int> totalCount{0};

  // Batch-run settings from the command line.
  std::atomic<bool> batchRun{false};
  std::atomic<bool> silent{false};  // the port is never opened
  std::atomic<bool> batchRead{false};  // the run reads the module into the command-line file
  // Set by the end of every task of a batch run; owned by the batch run (null: none).
  std::atomic<platform::Event*> batchDoneEvent{nullptr};
  void SetErrorLogPath(const std::string& path);
  std::string ErrorLogPath() const;
  // Appends text and a line feed to the error-log file when one was named and it
  // exists (it is not created here); true when the line was written whole.
  bool AppendErrorLogLine(const std::string& text);

  // Back to the start-up state (tests).
  void Reset();

 private:
  mutable std::mutex logLock_;
  std::string errorLogPath_;
};

// The process's application state.
AppState& App();
