// startup_bench: from process start to the first painted parameter tree (offscreen)
// against the simulated module answering at once, beside an empty window started
// the same way plus the same number of bare pseudo-terminal round trips as the
// start-up exchanged. Prints the ratio total / (empty window + round trips), the
// program's own steps as seen from its events, and a window with one line of text:
// what the desktop's fonts cost before anything else is drawn.
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QWidget>
#include <chrono>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "BenchSupport.h"
#include "Simulator.h"
#include "app/CmyCommandLineInfo.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CPelmApp.h"
#include "app/ui/CPelmTreeListCtrl.h"
#include "app/ui/CPelmTreeListView.h"
#include "link/AppState.h"
#include "link/ExchangeFrame.h"
#include "model/Parameter.h"

namespace {

using Clock = std::chrono::steady_clock;

// The moments a child saw, as steady-clock times; written after the signal byte.
std::vector<std::pair<std::string, Clock::time_point>>& Moments() {
  static std::vector<std::pair<std::string, Clock::time_point>> moments;
  return moments;
}

void Mark(const char* name) {
  for (const auto& moment : Moments())
    if (moment.first == name) return;
  Moments().emplace_back(name, Clock::now());
}

void Signal(int fd) {
  const char byte = 1;
  if (::write(fd, &byte, 1) != 1) std::_Exit(3);
  std::string lines;
  for (const auto& [name, at] : Moments())
    lines += name + " " + std::to_string(at.time_since_epoch().count()) + "\n";
  if (::write(fd, lines.data(), lines.size()) != static_cast<ssize_t>(lines.size())) std::_Exit(3);
  ::close(fd);
}

// Reports the first paint of a widget, once the condition holds (then quits).
class FirstPaint : public QObject {
 public:
  FirstPaint(int fd, std::function<bool()> ready, std::function<void()> done)
      : fd_(fd), ready_(std::move(ready)), done_(std::move(done)) {}
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Paint && fd_ >= 0 && ready_()) {
      Signal(fd_);
      fd_ = -1;
      QMetaObject::invokeMethod(QCoreApplication::instance(), done_, Qt::QueuedConnection);
    }
    return QObject::eventFilter(object, event);
  }

 private:
  int fd_;
  std::function<bool()> ready_;
  std::function<void()> done_;
};

// The program's steps as its events show them, without a hook in the program: the
// splash's first paint, the main window's first child (the document is made, the
// module connected), the main window shown.
class StepWatch : public QObject {
 public:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Paint && object->inherits("CBitmapStatic")) Mark("splash");
    if (event->type() == QEvent::ChildAdded && object->inherits("QMainWindow")) Mark("connected");
    if (event->type() == QEvent::Show && object->inherits("QMainWindow")) Mark("shown");
    return false;
  }
};

// The program's start, as its main does, reporting the first paint of the filled tree.
int ChildProgram(int fd, int argc, char** argv) {
  CPelmApp application(argc, argv, CmyCommandLineInfo("/"));
  Mark("application");
  StepWatch steps;
  application.installEventFilter(&steps);
  if (!application.InitInstance()) return 2;
  CPelmTreeListCtrl* tree = application.MainFrame()->View()->PelmTree();
  FirstPaint watch(
      fd, [tree] { return tree->topLevelItemCount() > 0; },
      [&application] { application.MainFrame()->CloseFromProgram(); });
  tree->viewport()->installEventFilter(&watch);
  application.exec();
  return application.ExitInstance();
}

// An empty window, or one with a line of text in the desktop's font.
int ChildWindow(int fd, int argc, char** argv, bool withText) {
  QApplication application(argc, argv);
  Mark("application");
  QWidget window;
  std::unique_ptr<QLabel> text;
  if (withText) text = std::make_unique<QLabel>(QStringLiteral("Инициализация..."), &window);
  FirstPaint watch(fd, [] { return true; }, [] { QCoreApplication::quit(); });
  (text ? static_cast<QWidget&>(*text) : window).installEventFilter(&watch);
  window.showMaximized();
  return application.exec();
}

struct ChildRun {
  double total = -1;                     // ms to the first paint; < 0: failed
  std::map<std::string, double> steps;  // ms from the start to each moment
};

// Starts this program in the mode and times it to its signal.
ChildRun TimeChild(const char* self, const char* mode) {
  ChildRun run;
  int fds[2];
  if (pipe(fds) != 0) return run;
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    ::close(fds[0]);
    const std::string fd = std::to_string(fds[1]);
    execl(self, self, mode, fd.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  ::close(fds[1]);
  char byte = 0;
  const bool signalled = ::read(fds[0], &byte, 1) == 1;
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  std::string lines;
  char buffer[512];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) lines.append(buffer, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!signalled) return run;
  run.total = ms;
  std::istringstream in(lines);
  std::string name;
  Clock::rep at = 0;
  while (in >> name >> at)
    run.steps[name] = std::chrono::duration<double, std::milli>(Clock::time_point(Clock::duration(at)) - start).count();
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  Mark("main");
  if (argc == 3) {
    int childArgc = 1;
    const std::string mode = argv[1];
    if (mode == "--child-program") return ChildProgram(std::atoi(argv[2]), childArgc, argv);
    if (mode == "--child-empty") return ChildWindow(std::atoi(argv[2]), childArgc, argv, false);
    if (mode == "--child-text") return ChildWindow(std::atoi(argv[2]), childArgc, argv, true);
  }
  const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 7;

  const std::string folder = bench::UsePrivateSettingsFolder();
  if (folder.empty()) return 1;
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);

  const std::string data = GetProgramDirectory("../app/ui/");
  z580sim::ParameterTable table;
  std::string error;
  if (!z580sim::LoadTableFromDescriptionPath(19, data, table, &error)) {
    std::fprintf(stderr, "descriptions: %s\n", error.c_str());
    return 1;
  }
  z580sim::SimConfig config;
  config.model = 19;
  config.logLimit = 100000;
  config.line.baud = 115200;
  z580sim::Simulator sim(config, std::move(table));
  if (!sim.Start(&error)) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    return 1;
  }
  std::filesystem::create_directories(folder + "/TEVI");
  std::ofstream(folder + "/TEVI/HKEY_CURRENT_USER.ini")
      << "[Software\\TEVI\\Zt580]\n\"port_path\"=\"" << sim.SlavePath() << "\"\n\"baud_rate\"=dword:0001c200\n";

  std::vector<double> program, empty, text, trips;
  // Each step's share of the program's start, as the time from the step before.
  const std::vector<std::pair<const char*, const char*>> steps = {
      {"main", "loading, to main()"},
      {"application", "application object"},
      {"splash", "to the splash's first paint"},
      {"connected", "the splash up, module connected"},
      {"shown", "menus, toolbar, tree, shown"},
      {"painted", "first paint of the tree"}};
  std::map<std::string, std::vector<double>> shares;
  size_t requests = 0;
  for (int i = 0; i < runs; ++i) {
    sim.ClearRequests();
    ChildRun p = TimeChild(argv[0], "--child-program");
    requests = sim.Requests().size();
    const ChildRun e = TimeChild(argv[0], "--child-empty");
    const ChildRun x = TimeChild(argv[0], "--child-text");
    if (p.total < 0 || e.total < 0 || x.total < 0) {
      std::fprintf(stderr, "a child did not report its first paint\n");
      return 1;
    }
    program.push_back(p.total);
    empty.push_back(e.total);
    text.push_back(x.total);
    p.steps["painted"] = p.total;
    double before = 0;
    for (const auto& [step, caption] : steps) {
      const auto at = p.steps.find(step);
      if (at == p.steps.end()) continue;
      shares[step].push_back(at->second - before);
      before = at->second;
    }
    // The same number of bare round trips as the start-up made.
    const int fd = bench::OpenRawSlave(sim.SlavePath());
    if (fd < 0) return 1;
    const std::string request = exchange::EncodeRequest(1, Parameter::HashOfName("dev"), nullptr, 0, {8, 16, 0});
    const auto start = Clock::now();
    for (size_t r = 0; r < requests; ++r)
      if (!bench::BareRoundTrip(fd, request)) return 1;
    trips.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    ::close(fd);
  }
  sim.Stop();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);

  const double p = bench::Median(program), e = bench::Median(empty), t = bench::Median(trips);
  std::printf("start to painted tree:  median %.1f ms over %d (%zu requests)\n", p, runs, requests);
  for (const auto& [step, caption] : steps)
    if (shares[step].size() == program.size()) std::printf("  %-36s %5.1f ms\n", caption, bench::Median(shares[step]));
  std::printf("empty window:           median %.1f ms\n", e);
  std::printf("one line of text:       median %.1f ms (%.2f of the empty window)\n", bench::Median(text),
              bench::Median(text) / e);
  std::printf("bare round trips:       median %.1f ms\n", t);
  std::printf("ratio:                  %.2f\n", p / (e + t));
  return 0;
}
