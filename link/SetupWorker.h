#pragma once
// The worker of the connection-setup dialog: it waits for the dialog's requests
// (the link's abort, connect, scan, in that precedence), runs the connection
// attempts and the speed scan over the program's port settings, and tells the
// dialog what to show through a sink that the dialog posts to its own thread.
// The worker never touches a window.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "link/ConnectAttempt.h"
#include "model/MyConverter.h"
#include "platform/Event.h"

class Device;
class Parameter;

namespace Elements {
class NetRS485prg;
}

namespace PreStart {

// What the worker tells the dialog (called on the worker's thread).
class SetupSink {
 public:
  virtual ~SetupSink() = default;
  virtual void SetStatus(const std::string& text, bool error) = 0;
  virtual void EnableTable(bool enable) = 0;
  // The value cell of the row (the index of the parameter in the port settings).
  virtual void ShowValue(int row, const ValueText& text) = 0;
  // A command for the dialog: SetupWorker::kCommandOk, kCommandCancel, kCommandOffline.
  virtual void PostCommand(int command) = 0;
};

// What the worker needs of the link.
class SetupLink {
 public:
  virtual ~SetupLink() = default;
  // Opens the port with the settings and identifies the module; true when recognised.
  virtual bool EstablishLink() = 0;
  // Why the port could not be opened, empty when it opened.
  virtual std::string OpenFailureReason() = 0;
  // What the last attempt tried and what came back; not failed when unknown.
  virtual exchange::ConnectAttempt LastAttempt() { return {}; }
  virtual platform::Event& AbortEvent() = 0;
  virtual Elements::NetRS485prg& Settings() = 0;
};

// The program's link: the attempt reports a port that cannot be opened in the
// status line, not in a message box (the worker shows none).
class DeviceSetupLink : public SetupLink {
 public:
  explicit DeviceSetupLink(Device& device) : device_(device) {}
  bool EstablishLink() override;
  std::string OpenFailureReason() override;
  exchange::ConnectAttempt LastAttempt() override;
  platform::Event& AbortEvent() override;
  Elements::NetRS485prg& Settings() override;

 private:
  Device& device_;
};

class SetupWorker {
 public:
  static constexpr int kCommandOk = 1;
  static constexpr int kCommandCancel = 2;
  static constexpr int kCommandOffline = 3;

  SetupWorker(SetupLink& link, SetupSink& sink);
  // Stops and joins the worker.
  ~SetupWorker();
  SetupWorker(const SetupWorker&) = delete;
  SetupWorker& operator=(const SetupWorker&) = delete;

  // Resets the link's abort and starts the thread.
  void Start();
  void Connect() { connect_.Set(); }
  void Scan() { scan_.Set(); }
  // Every parameter but "Port" takes its initial value; the sink shows the rows.
  // The caller then asks for a connection.
  void ApplyFactorySettings();
  // The first pass of a way out: the command to post back, and the link's abort.
  void RequestExit(int command);
  int ExitCommand() const { return exitCommand_; }
  // Whether the worker has ended (or never ran).
  bool Finished() const { return finished_.IsSet(); }
  // Sets the abort when the worker still runs, waits for it (at most one attempt)
  // and resets the link's abort, so that the link's next operations run.
  void Stop();

  // The status the dialog opens with: why the last attempt failed (the port, or
  // the module that did not answer), empty when none failed.
  std::string OpeningStatus();

  // The row of the speed parameter "bPS", -1 when the settings have none.
  int SpeedRow() const;

 private:
  void Run();
  void RunConnect();
  void RunScan();
  void SetValue(Parameter& parameter, const std::string& text);
  // Text 262 and the reason: the port's, else what the attempts met.
  std::string FailureText(const std::vector<exchange::ConnectAttempt>& attempts);

  SetupLink& link_;
  SetupSink& sink_;
  platform::Event connect_{false, false};
  platform::Event scan_{false, false};
  platform::Event finished_{true, true};
  std::atomic<int> exitCommand_{kCommandCancel};
  std::thread thread_;
};

}  // namespace PreStart
