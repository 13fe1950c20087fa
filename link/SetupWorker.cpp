#include "link/SetupWorker.h"

#include <mutex>
#include <vector>

#include "link/AppState.h"
#include "link/Device.h"
#include "link/NetRS485prg.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

namespace PreStart {
namespace {

std::vector<std::string> SpeedItems(const std::string& type) {
  std::vector<std::string> items;
  size_t start = 0;
  for (;;) {
    const size_t end = type.find(':', start);
    std::string item = type.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!item.empty()) items.push_back(std::move(item));
    if (end == std::string::npos) return items;
    start = end + 1;
  }
}
}  // namespace

bool DeviceSetupLink::EstablishLink() { return device_.EstablishLink(false); }
std::string DeviceSetupLink::OpenFailureReason() { return device_.OpenFailureReason(); }
exchange::ConnectAttempt DeviceSetupLink::LastAttempt() { return device_.LastAttempt(); }
platform::Event& DeviceSetupLink::AbortEvent() { return device_.AbortEvent(); }
Elements::NetRS485prg& DeviceSetupLink::Settings() { return device_.Settings(); }

SetupWorker::SetupWorker(SetupLink& link, SetupSink& sink) : link_(link), sink_(sink) {}

SetupWorker::~SetupWorker() { Stop(); }

void SetupWorker::Start() {
  if (thread_.joinable()) return;
  link_.AbortEvent().Reset();
  finished_.Reset();
  thread_ = std::thread([this] { Run(); });
}

void SetupWorker::RequestExit(int command) {
  exitCommand_ = command;
  link_.AbortEvent().Set();
}

void SetupWorker::Stop() {
  if (!thread_.joinable()) return;
  link_.AbortEvent().Set();
  thread_.join();
  link_.AbortEvent().Reset();
}

int SetupWorker::SpeedRow() const {
  const auto& parameters = link_.Settings().parameters;
  for (size_t i = 0; i < parameters.size(); ++i)
    if (platform::EqualsNoCase(parameters[i]->name, "bps")) return static_cast<int>(i);
  return -1;
}

void SetupWorker::SetValue(Parameter& parameter, const std::string& text) {
  // The link reads the settings under the exchange lock when it opens the port.
  std::lock_guard lock(App().exchangeLock);
  parameter.value = text;
}

void SetupWorker::ApplyFactorySettings() {
  auto& parameters = link_.Settings().parameters;
  for (size_t i = 0; i < parameters.size(); ++i) {
    Parameter& p = *parameters[i];
    if (platform::EqualsNoCase(p.name, "port")) continue;
    SetValue(p, p.initialValue);
    sink_.ShowValue(static_cast<int>(i), p.initialValue);
  }
}

std::string SetupWorker::FailureText(const std::vector<exchange::ConnectAttempt>& attempts) {
  std::string text = resources::LoadString(kStrLinkFailed);
  std::string reason = link_.OpenFailureReason();
  if (reason.empty()) reason = exchange::ConnectFailureReason(attempts);
  if (!reason.empty()) text += " " + reason;
  return text;
}

std::string SetupWorker::OpeningStatus() {
  const exchange::ConnectAttempt attempt = link_.LastAttempt();
  if (!attempt.failed && link_.OpenFailureReason().empty()) return {};
  return FailureText({attempt});
}

void SetupWorker::Run() {
  platform::Event& abort = link_.AbortEvent();
  for (;;) {
    const int which = platform::Event::WaitAny({&abort, &connect_, &scan_}, platform::Event::kInfinite);
    if (which == 0) break;
    if (which == 1) RunConnect();
    if (which == 2) RunScan();
  }
  finished_.Set();
  sink_.PostCommand(exitCommand_);
}

void SetupWorker::RunConnect() {
  sink_.EnableTable(false);
  const bool linked = link_.EstablishLink();
  sink_.EnableTable(true);
  if (linked) {
    sink_.SetStatus(resources::LoadString(kStrLinkEstablished), false);
    sink_.PostCommand(kCommandOk);
  } else if (!link_.AbortEvent().IsSet()) {
    sink_.SetStatus(FailureText({link_.LastAttempt()}), true);
  }
}

void SetupWorker::RunScan() {
  sink_.EnableTable(false);
  const int row = SpeedRow();
  if (row < 0) {
    sink_.EnableTable(true);
    return;
  }
  Parameter& speed = *link_.Settings().parameters[row];
  const ValueText kept = speed.value;
  platform::Event& abort = link_.AbortEvent();
  bool aborted = abort.IsSet();
  std::vector<exchange::ConnectAttempt> attempts;
  if (!aborted) {
    for (const std::string& item : SpeedItems(speed.type)) {
      SetValue(speed, item);
      sink_.ShowValue(row, item);
      sink_.SetStatus(platform::Format(resources::LoadString(kStrScanningAt).c_str(), item.c_str()), false);
      if (link_.EstablishLink()) {
        sink_.SetStatus(resources::LoadString(kStrLinkEstablished), false);
        sink_.EnableTable(true);
        sink_.PostCommand(kCommandOk);
        return;
      }
      attempts.push_back(link_.LastAttempt());
      if (abort.IsSet()) {
        aborted = true;
        break;
      }
    }
  }
  SetValue(speed, kept);
  sink_.ShowValue(row, kept);
  if (!aborted) sink_.SetStatus(FailureText(attempts), true);
  sink_.EnableTable(true);
}

}  // namespace PreStart
