// The polling thread's own cost: 50 parameters polled every 10 ms against a module
// that answers at once, for 5 s. Prints the polls done beside the bare round trips
// of the same request possible in the same time on the same pseudo-terminal, and the
// window thread's drain time per poll record.
//
// The polling thread is started for each slice, and a thread that has just started
// gets fewer round trips from this machine's scheduler than the long-running main
// thread with the same loop: the bare loop that the ratios divide by runs on a
// thread of its own each slice too. The bare loop on the main thread is printed
// beside it.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
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
constexpr auto kRunTime = std::chrono::seconds(5);
// The machine's load changes while the bench runs: the bare loop and the polls take
// turns in slices, so that both see the same conditions.
constexpr int kSlices = 5;
constexpr auto kSlice = kRunTime / kSlices;

// Rows that keep their texts and colour, as cheap as a tree control can be.
class BenchRows : public PelmTreeRows {
 public:
  struct Row {
    std::string texts[6];
    model::ColorRef colour = 0;
  };
  std::map<model::TreeItem, Row> rows;

  model::TreeItem InsertItem(CObject*, const std::string&, int, int, model::RowEditor, model::TreeItem,
                             bool) override {
    return model::kNoItem;
  }
  void SetItemTexts(model::TreeItem, const std::string*, const std::string*, const std::string*,
                    const std::string*, const std::string*, model::ColorRef) override {}
  void SetItemText(model::TreeItem row, int column, const std::string& text) override {
    if (column >= 0 && column < 6) rows[row].texts[column] = text;
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

void RunPolls(z580sim::Simulator& sim, int periodMs, PollRun& out) {
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
    const auto end = Clock::now() + kSlice;
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
bool BareSlice(z580sim::Simulator& sim, const std::string& request, bool ownThread, long& count) {
  const int fd = bench::OpenRawSlave(sim.SlavePath());
  if (fd < 0) return false;
  bool ok = true;
  const auto loop = [&] {
    for (const auto end = Clock::now() + kSlice; ok && Clock::now() < end;) {
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

}  // namespace

int main() {
  const std::string folder = bench::UsePrivateSettingsFolder();
  if (folder.empty()) return 1;

  z580sim::SimConfig config;
  config.model = 2;
  config.line.baud = 115200;
  z580sim::Simulator sim(config);
  std::string error;
  if (!sim.Start(&error)) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    return 1;
  }
  const uint16_t hash = Parameter::HashOfName("Addr");

  const std::string request = exchange::EncodeRequest(1, hash, nullptr, 0, {8, 16, 0});
  long bare = 0, bareOnMain = 0;
  PollRun run, saturated;
  for (int slice = 0; slice < kSlices; ++slice) {
    if (!BareSlice(sim, request, true, bare) || !BareSlice(sim, request, false, bareOnMain)) return 1;
    RunPolls(sim, kPeriodMs, run);
    // Saturated: every parameter every millisecond asks for more than the line carries.
    RunPolls(sim, 1, saturated);
  }
  if (!run.ok || !saturated.ok) return 1;
  sim.Stop();
  const std::string cleanup = std::string("rm -rf '") + folder + "'";
  if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", folder.c_str());

  // The schedule asks for fewer polls than the line could carry: the polls done are
  // measured against the smaller of the two.
  const long asked = static_cast<long>(kParameters * (kRunTime / std::chrono::milliseconds(kPeriodMs)));
  const long possible = std::min(asked, bare);
  std::printf("bare round trips:     %ld in %lld s (a thread of its own each slice)\n", bare,
              static_cast<long long>(kRunTime.count()));
  std::printf("polls done:           %ld (%d parameters every %d ms: %ld asked for)\n", run.polls, kParameters,
              kPeriodMs, asked);
  std::printf("ratio:                %.2f (polls done / the smaller of asked and bare)\n",
              possible > 0 ? static_cast<double>(run.polls) / possible : 0.0);
  std::printf("saturated polls:      %ld (%d parameters every 1 ms)\n", saturated.polls, kParameters);
  std::printf("saturated ratio:      %.2f (polls done / bare)\n",
              bare > 0 ? static_cast<double>(saturated.polls) / bare : 0.0);
  std::printf("bare on main thread:  %ld (saturated ratio against it: %.2f)\n", bareOnMain,
              bareOnMain > 0 ? static_cast<double>(saturated.polls) / bareOnMain : 0.0);
  const long drained = run.drained + saturated.drained;
  const double seconds = run.drainSeconds + saturated.drainSeconds;
  std::printf("drain per record:     %.2f us over %ld records\n", drained > 0 ? seconds * 1e6 / drained : 0.0,
              drained);
  for (const PollRun* r : {&run, &saturated})
    if (r->failed > 0) std::printf("rows with an error:   %ld (%s)\n", r->failed, r->firstError.c_str());
  return 0;
}
