#pragma once
// The process-wide state that the link and the layers above it read: the exchange
// lock, the run's result flags, the access level, the current model, the program
// modes (check marks of the main menu), the task counters and the batch-run
// settings, the program's directory and version texts, the current device-model
// object and the poll-result queue. There is one instance for the process.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "link/BatchSettings.h"
#include "link/ExchangeLock.h"
#include "link/PollResult.h"
#include "model/AppVersionTexts.h"
#include "model/DeviceModelHooks.h"
#include "platform/Event.h"
#include "platform/RunFiles.h"

class AppState {
 public:
  AppState();
  ~AppState();
  AppState(const AppState&) = delete;
  AppState& operator=(const AppState&) = delete;

  // Taken before the link's bus lock, never after; reentrant for the same thread.
  ExchangeLock exchangeLock;

  // The run's result flags (link/ResultFlags.h); the link assigns them.
  std::atomic<uint32_t> resultFlags{0};

  // The link's full-access behaviour is on while the level is above 1.
  std::atomic<int> accessLevel{2};
  bool FullAccess() const { return accessLevel.load() > 1; }

  // Row of the model table, -1 while unknown: the model of the tree.
  std::atomic<int> modelIndex{-1};
  // The model of the module identified on the line, -1 while none is: a tree of
  // another model is never written into it.
  std::atomic<int> identifiedModel{-1};
  // Counts the openings of the port: a value the module reported or acknowledged
  // counts as confirmed only on the connection it came from (0: none yet).
  std::atomic<unsigned> linkSession{0};
  // The module's software version from its "ver" reply (the pieces before and
  // after the first '.'), -1 while unknown; the document's version conditions use it.
  std::atomic<int> firmwareMajor{-1};
  std::atomic<int> firmwareMinor{-1};

  // Program modes.
  std::atomic<bool> showLinearIndexes{false};    // menu command 380
  std::atomic<bool> automaticReading{true};      // 134, on until switched off
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
  // The run was asked to end (the exit event, SIGTERM, SIGINT): the link ends every
  // wait at once and sends nothing more (Device::StopForExit).
  std::atomic<bool> runStopping{false};
  // Set by the end of every task of a batch run; owned by the batch run (null: none).
  std::atomic<platform::Event*> batchDoneEvent{nullptr};
  // The run's own files, which the error log never is (set before the log is made).
  void SetRunFiles(platform::RunFiles files);
  // Makes the error log empty and takes its path; false, with the reason, when
  // the run's files guard refuses it or it cannot be made.
  bool CreateErrorLog(const std::string& path, std::string& error);
  void SetErrorLogPath(const std::string& path);
  std::string ErrorLogPath() const;
  // Appends text as one line to the error-log file when one was named and it
  // exists (it is not created here); line breaks inside the text become spaces and
  // those at its end go, so that every failure is one line. True when written whole.
  bool AppendErrorLogLine(const std::string& text);
  // A failure of the run and its reason: the error-log line and, when the run
  // reports on standard error (an unattended run), the same line there.
  void ReportFailureLine(const std::string& text);
  std::atomic<bool> failuresToStandardError{false};
  // How many failure lines the run has reported.
  std::atomic<int> failureLines{0};

  // The command line's settings. Setting them also sets batchRun (run flag 0x20),
  // batchRead (0x40) and silent (mode flag 0x20), which the link reads.
  exchange::BatchSettings Batch() const;
  void SetBatch(const exchange::BatchSettings& settings);
  void ClearBatch() { SetBatch({}); }

  // The directory of the program file with a trailing '/'; the description store
  // is looked up there. Until it is set, the directory of the running executable.
  std::string ProgramDirectory() const;
  void SetProgramDirectory(const std::string& directory);

  // The version texts the service element fills and the About box shows.
  model::AppVersionTexts versionTexts;

  // The current device-model object, owned here (the device-model classes derive
  // from model::DeviceModelHooks); model::CurrentDeviceModel() follows it. Setting
  // a new one destroys the previous one after the new one is in force, holding the
  // exchange lock throughout and the bus lock for the change: other threads use the
  // model under one of those locks; the window thread, which replaces it, at any time.
  void SetDeviceModel(std::unique_ptr<model::DeviceModelHooks> deviceModel);
  model::DeviceModelHooks* DeviceModel() const;

  exchange::PollResultQueue pollResults;
  void FlushPollResultQueue() { pollResults.Flush(); }

  // The process exit code the result flags call for; none when no flag is set.
  std::optional<int> ExitCode() const;

  // Back to the start-up state (tests).
  void Reset();

 private:
  mutable std::mutex logLock_;
  platform::RunFiles runFiles_;
  std::string errorLogPath_;
  mutable std::mutex stateLock_;
  exchange::BatchSettings batch_;
  std::string programDirectory_;
  std::unique_ptr<model::DeviceModelHooks> deviceModel_;
};

// The directory of the running program file with a trailing '/', followed by text;
// just text when the program's path cannot be found.
std::string GetProgramDirectory(const std::string& text);

// The process's application state.
AppState& App();
