// startup_bench: from process start to the first painted parameter tree (offscreen)
// against the simulated module answering at once, beside an empty window started
// the same way plus the same number of bare pseudo-terminal round trips as the
// start-up exchanged. Prints the ratio total / (empty window + round trips).
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <chrono>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
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

void Signal(int fd) {
  const char byte = 1;
  if (::write(fd, &byte, 1) != 1) std::_Exit(3);
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

// The program's start, as its main does, reporting the first paint of the filled tree.
int ChildProgram(int fd, int argc, char** argv) {
  CPelmApp application(argc, argv, CmyCommandLineInfo("/"));
  if (!application.InitInstance()) return 2;
  CPelmTreeListCtrl* tree = application.MainFrame()->View()->PelmTree();
  FirstPaint watch(
      fd, [tree] { return tree->topLevelItemCount() > 0; },
      [&application] { application.MainFrame()->CloseFromProgram(); });
  tree->viewport()->installEventFilter(&watch);
  application.exec();
  return application.ExitInstance();
}

int ChildEmpty(int fd, int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  FirstPaint watch(fd, [] { return true; }, [] { QCoreApplication::quit(); });
  window.installEventFilter(&watch);
  window.showMaximized();
  return application.exec();
}

// Starts this program in the mode; the time until it signalled, in ms (< 0: failed).
double TimeChild(const char* self, const char* mode) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
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
  ::close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return signalled ? ms : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--child-program") {
    int childArgc = 1;
    return ChildProgram(std::atoi(argv[2]), childArgc, argv);
  }
  if (argc == 3 && std::string(argv[1]) == "--child-empty") {
    int childArgc = 1;
    return ChildEmpty(std::atoi(argv[2]), childArgc, argv);
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

  std::vector<double> program, empty, trips;
  size_t requests = 0;
  for (int i = 0; i < runs; ++i) {
    sim.ClearRequests();
    const double p = TimeChild(argv[0], "--child-program");
    requests = sim.Requests().size();
    const double e = TimeChild(argv[0], "--child-empty");
    if (p < 0 || e < 0) {
      std::fprintf(stderr, "a child did not report its first paint\n");
      return 1;
    }
    program.push_back(p);
    empty.push_back(e);
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
  std::printf("empty window:           median %.1f ms\n", e);
  std::printf("bare round trips:       median %.1f ms\n", t);
  std::printf("ratio:                  %.2f\n", p / (e + t));
  return 0;
}
