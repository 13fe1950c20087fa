// Cost of reading a whole parameter tree as a task: the largest model's tree (built
// from its description) read by a read-all task through the transmit thread against
// the simulated module answering at once (no pause at the end of the task), beside
// as many bare write-poll-read round trips on the same pseudo-terminal as the task
// sent frames. Prints both and their ratio, and the walk's own cost per frame: the
// same task answered from the replies recorded on the line, without the port.
//
//   readall_bench [descriptions folder] [runs]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "BenchSupport.h"
#include "SimLinkSettings.h"
#include "Simulator.h"
#include "app/CPelmDoc.h"
#include "link/AppState.h"
#include "link/Device.h"
#include "link/ExchangeFrame.h"
#include "link/TaskWindow.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/Prompter.h"
#include "platform/Sio.h"

namespace {

using Clock = std::chrono::steady_clock;

// Message boxes of the parser go nowhere.
class QuietPrompter : public platform::Prompter {
 public:
  int Show(const platform::MessageRequest&) override { return platform::kAnswerOk; }
};

// The progress window: started on the calling thread, ended by the task; lines dropped.
class BenchWindow : public exchange::TaskWindow {
 public:
  bool RunTaskDialog(Device& device, int taskCode, int, int) override {
    {
      std::lock_guard lock(mutex_);
      ended_ = false;
    }
    device.OnTaskDialogCreated(taskCode);
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::minutes(5), [this] { return ended_; });
  }
  void PostProgressLine(exchange::ProgressLine) override {}
  void PostEndDialog() override {
    std::lock_guard lock(mutex_);
    ended_ = true;
    changed_.notify_all();
  }
  void PostMessageBox(platform::MessageRequest request) override {
    std::fprintf(stderr, "message: %s\n", request.text.c_str());
  }
  void PostApply() override {}
  void PostBatchSave() override {}
  bool MainWindowExists() const override { return true; }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool ended_ = false;
};

// The simulator's port, which keeps every reply; switched to replay, it answers
// the same requests from them without touching the line.
class RecordingPort : public Sio {
 public:
  bool replay = false;

  int Transact(const uint8_t* request, int length, uint8_t reply[kReplySize], int& count) override {
    std::string key(reinterpret_cast<const char*>(request), static_cast<size_t>(std::max(length, 0)));
    if (replay) {
      const auto it = replies_.find(key);
      count = 0;
      if (it == replies_.end()) return 2;
      count = static_cast<int>(it->second.size());
      std::copy(it->second.begin(), it->second.end(), reply);
      return 0;
    }
    const int result = Sio::Transact(request, length, reply, count);
    if (result == 0) replies_[std::move(key)] = std::string(reinterpret_cast<const char*>(reply), count);
    return result;
  }
  bool IsOpen() const override { return replay || Sio::IsOpen(); }

 private:
  std::unordered_map<std::string, std::string> replies_;
};

struct Tree {
  std::string name;
  std::unique_ptr<CPelmDoc> doc;
  int parameters = 0;
};

Tree LoadTree(const std::filesystem::path& file) {
  Tree tree;
  tree.name = file.stem().string();
  tree.doc = std::make_unique<CPelmDoc>();
  std::ifstream in(file);
  std::string line;
  bool skip = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (!tree.doc->ParseDescriptionLine(line, skip)) break;
  }
  if (tree.doc->rootBranch == nullptr) return tree;
  tree.doc->rootBranch->BuildParameters(*tree.doc, false, 0);
  tree.parameters = tree.doc->rootBranch->CountParametersToWrite(1);
  return tree;
}

struct Served {
  std::string type;
  int indexes = 0;
  bool attributes = false;
};

void Collect(const DescBranch& branch, std::map<std::string, Served>& out) {
  for (const auto& p : branch.parameters) {
    Served& s = out[p->name];
    if (s.type.empty()) s.type = p->type;
    if (p->indexed) s.indexes = std::max(s.indexes, p->linearIndex + 1);
    s.attributes = s.attributes || p->attributes != 0;
  }
  for (const auto& child : branch.children) Collect(*child, out);
}

// The module's table: its built-in parameters and every parameter of the tree.
z580sim::ParameterTable ServedTable(int model, const DescBranch& root) {
  z580sim::ParameterTable table = z580sim::BuiltInTable(model);
  std::map<std::string, Served> served;
  Collect(root, served);
  for (const auto& [name, s] : served) {
    if (table.Find(name) != nullptr) continue;
    z580sim::ParameterSpec spec;
    if (!z580sim::SpecFromTypeText(name, s.type, spec)) continue;
    spec.readOnly = false;
    spec.indexCount = s.indexes;
    spec.hasAttributes = s.attributes;
    table.Add(spec);
  }
  return table;
}

int CountNotes(const DescBranch& branch) {
  int n = 0;
  for (const auto& p : branch.parameters) n += p->note.empty() ? 0 : 1;
  for (const auto& child : branch.children) n += CountNotes(*child);
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path folder = argc > 1 ? argv[1] : Z580_SOURCE_DIR "/data/descriptions";
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;

  const std::string config = bench::UsePrivateSettingsFolder();
  if (config.empty()) return 1;
  QuietPrompter quiet;
  platform::SetPrompter(&quiet);

  // The largest tree.
  Tree largest;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (entry.path().extension() != ".tree") continue;
    Tree tree = LoadTree(entry.path());
    if (tree.parameters > largest.parameters) largest = std::move(tree);
  }
  if (largest.parameters == 0) {
    std::fprintf(stderr, "no description with parameters in %s\n", folder.c_str());
    return 1;
  }
  DescBranch& root = *largest.doc->rootBranch;

  z580sim::SimConfig simConfig;
  simConfig.model = 0;
  simConfig.line.baud = 115200;
  z580sim::Simulator sim(simConfig, ServedTable(simConfig.model, root));
  std::string error;
  if (!sim.Start(&error)) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    return 1;
  }

  BenchWindow window;
  exchange::SetTaskWindow(&window);
  std::vector<double> taskMs;
  std::vector<double> bareMs;
  std::vector<double> ratios;
  std::vector<double> walkMs;
  size_t frames = 0;
  int failed = 0;
  // The bare round trips use the same line beside the link's port.
  const std::string request =
      exchange::EncodeRequest(1, Parameter::HashOfName("Addr"), nullptr, 0, {8, 16, 0});
  {
    Device device;
    device.finishPauseMs = 0;
    auto recording = std::make_unique<RecordingPort>();
    RecordingPort& port = *recording;
    device.ReplacePort(std::move(recording));
    z580sim::MatchPortSettings(device.Settings(), sim);
    if (device.OpenPort(false) != 0) {
      std::fprintf(stderr, "cannot open %s\n", sim.SlavePath().c_str());
      return 1;
    }
    const int fd = bench::OpenRawSlave(sim.SlavePath());
    if (fd < 0) return 1;
    // A task and as many bare round trips in turn, so that a change of the
    // machine's load meets both alike.
    for (int run = 0; run < runs; ++run) {
      sim.ClearRequests();
      const auto start = Clock::now();
      if (!device.StartReadTask(root)) {
        std::fprintf(stderr, "the task did not run\n");
        return 1;
      }
      // The transmit thread holds the exchange lock until the task has ended.
      { std::lock_guard lock(App().exchangeLock); }
      taskMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      frames = sim.Requests().size();

      const auto bareStart = Clock::now();
      for (size_t i = 0; i < frames; ++i) {
        if (!bench::BareRoundTrip(fd, request)) {
          std::fprintf(stderr, "bare round trip %zu failed\n", i);
          return 1;
        }
      }
      bareMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - bareStart).count());
      ratios.push_back(taskMs.back() / bareMs.back());
    }
    ::close(fd);
    failed = CountNotes(root);
    // The same task with the replies at hand: what the walk itself costs.
    port.replay = true;
    for (int run = 0; run < runs; ++run) {
      const auto start = Clock::now();
      if (!device.StartReadTask(root)) return 1;
      { std::lock_guard lock(App().exchangeLock); }
      walkMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    port.replay = false;
    device.StopThreads();
    device.Port().Close();
  }
  exchange::SetTaskWindow(nullptr);
  sim.Stop();
  const std::string cleanup = std::string("rm -rf '") + config + "'";
  if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", config.c_str());

  const double task = bench::Median(taskMs);
  const double bare = bench::Median(bareMs);
  std::printf("tree:                 %s, %d parameters, %zu frames per read-all\n", largest.name.c_str(),
              largest.parameters, frames);
  std::printf("read-all task:        median %.1f ms over %d runs (%.1f us per frame)\n", task, runs,
              task * 1000.0 / static_cast<double>(frames));
  std::printf("bare round trips:     median %.1f ms over %d runs (%.1f us per frame)\n", bare, runs,
              bare * 1000.0 / static_cast<double>(frames));
  const double walk = bench::Median(walkMs);
  std::printf("ratio:                %.2f (median of the runs' ratios; target <= 2.5)\n", bench::Median(ratios));
  std::printf("walk's own cost:      %.2f us per frame (%.2f bare round trips), median over %d runs\n",
              walk * 1000.0 / static_cast<double>(frames), walk / bare, runs);
  if (failed != 0) std::printf("parameters not read:  %d (the module answered with an error)\n", failed);
  return 0;
}
