// The polling thread's own cost: 50 parameters polled every 10 ms, and every 1 ms
// (saturated: more than the line carries), against a module that answers at once.
// Prints the polls done beside the bare round trips of a request on the same
// pseudo-terminal, the window thread's drain time per poll record, and every polled
// value that is not the one the module holds for that row.
//
// The polling thread and the bare loop each run on a thread of their own for the
// whole run, the polling thread at the priority the program gives it; they take
// turns in many short slices, so that both see the same load, and a ratio is the
// median of the ratios of neighbouring slices: a slice disturbed by the machine
// moves the median little. A thread just started gets fewer round trips from this
// machine's scheduler than a long-running one, which is not the polling's cost.
//
// The figures of the earlier way of measuring (a polling thread and a bare loop
// started anew for each of five long slices, the polling thread at normal priority,
// the ratio of the sums) are printed beside, until the change has been seen.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "SimLinkSettings.h"
#include "Simulator.h"
#include "app/PollDrain.h"
#include "link/AppState.h"
#include "link/Device.h"
#include "link/ExchangeFrame.h"
#include "link/PollWindow.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kParameters = 50;
constexpr int kPeriodMs = 10;
constexpr int kRounds = 40;
constexpr auto kSlice = std::chrono::milliseconds(100);
// The earlier way: five slices of a second.
constexpr auto kOldRunTime = std::chrono::seconds(5);
constexpr int kOldSlices = 5;
constexpr auto kOldSlice = kOldRunTime / kOldSlices;
// The module of the bench has a reading on four channels (four addresses) and two
// single values; the polled parameters go round them, so that a value shown in
// another row than its own is seen.
constexpr int kModel = 14;
struct Polled {
  const char* name;
  const char* type;
  int channel;
};
constexpr Polled kPolled[] = {{"rEAd", "float", 0}, {"rEAd", "float", 1}, {"rEAd", "float", 2},
                              {"rEAd", "float", 3}, {"Addr", "int", 0},   {"SEr.n", "int", 0}};

// Rows that keep their texts and colour, as cheap as a tree control can be.
class BenchRows : public PelmTreeRows {
 public:
  struct Row {
    std::string texts[6];
    model::ColorRef colour = 0;
  };
  std::map<model::TreeItem, Row> rows;
  // The value each row must show; a row without one is not checked.
  std::map<model::TreeItem, std::string> expected;
  long wrong = 0;

  model::TreeItem InsertItem(CObject*, const std::string&, int, int, model::RowEditor, model::TreeItem,
                             bool) override {
    return model::kNoItem;
  }
  void SetItemTexts(model::TreeItem, const std::string*, const std::string*, const std::string*,
                    const std::string*, const std::string*, model::ColorRef) override {}
  void SetItemText(model::TreeItem row, int column, const std::string& text) override {
    if (column < 0 || column >= 6) return;
    rows[row].texts[column] = text;
    // Column 2 shows the value polled, empty after a failure.
    const auto want = expected.find(row);
    if (column != 2 || text.empty() || want == expected.end() || text == want->second) return;
    if (wrong++ < 10)
      std::printf("WRONG VALUE: row %d shows \"%s\", the module holds \"%s\"\n", static_cast<int>(row), text.c_str(),
                  want->second.c_str());
  }
  void SetItemColor(model::TreeItem row, model::ColorRef colour) override { rows[row].colour = colour; }
  void SetItemStateImage(model::TreeItem, int) override {}
  void SetItemDisabled(model::TreeItem, bool) override {}
  model::TreeItem GetChildItem(model::TreeItem) override { return model::kNoItem; }
  model::TreeItem GetNextSiblingItem(model::TreeItem) override { return model::kNoItem; }
  CObject* GetItemObject(model::TreeItem) override { return nullptr; }
  std::string GetItemText(model::TreeItem row, int column) override { return rows[row].texts[column]; }
  model::TreeItem GetParentItem(model::TreeItem) override { return model::kNoItem; }
  model::TreeItem GetPrevSiblingItem(model::TreeItem) override { return model::kNoItem; }
  model::TreeItem GetRootItem() override { return model::kNoItem; }
  model::TreeItem GetSelectedItem() override { return model::kNoItem; }
  void SelectItem(model::TreeItem) override {}
  void Expand(model::TreeItem) override {}
  int GetItemStateImage(model::TreeItem) override { return 0; }
  void SetItemBold(model::TreeItem, bool) override {}
  model::TreeItem InsertItemFirst(CObject*, const std::string&, int, int, model::TreeItem) override {
    return model::kNoItem;
  }
};

// The window thread below drains on its own schedule: a post needs no answer.
class DrainingWindow : public exchange::PollWindow {
 public:
  void PostPollResults() override {}
};

struct PollRun {
  bool ok = false;
  long polls = 0, failed = 0, drained = 0;
  double drainSeconds = 0;
  std::string firstError;
};

void OldRunPolls(z580sim::Simulator& sim, int periodMs, PollRun& out) {
  out.ok = false;
  {
    Device device;
    // Measured at the priority of the bare loop beside it.
    device.lowScanPriority = false;
    z580sim::MatchPortSettings(device.Settings(), sim);
    device.ApplyPortSettings();
    if (device.Port().Open() != 0) {
      std::fprintf(stderr, "cannot open %s\n", sim.SlavePath().c_str());
      return;
    }
    DescBranch scanners;
    scanners.elementName = "scanners";
    for (int i = 0; i < kParameters; ++i) {
      Parameter& p = scanners.AddParameter(std::make_unique<Parameter>("Addr"));
      p.type = "int";
      p.pollPeriod = periodMs;
      p.linearIndex = 0;  // the channel: the module itself
      p.treeItem = static_cast<model::TreeItem>(i + 1);
    }
    scanners.PreparePolling();
    DrainingWindow window;
    exchange::SetPollWindow(&window);
    BenchRows rows;
    if (device.StartScanThread(scanners) != 0) return;
    for (auto& p : scanners.parameters) p->StartPolling();

    // The window thread: drains whatever has come in.
    const long drainedBefore = out.drained;
    const auto end = Clock::now() + kOldSlice;
    while (Clock::now() < end) {
      const auto start = Clock::now();
      const int n = DrainPollResults(App().pollResults, rows, nullptr);
      if (n > 0) {
        out.drainSeconds += std::chrono::duration<double>(Clock::now() - start).count();
        out.drained += n;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    device.StopScanThread();
    exchange::SetPollWindow(nullptr);
    const auto start = Clock::now();
    const int n = DrainPollResults(App().pollResults, rows, nullptr);
    out.drainSeconds += std::chrono::duration<double>(Clock::now() - start).count();
    out.drained += n;
    out.polls += out.drained - drainedBefore;
    for (const auto& [row, r] : rows.rows) {
      if (r.texts[5].empty()) continue;
      if (out.failed++ == 0) out.firstError = r.texts[5];
    }
  }
  out.ok = true;
}

// One slice of bare round trips, counted into `count`, on a thread started for it
// (as the polling thread is) or on this one; false when a round trip failed.
bool OldBareSlice(z580sim::Simulator& sim, const std::string& request, bool ownThread, long& count) {
  const int fd = bench::OpenRawSlave(sim.SlavePath());
  if (fd < 0) return false;
  bool ok = true;
  const auto loop = [&] {
    for (const auto end = Clock::now() + kOldSlice; ok && Clock::now() < end;) {
      ok = bench::BareRoundTrip(fd, request);
      if (ok) ++count;
    }
  };
  if (ownThread)
    std::thread(loop).join();
  else
    loop();
  ::close(fd);
  if (!ok) std::fprintf(stderr, "bare round trip %ld failed\n", count);
  return ok;
}

// The bare loop: one thread for the whole run, on the pseudo-terminal's slave side
// opened once, running round trips for one slice whenever it is asked.
class BareLoop {
 public:
  BareLoop(int fd, std::string request) : fd_(fd), request_(std::move(request)), thread_([this] { Run(); }) {}
  ~BareLoop() {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  // Round trips for one slice; -1 when one failed.
  long Slice() {
    std::unique_lock lock(mutex_);
    count_ = 0;
    go_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return !go_; });
    return failed_ ? -1 : count_;
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return go_ || quit_; });
      if (quit_) return;
      lock.unlock();
      long count = 0;
      bool ok = true;
      for (const auto end = Clock::now() + kSlice; ok && Clock::now() < end;) {
        ok = bench::BareRoundTrip(fd_, request_);
        if (ok) ++count;
      }
      lock.lock();
      count_ = count;
      failed_ = failed_ || !ok;
      go_ = false;
      changed_.notify_all();
    }
  }

  const int fd_;
  const std::string request_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool go_ = false, quit_ = false, failed_ = false;
  long count_ = 0;
  std::thread thread_;
};

struct Figures {
  std::vector<double> ratios;
  long polls = 0, failed = 0, drained = 0;
  double drainSeconds = 0;
  std::string firstError;
};

// The window thread's part of one slice: the polled parameters armed at the period,
// every record drained as it comes, then the polling paused. Polls done.
long PollSlice(std::vector<Parameter*>& parameters, int periodMs, BenchRows& rows, Figures& out) {
  for (Parameter* p : parameters) {
    p->pollPeriod = periodMs;
    p->StartPolling();
  }
  long polls = 0;
  const auto drain = [&] {
    const auto start = Clock::now();
    const int n = DrainPollResults(App().pollResults, rows, nullptr);
    if (n > 0) out.drainSeconds += std::chrono::duration<double>(Clock::now() - start).count();
    polls += n;
    return n;
  };
  for (const auto end = Clock::now() + kSlice; Clock::now() < end;)
    if (drain() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  for (Parameter* p : parameters) p->StopPolling();
  // A poll under way holds the exchange lock: once it is free, no poll runs and
  // none starts, so the bare loop has the line to itself.
  { std::lock_guard lock(App().exchangeLock); }
  drain();
  out.polls += polls;
  out.drained += polls;
  return polls;
}

// The figures of this way of measuring; false when it could not run.
bool Measure(z580sim::Simulator& sim, const std::string& request, Figures& scheduled, Figures& saturated,
             long& bareTotal, long& wrong) {
  Device device;
  z580sim::MatchPortSettings(device.Settings(), sim);
  device.ApplyPortSettings();
  if (device.Port().Open() != 0) {
    std::fprintf(stderr, "cannot open %s\n", sim.SlavePath().c_str());
    return false;
  }
  BenchRows rows;
  DescBranch scanners;
  scanners.elementName = "scanners";
  for (int i = 0; i < kParameters; ++i) {
    const Polled& polled = kPolled[static_cast<size_t>(i) % std::size(kPolled)];
    Parameter& p = scanners.AddParameter(std::make_unique<Parameter>(polled.name));
    p.type = polled.type;
    p.linearIndex = polled.channel;
    p.treeItem = static_cast<model::TreeItem>(i + 1);
    // What the module holds, in the words the row shows it.
    z580sim::Bytes held;
    Parameter convert(polled.name);
    convert.type = polled.type;
    std::string text;
    if (!sim.GetValue(polled.name, polled.channel, held) || convert.ConvertDataToText(held, text) != MyConverter::kConverted) {
      std::fprintf(stderr, "the module holds no %s on channel %d\n", polled.name, polled.channel);
      return false;
    }
    rows.expected[p.treeItem] = text;
  }
  scanners.PreparePolling();
  std::vector<Parameter*> parameters;
  scanners.CollectPolledParameters(parameters);
  DrainingWindow window;
  exchange::SetPollWindow(&window);
  if (device.StartScanThread(scanners) != 0) return false;

  const int fd = bench::OpenRawSlave(sim.SlavePath());
  bool ok = fd >= 0;
  if (ok) {
    BareLoop bare(fd, request);
    for (int round = 0; ok && round < kRounds; ++round) {
      // Every other round the other way round: a drift of the machine's load
      // favours neither side.
      long count = 0, polls = 0, full = 0;
      const auto slices = [&] {
        polls = PollSlice(parameters, kPeriodMs, rows, scheduled);
        full = PollSlice(parameters, 1, rows, saturated);
      };
      if (round % 2 == 1) slices();
      count = bare.Slice();
      if (round % 2 == 0) slices();
      if (count <= 0) {
        std::fprintf(stderr, "a bare round trip failed in round %d\n", round);
        ok = false;
        break;
      }
      bareTotal += count;
      // The first expiry comes a period after the parameters are armed, and the one at
      // the slice's very end is not the slice's to serve.
      const long asked = kParameters * ((kSlice - std::chrono::milliseconds(1)) / std::chrono::milliseconds(kPeriodMs));
      scheduled.ratios.push_back(static_cast<double>(polls) / static_cast<double>(std::min(asked, count)));
      saturated.ratios.push_back(static_cast<double>(full) / static_cast<double>(count));
    }
  }
  if (fd >= 0) ::close(fd);
  device.StopScanThread();
  exchange::SetPollWindow(nullptr);
  DrainPollResults(App().pollResults, rows, nullptr);
  for (const auto& [row, r] : rows.rows) {
    if (r.texts[5].empty()) continue;
    if (saturated.failed++ == 0) saturated.firstError = r.texts[5];
  }
  wrong = rows.wrong;
  return ok;
}

}  // namespace

int main() {
  const std::string folder = bench::UsePrivateSettingsFolder();
  if (folder.empty()) return 1;

  z580sim::SimConfig config;
  config.model = kModel;
  config.line.baud = 115200;
  z580sim::Simulator sim(config);
  // Four channels that differ, so that one shown in another's row is seen.
  const z580sim::Bytes readings[] = {{0x3F, 0xC0, 0, 0}, {0x40, 0x20, 0, 0}, {0xC0, 0x50, 0, 0}, {0x42, 0xC8, 0, 0}};
  for (int channel = 0; channel < 4; ++channel) sim.SetValue("rEAd", channel, readings[channel]);
  std::string error;
  if (!sim.Start(&error)) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    return 1;
  }
  const uint16_t hash = Parameter::HashOfName("Addr");
  const std::string request = exchange::EncodeRequest(1, hash, nullptr, 0, {8, 16, 0});

  Figures scheduled, saturated;
  long bare = 0, wrong = 0;
  if (!Measure(sim, request, scheduled, saturated, bare, wrong)) return 1;

  // The earlier way, for comparison.
  long oldBare = 0, oldBareOnMain = 0;
  PollRun oldRun, oldSaturated;
  for (int slice = 0; slice < kOldSlices; ++slice) {
    if (!OldBareSlice(sim, request, true, oldBare) || !OldBareSlice(sim, request, false, oldBareOnMain)) return 1;
    OldRunPolls(sim, kPeriodMs, oldRun);
    OldRunPolls(sim, 1, oldSaturated);
  }
  if (!oldRun.ok || !oldSaturated.ok) return 1;
  sim.Stop();
  const std::string cleanup = std::string("rm -rf '") + folder + "'";
  if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", folder.c_str());

  const double seconds = std::chrono::duration<double>(kSlice * kRounds).count();
  const long asked = static_cast<long>(kParameters * (kOldRunTime / std::chrono::milliseconds(kPeriodMs)));
  const long oldPossible = std::min(asked, oldBare);
  std::printf("%d rounds of %lld ms slices (bare, every %d ms, every 1 ms); the polling thread at the program's "
              "priority\n",
              kRounds, static_cast<long long>(kSlice.count()), kPeriodMs);
  std::printf("%-22s %14s   %s\n", "", "now", "the earlier way (5 slices of 1 s, each on a new thread)");
  std::printf("%-22s %8ld in %.0f s %8ld in %lld s\n", "bare round trips:", bare, seconds, oldBare,
              static_cast<long long>(kOldRunTime.count()));
  std::printf("%-22s %14ld %14ld\n", "polls every 10 ms:", scheduled.polls, oldRun.polls);
  std::printf("%-22s %14.2f %14.2f   (polls done / the smaller of asked and bare%s)\n", "ratio:",
              bench::Median(scheduled.ratios), oldPossible > 0 ? static_cast<double>(oldRun.polls) / oldPossible : 0.0,
              "; now the median of the slices");
  std::printf("%-22s %14ld %14ld\n", "saturated polls:", saturated.polls, oldSaturated.polls);
  std::printf("%-22s %14.2f %14.2f   (polls done / bare; now the median of the slices)\n", "saturated ratio:",
              bench::Median(saturated.ratios), oldBare > 0 ? static_cast<double>(oldSaturated.polls) / oldBare : 0.0);
  std::printf("%-22s %14s %14.2f   (the earlier bare loop on the main thread: %ld)\n", "", "", 
              oldBareOnMain > 0 ? static_cast<double>(oldSaturated.polls) / oldBareOnMain : 0.0, oldBareOnMain);
  const long drained = scheduled.drained + saturated.drained;
  std::printf("%-22s %11.2f us   over %ld records\n", "drain per record:",
              drained > 0 ? (scheduled.drainSeconds + saturated.drainSeconds) * 1e6 / drained : 0.0, drained);
  if (saturated.failed > 0) std::printf("rows with an error:    %ld (%s)\n", saturated.failed, saturated.firstError.c_str());
  std::printf("wrong values:          %ld\n", wrong);
  return wrong == 0 ? 0 : 2;
}
