#pragma once
// The link to the module: runs the long exchanges (read, write, compare, init of a
// branch, read or write of one parameter) as tasks on its transmit thread while
// the window thread shows the progress dialog, offers the single-parameter
// operations the tree walks and dialogs use, and brings the link up (open the
// port, identify the module, try the converter modes and the other framings).
// There is one Device; the free functions below act on it.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/DeviceIO.h"
#include "link/WriteGate.h"
#include "model/LinkOps.h"
#include "platform/Event.h"

class DescBranch;
class ObjectWithParameters;
class Parameter;

namespace exchange {
class PollSchedule;
}

class Device : public DeviceIO, public model::LinkOps {
 public:
  // Task codes of the progress dialog.
  static constexpr int kTaskReadAll = 1;
  static constexpr int kTaskReadOne = 3;
  static constexpr int kTaskWriteAll = 4;
  static constexpr int kTaskWriteChanged = 5;
  static constexpr int kTaskCompare = 6;
  static constexpr int kTaskInit = 7;
  static constexpr int kTaskWriteOne = 9;
  // The dialog's caption (string id) for a task code, 0 for an unknown code.
  static int TaskCaptionId(int taskCode);

  // ReadParameter/WriteParameter/CompareParameter results besides the exchange's.
  static constexpr int kAborted = 3;          // compare: the abort event was set
  static constexpr int kNotInitialised = 5;   // write: the value is "Нет данных"
  static constexpr int kNoIndex = 6;          // negative linear index: nothing sent
  static constexpr int kNotWritten = 1000;    // WriteParameterIfImmediate: nothing to do

  // Becomes the one link of the process (the free functions act on it).
  Device();
  // Stops the threads; the free functions then do nothing.
  ~Device() override;

  // Starts the transmit thread when it does not run; false when it cannot.
  bool StartTransmitThread();
  bool TransmitThreadRunning() const { return transmit_.joinable(); }
  // Starts the polling thread over the polled parameters of the branch (the set is
  // fixed from then on) at the lowest priority. 0 started or already running; 1
  // when it cannot be started (after a message).
  int StartScanThread(DescBranch& polledBranch);
  bool ScanThreadRunning() const { return scanThread_.joinable(); }
  // Stops the polling thread alone (stop, join); the transmit thread goes on.
  void StopScanThread();

  // Tree tasks: the element is walked on the transmit thread while the progress
  // dialog runs (this blocks the window thread until the task ended). True when
  // the dialog ran.
  bool StartReadTask(ObjectWithParameters& element);
  bool StartWriteTask(ObjectWithParameters& element);
  bool StartWriteChangedTask(ObjectWithParameters& element);
  // Afterwards a message box reports the differences (or that there are none).
  bool StartCompareTask(ObjectWithParameters& element);
  // Writes the initial values. Without full access only the notice is shown and
  // the result is 1; otherwise 1 when the dialog ran, 0 when it could not.
  int StartInitTask(ObjectWithParameters& element);
  // Reads or writes one parameter as a task (the single-parameter slot).
  bool StartReadOneTask(Parameter& parameter);
  bool StartWriteOneTask(Parameter& parameter);

  // One parameter, on the calling thread, under the exchange lock. Results: the
  // exchange's (0 done), kNoIndex, and for a write kNotInitialised.
  // countTimeouts: a time-out counts towards the limit of consecutive time-outs.
  int ReadParameter(Parameter& parameter, int countTimeouts) override;
  // mode < 0 writes the initial value (the value takes it; "clb.k" 0/4095 by index).
  int WriteParameter(Parameter& parameter, int mode) override;
  // Reads the module's value and attributes into a copy and notes a difference.
  int CompareParameter(Parameter& parameter) override;
  // A line in the open progress dialog (dropped while none is open).
  void AddProgressLine(const std::string& text) override;
  void StepProgress() override;
  // Whether the walk is to stop: the abort event, the link is stopping, or the walk
  // on this thread met the limit of consecutive time-outs.
  bool IsAbortSet() override;

  // The end of a task (transmit thread): last lines, a pause that the abort
  // button cuts short, the end of the dialog, "APLY" or "INIT", the batch run.
  void FinishTask(bool sendInit);
  // Stops the transmit thread and the polling thread: sets the cancel and abort
  // events and joins them (each ends within one response time-out). Returns 1.
  int StopThreads();

  // The run is ending: every wait of the link ends at once (connecting, identifying,
  // a task's exchange) and for good, so that nothing more is sent.
  void StopForExit();
  bool StoppedForExit() const { return stoppedForExit_; }

  // Called by the progress dialog on the window thread.
  void OnTaskDialogCreated(int taskCode);
  void OnAbortPressed();

  // Closes the port, sets it up from the program's port settings and opens it.
  // 0 open; the open error (-1, -2, -3); -1 without opening in a silent run.
  // A failure shows message 164 when asked and not in a batch run.
  int OpenPort(bool showMessage);
  // Reads "dev" (and "tdev" for the variant model) and "ver". 3 recognised (the
  // model index set), 2 "dev" read but unknown, 0 "dev" not read. The software
  // version goes to App().firmwareMajor/firmwareMinor.
  int IdentifyDevice(bool showMessages);
  // Opens the port and identifies the module, trying both converter modes and
  // the switch-back requests of the other framings. True when recognised.
  // showPortMessage: a port that cannot be opened shows message 164 (a caller that
  // reports it otherwise, like the connection-setup dialog's worker, passes false).
  bool EstablishLink(bool showPortMessage = true);
  // Why the port could not be opened the last time, in words; empty when it opened.
  std::string OpenFailureReason();
  // The settings and replies of the identifications since the port was last
  // opened; failed when the last of them recognised no module.
  exchange::ConnectAttempt LastAttempt();

  // Writes the command "INIT"; false with the error text on failure.
  bool SendInitCommand(std::string& errorText);

  platform::Event& AbortEvent() { return abort_; }
  // Of the last compare task.
  int DifferenceCount() const;

  // The tree's element of the module's network settings (the document sets it): a
  // lone write of one of them is judged with the others it holds.
  const ObjectWithParameters* moduleNetwork = nullptr;

  // The pause at the end of a task (tests and benchmarks shorten it).
  int finishPauseMs = 2000;
  // The polling thread gives way to everything else; a benchmark that measures its
  // own cost on a busy machine keeps it at normal priority.
  bool lowScanPriority = true;

 protected:
  // The polling thread, when one runs; StopThreads joins it.
  std::thread scanThread_;

 private:
  // Ends an open in-place edit before a task takes its parameters.
  static void EndEditing();
  // Every task starts here: a write asks the gate, then the task dialog runs it on
  // the transmit thread over the element or the one parameter.
  bool StartTask(int taskCode, ObjectWithParameters* element, Parameter* parameter);
  // Which parameters a walk task takes: see CountTaskParameters.
  static int WalkMode(int taskCode);
  // Asks the write gate (a refusal was shown); a refused batch write ends its run.
  bool PassesWriteGate(const exchange::WriteTask& task);
  void TransmitThread();
  void RunWalkTask(int taskCode, ObjectWithParameters* element);
  void CountTimeOut(bool read);
  void LogFailure(const Parameter& parameter, bool write, int result);
  void PostMessageBox(const std::string& text);
  void AddLine(const std::string& text, bool scrollToEnd);
  bool TrySwitchBack(uint8_t selector);
  exchange::ConnectAttempt AttemptWith(const exchange::ReplyTally& tally);
  void ScanThread(std::vector<Parameter*> parameters, std::uint64_t generation);
  void ScanLoop(exchange::PollSchedule& schedule, std::uint64_t generation);

  platform::Event readAll_{true, false};
  platform::Event readOne_{true, false};
  platform::Event writeAll_{true, false};
  platform::Event writeOne_{false, false};
  platform::Event writeChanged_{true, false};
  platform::Event compare_{true, false};
  platform::Event init_{true, false};
  platform::Event abort_{true, false};
  platform::Event scanStop_{true, false};

  std::thread transmit_;
  std::atomic<bool> stoppedForExit_{false};

  std::atomic<ObjectWithParameters*> pending_{nullptr};
  std::atomic<Parameter*> single_{nullptr};

  std::atomic<bool> dialogOpen_{false};
  std::atomic<int> linesShown_{0};
  std::atomic<int64_t> taskStart_{0};  // seconds

  // Of the identifications since the port was opened (under the exchange lock):
  // the last result (-1 none) and the "dev" of a module of no known model, kept
  // through the later tries of the same connection.
  int lastIdentify_ = -1;
  std::string unknownDeviceId_;
  // The result flags that failed connections added since the last that worked.
  uint32_t failedTryFlags_ = 0;

  mutable std::mutex differencesLock_;
  int differenceCount_ = 0;
  std::string differencesText_;
};

// The one link, or null.
Device* CurrentDevice();
// The run is ending: the link stops for good, now or as soon as it is made.
void StopLinkForExit();

// The link's operations on the one Device. Without one: -1 (the note says the port
// cannot be used), nothing for AddProgressLine.
int ReadParameter(Parameter& parameter, int countTimeouts);
int WriteParameter(Parameter& parameter, int mode);
int CompareParameter(Parameter& parameter);
// Writes an edited value at once when immediate writing is on and the main window
// exists (the note is emptied first); otherwise Device::kNotWritten.
int WriteParameterIfImmediate(Parameter& parameter);
void AddProgressLine(const std::string& text);
// Writes "INIT"; false with the error text on failure (or without a link).
bool SendInitCommand(std::string& errorText);
// The notice that the access levels are obsolete (information box).
void ShowAccessLevelNotice();
