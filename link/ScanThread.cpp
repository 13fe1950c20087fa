// The polling thread of the link: polls the parameters of the polled branch on
// their schedules and hands each outcome to the window as a poll record.
#include "link/ScanThread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <new>
#include <system_error>

#include "link/AppState.h"
#include "link/Device.h"
#include "link/PollSchedule.h"
#include "link/PollWindow.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/Prompter.h"

namespace exchange {

namespace {

constexpr size_t kMaxRecordText = 511;

// At most kMaxRecordText bytes, never cutting a UTF-8 character in two.
std::string RecordText(const std::string& text) {
  if (text.size() <= kMaxRecordText) return text;
  size_t end = kMaxRecordText;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

}  // namespace

bool PollTick(Parameter& parameter, DeviceIO& link, std::uint64_t generation) {
  if (!parameter.pollRunning.load()) return false;
  std::unique_ptr<PollResult> record(new (std::nothrow) PollResult);
  if (!record) return false;
  record->index = parameter.requestIndex;
  record->parameter = &parameter;
  record->generation = generation;
  if (link.ExchangeParameter(1, &parameter, nullptr, false) == 0)
    record->value = RecordText(parameter.value);
  else
    record->error = RecordText(parameter.note);
  return DeliverPollResult(std::move(record));
}

}  // namespace exchange

int Device::StartScanThread(DescBranch& polledBranch) {
  if (scanThread_.joinable()) return 0;
  std::vector<Parameter*> parameters;
  polledBranch.CollectPolledParameters(parameters);
  const std::uint64_t generation = App().pollResults.Generation();
  scanStop_.Reset();
  try {
    scanThread_ = std::thread([this, parameters, generation] { ScanThread(parameters, generation); });
  } catch (const std::system_error&) {
    platform::ShowMessage("Не могу запустить поток (ScanThread), необходимый для работы сканеров", "Error",
                          platform::MessageIcon::Error);
    return 1;
  }
  return 0;
}

void Device::StopScanThread() {
  if (!scanThread_.joinable()) return;
  scanStop_.Set();
  scanThread_.join();
  scanStop_.Reset();
}

void Device::ScanThread(std::vector<Parameter*> parameters, std::uint64_t generation) {
  // Polls wait for everything else; failing to lower the priority is harmless.
  if (lowScanPriority) setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
  exchange::PollSchedule schedule(std::move(parameters));
  ScanLoop(schedule, generation);
}

void Device::ScanLoop(exchange::PollSchedule& schedule, std::uint64_t generation) {
  using Clock = exchange::PollSchedule::Clock;
  platform::Event& cancel = Port().CancelEvent();
  platform::Event& changed = Parameter::PollingChanged();
  for (;;) {
    if (cancel.IsSet() || scanStop_.IsSet()) break;
    schedule.Refresh();
    const Clock::time_point now = Clock::now();
    if (Parameter* due = schedule.TakeDue(now)) {
      {
        std::lock_guard lock(App().exchangeLock);
        exchange::PollTick(*due, *this, generation);
      }
      // The rest of the time slice goes to a task or a connection that waits for the
      // link; with nobody waiting there is nobody to give it to.
      App().exchangeLock.LetWaitersIn();
      continue;
    }
    // Until the next expiry itself: a wait rounded up to whole milliseconds would
    // leave the line idle for most of a short period.
    const auto next = schedule.NextExpiry();
    const int woke = next ? platform::Event::WaitAnyUntil({&cancel, &scanStop_, &changed}, *next)
                          : platform::Event::WaitAny({&cancel, &scanStop_, &changed}, platform::Event::kInfinite);
    if (woke == 0 || woke == 1) break;
  }
  for (Parameter* p : schedule.Parameters()) p->StopPolling();
}
