// z580-sim: a simulated module on a pseudo-terminal. Prints the slave device path
// (or links it at --link), serves until SIGINT/SIGTERM, logs every request.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Simulator.h"

using namespace z580sim;

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: z580-sim --model N [options]\n"
               "  --model N            model index 0..22\n"
               "  --description PATH   the model's parameters from the program's data file, a\n"
               "                       description text or a directory of either (default:\n"
               "                       zt580.dat beside this program, else a small built-in table)\n"
               "  --link PATH          make PATH a symbolic link to the slave device\n"
               "  --baud RATE          line rate (default 9600)\n"
               "  --parity none|even|odd   (default none)\n"
               "  --data-bits 7|8      (default 8)\n"
               "  --stop-bits 1|2      (default 1)\n"
               "  --addr N             module address (default 16)\n"
               "  --addr-len 8|11      address length (default 8)\n"
               "  --protocol own|rtu|ascii|percent   protocol at start (default own)\n"
               "  --no-line-check      answer whatever line settings the program uses\n"
               "  --no-init-restart    INIT keeps the line settings and the protocol (by default\n"
               "                       they change to the stored ones, as after power-up)\n"
               "  --live               a module in service: polled readings drift, counters count,\n"
               "                       input and output words change (without it values stay fixed)\n"
               "  --log FILE           append the request log to FILE (default stderr)\n"
               "  --control FIFO       read commands, one per line, from FIFO\n"
               "  --fault CMD          apply a command at start (repeatable):\n"
               "                       silence | delay MS | drop [N] | garbage [N] | badcrc [N] |\n"
               "                       foreign [N] | error CODE [N] | cut [N] | hangup | clear |\n"
               "                       protocol own|rtu|ascii|percent | set NAME [INDEX] VALUE\n"
               "                       (VALUE: a number, an item of a list as shown, e.g. 19200,\n"
               "                       a text up to the line's end, or hex:BYTES as on the wire);\n"
               "                       a bus that misbehaves: twice [N] [after MS] (the reply again,\n"
               "                       MS later) | twice-bad [N] [after MS] (the copy with a wrong\n"
               "                       check sum) | late MS [N] | behind [N] (each reply sent when\n"
               "                       the next request comes) | other-address before|after [N] |\n"
               "                       other-index before|after [N] (another address's or index's\n"
               "                       reply of the same name beside its own) | noise [N] (a noise\n"
               "                       byte before the reply) | echo (every request comes back) |\n"
               "                       refuse VALUE (every write of that value is refused) |\n"
               "                       round STEP (a written number stored rounded down to STEP);\n"
               "                       a reply fault with \"every K\" touches every K-th reply only;\n"
               "                       a reply fault ending in \"on NAME\", \"at N\" or \"at write N\"\n"
               "                       waits for the first request for NAME, the N-th request or\n"
               "                       the N-th write; a module refusing (error) or silent does\n"
               "                       not act on what it refuses\n"
               "                       calibration: jurd CODE | jurd-busy N | clbs-busy N|never |\n"
               "                       clb-status CODE | clbt N | clbg-size N | clbp-status CODE [N] |\n"
               "                       clbp-silent [N] | locked NAME | unlocked NAME | weight CH VALUE\n");
}

bool ToLong(const char* s, long lo, long hi, long& out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(s, &end, 0);
  if (errno != 0 || end == s || *end != '\0' || v < lo || v > hi) return false;
  out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  SimConfig config;
  config.model = -1;
  config.logLimit = 0;  // the log goes to the file or stderr; nothing piles up in memory
  config.restartOnInit = true;
  std::string link, logPath, control, description;
  std::vector<std::string> faults;
  bool live = false;
  for (int i = 1; i < argc; ++i) {
    const std::string opt = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    long n = 0;
    const char* v = nullptr;
    bool ok = true;
    if (opt == "--model") ok = (v = value()) && ToLong(v, 0, kModelCount - 1, n), config.model = static_cast<int>(n);
    else if (opt == "--baud") ok = (v = value()) && ToLong(v, 50, 4000000, n), config.line.baud = static_cast<unsigned>(n);
    else if (opt == "--data-bits") ok = (v = value()) && ToLong(v, 7, 8, n), config.line.dataBits = static_cast<int>(n);
    else if (opt == "--stop-bits") ok = (v = value()) && ToLong(v, 1, 2, n), config.line.stopBits = static_cast<int>(n);
    else if (opt == "--addr") ok = (v = value()) && ToLong(v, 1, 2047, n), config.address = static_cast<unsigned>(n);
    else if (opt == "--addr-len") ok = (v = value()) && ToLong(v, 8, 11, n) && (n == 8 || n == 11), config.addressBits = static_cast<int>(n);
    else if (opt == "--parity") {
      const std::string p = (v = value()) ? v : "";
      ok = p == "none" || p == "even" || p == "odd";
      config.line.parity = p == "even" ? Parity::Even : p == "odd" ? Parity::Odd : Parity::None;
    } else if (opt == "--protocol") {
      const std::string p = (v = value()) ? v : "";
      ok = p == "own" || p == "rtu" || p == "ascii" || p == "percent";
      config.protocol = p == "rtu" ? Protocol::ModbusRtu : p == "ascii" ? Protocol::ModbusAscii
                      : p == "percent" ? Protocol::Percent : Protocol::Own;
    } else if (opt == "--no-line-check") config.checkLine = false;
    else if (opt == "--no-init-restart") config.restartOnInit = false;
    else if (opt == "--live") live = true;
    else if (opt == "--description") ok = (v = value()) != nullptr, description = v ? v : "";
    else if (opt == "--link") ok = (v = value()) != nullptr, link = v ? v : "";
    else if (opt == "--log") ok = (v = value()) != nullptr, logPath = v ? v : "";
    else if (opt == "--control") ok = (v = value()) != nullptr, control = v ? v : "";
    else if (opt == "--fault") ok = (v = value()) != nullptr, faults.push_back(v ? v : "");
    else if (opt == "--help" || opt == "-h") {
      Usage();
      return 0;
    } else ok = false;
    if (!ok) {
      std::fprintf(stderr, "z580-sim: bad or missing value for %s\n", opt.c_str());
      Usage();
      return 2;
    }
  }
  if (config.model < 0) {
    Usage();
    return 2;
  }
  if (config.addressBits == 8 && config.address > 255) {
    std::fprintf(stderr, "z580-sim: address %u needs --addr-len 11\n", config.address);
    return 2;
  }

  FILE* log = stderr;
  if (!logPath.empty() && !(log = std::fopen(logPath.c_str(), "a"))) {
    std::fprintf(stderr, "z580-sim: cannot open %s: %s\n", logPath.c_str(), std::strerror(errno));
    return 1;
  }

  // Signals go to a signalfd; every thread inherits the blocked mask. A shell
  // starts background jobs with SIGINT ignored, which would discard it.
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGINT);
  sigaddset(&mask, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &mask, nullptr);
  signal(SIGPIPE, SIG_IGN);
  const int sfd = signalfd(-1, &mask, SFD_CLOEXEC);
  if (sfd < 0) {
    std::fprintf(stderr, "z580-sim: signalfd: %s\n", std::strerror(errno));
    return 1;
  }

  ParameterTable table = BuiltInTable(config.model);
  if (description.empty()) {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
      std::string beside(self, static_cast<size_t>(n));
      beside = beside.substr(0, beside.rfind('/') + 1) + "zt580.dat";
      if (access(beside.c_str(), R_OK) == 0) description = beside;
    }
  }
  if (!description.empty()) {
    std::string why;
    if (!LoadTableFromDescriptionPath(config.model, description, table, &why)) {
      std::fprintf(stderr, "z580-sim: %s\n", why.c_str());
      return 1;
    }
  }
  Simulator sim(config, std::move(table));
  sim.SetLive(live);
  sim.SetLogSink([log](const std::string& line) {
    std::fprintf(log, "%s\n", line.c_str());
    std::fflush(log);
  });
  for (const std::string& f : faults) {
    std::string err;
    if (!ApplyFaultCommand(sim, f, &err)) {
      std::fprintf(stderr, "z580-sim: %s\n", err.c_str());
      return 2;
    }
  }
  std::string err;
  if (!sim.Start(&err)) {
    std::fprintf(stderr, "z580-sim: %s\n", err.c_str());
    return 1;
  }
  const std::string slave = sim.SlavePath();

  // The control path is checked (and made) before the link: a run that cannot take
  // commands ends without a link, which would pass for a module that is there.
  int cfd = -1;
  bool madeFifo = false;
  if (!control.empty()) {
    struct stat st {};
    if (stat(control.c_str(), &st) != 0) {
      if (mkfifo(control.c_str(), 0600) != 0) {
        std::fprintf(stderr, "z580-sim: mkfifo %s: %s\n", control.c_str(), std::strerror(errno));
        return 1;
      }
      madeFifo = true;
    } else if (!S_ISFIFO(st.st_mode)) {
      std::fprintf(stderr, "z580-sim: %s is not a FIFO\n", control.c_str());
      return 1;
    }
    // Opened for writing too, so that a writer closing it never gives end-of-file.
    cfd = open(control.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (cfd < 0) {
      std::fprintf(stderr, "z580-sim: open %s: %s\n", control.c_str(), std::strerror(errno));
      if (madeFifo) unlink(control.c_str());
      return 1;
    }
  }

  if (!link.empty()) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0) {
      if (!S_ISLNK(st.st_mode)) {
        std::fprintf(stderr, "z580-sim: %s exists and is not a symbolic link\n", link.c_str());
        if (madeFifo) unlink(control.c_str());
        return 1;
      }
      unlink(link.c_str());
    }
    if (symlink(slave.c_str(), link.c_str()) != 0) {
      std::fprintf(stderr, "z580-sim: symlink %s: %s\n", link.c_str(), std::strerror(errno));
      if (madeFifo) unlink(control.c_str());
      return 1;
    }
  }

  std::printf("%s\n", slave.c_str());
  std::fflush(stdout);

  std::string pending;
  for (;;) {
    pollfd fds[2] = {{sfd, POLLIN, 0}, {cfd, POLLIN, 0}};
    if (poll(fds, cfd >= 0 ? 2 : 1, -1) < 0 && errno != EINTR) break;
    if (fds[0].revents & POLLIN) break;
    if (cfd >= 0 && (fds[1].revents & POLLIN)) {
      char buf[256];
      const ssize_t n = read(cfd, buf, sizeof buf);
      if (n > 0) pending.append(buf, static_cast<size_t>(n));
      if (pending.size() > 4096) pending.clear();  // no line end in sight: drop it
      size_t nl;
      while ((nl = pending.find('\n')) != std::string::npos) {
        const std::string line = pending.substr(0, nl);
        pending.erase(0, nl + 1);
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        std::string e;
        if (!ApplyFaultCommand(sim, line, &e)) std::fprintf(stderr, "z580-sim: %s\n", e.c_str());
        else std::fprintf(log, "# %s\n", line.c_str());
        std::fflush(log);
      }
    }
  }

  sim.Stop();
  if (!link.empty()) {
    char target[256];
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)) == slave) unlink(link.c_str());
  }
  if (cfd >= 0) close(cfd);
  if (madeFifo) unlink(control.c_str());
  if (log != stderr) std::fclose(log);
  close(sfd);
  return 0;
}
