// The z580-sim program: start, talk to it through its link, command a fault
// through its control FIFO, end it with SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "SimTestPort.h"
#include "Simulator.h"
#include "support/ReadFile.h"

using namespace z580sim;

namespace {

struct Child {
  pid_t pid = -1;
  int out = -1;  // the program's standard output
};

Child Spawn(const std::vector<std::string>& args) {
  int fds[2];
  Child c;
  if (pipe(fds) != 0) return c;
  c.pid = fork();
  if (c.pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  c.out = fds[0];
  return c;
}

std::string ReadLine(int fd, int timeoutMs) {
  std::string line;
  pollfd p{fd, POLLIN, 0};
  while (poll(&p, 1, timeoutMs) > 0) {
    char ch;
    if (read(fd, &ch, 1) != 1 || ch == '\n') break;
    line += ch;
  }
  return line;
}

// Waits up to timeoutMs for the child; its exit status, or -1 when it did not end.
int WaitExit(pid_t pid, int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += 10) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    usleep(10000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

// Sends one command through the control FIFO and waits until the log shows it taken.
bool Command(const std::string& fifo, const std::string& log, const std::string& command) {
  FILE* control = std::fopen(fifo.c_str(), "w");
  if (!control) return false;
  std::fputs((command + "\n").c_str(), control);
  std::fclose(control);
  for (int waited = 0; waited < 5000; waited += 10) {
    if (testsupport::ReadFile(log).find("# " + command + "\n") != std::string::npos) return true;
    usleep(10000);
  }
  return false;
}

std::string Request(const std::string& name, unsigned address = 16) {
  Frame f;
  f.address = address;
  f.read = true;
  f.hash = NameHash(name);
  return EncodeFrame(f, 8);
}

}  // namespace

TEST(SimProgram, ServesThroughItsLinkAndEndsOnSigterm) {
  const char* build = std::getenv("Z580_BUILD_DIR");
  ASSERT_NE(build, nullptr);
  const std::string program = std::string(build) + "/tools/z580-sim/z580-sim";
  char dirTemplate[] = "/tmp/z580simXXXXXX";
  ASSERT_NE(mkdtemp(dirTemplate), nullptr);
  const std::string dir = dirTemplate;
  const std::string link = dir + "/tty", fifo = dir + "/control", log = dir + "/log";

  Child c = Spawn({program, "--model", "4", "--link", link, "--control", fifo, "--log", log, "--baud", "19200",
                   "--live", "--description", std::string(build) + "/app/ui/zt580.dat"});
  ASSERT_GT(c.pid, 0);
  const std::string slave = ReadLine(c.out, 5000);
  ASSERT_EQ(slave.rfind("/dev/pts/", 0), 0u) << slave;
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), slave);

  {
    simtest::TestPort port(link, {B19200, false, 'N'});
    ASSERT_TRUE(port.IsOpen());
    Frame reply;
    std::string text = port.Transact(Request("dev"));
    ASSERT_GE(text.size(), 14u);
    ASSERT_EQ(DecodeFrame(std::string_view(text).substr(1, text.size() - 2), 8, reply), DecodeStatus::Ok);
    EXPECT_EQ(std::string(reply.data.rbegin(), reply.data.rend()), "ZD580-05");
    // A counter exists only in the model's description.
    text = port.Transact(Request("r.Cou"));
    ASSERT_GE(text.size(), 2u);
    ASSERT_EQ(DecodeFrame(std::string_view(text).substr(1, text.size() - 2), 8, reply), DecodeStatus::Ok);
    EXPECT_EQ(reply.hash, NameHash("r.Cou"));

    // Live: the counters count; one set by command stays at its value.
    ASSERT_TRUE(Command(fifo, log, "set r.Cou 2 200"));
    auto value = [&](unsigned address) {
      Frame f;
      const std::string t = port.Transact(Request("r.Cou", address));
      EXPECT_GE(t.size(), 2u);
      EXPECT_EQ(DecodeFrame(std::string_view(t).substr(1, t.size() - 2), 8, f), DecodeStatus::Ok);
      return f.data;
    };
    const Bytes first = value(16);
    Bytes other = value(18);
    ASSERT_FALSE(other.empty());
    EXPECT_EQ(other.back(), 200);
    usleep(1100000);
    EXPECT_NE(value(16), first);
    other = value(18);
    ASSERT_FALSE(other.empty());
    EXPECT_EQ(other.back(), 200);

    ASSERT_TRUE(Command(fifo, log, "error 0x41"));
    text = port.Transact(Request("dev"));
    ASSERT_GE(text.size(), 14u);
    ASSERT_EQ(DecodeFrame(std::string_view(text).substr(1, text.size() - 2), 8, reply), DecodeStatus::Ok);
    EXPECT_EQ(reply.hash, kErrorHash);
    EXPECT_EQ(reply.data, Bytes{0x41});
  }

  kill(c.pid, SIGTERM);
  EXPECT_EQ(WaitExit(c.pid, 3000), 0);
  close(c.out);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  EXPECT_FALSE(std::filesystem::exists(fifo));
  std::FILE* f = std::fopen(log.c_str(), "r");
  ASSERT_NE(f, nullptr);
  char buf[4096] = {};
  const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
  std::fclose(f);
  const std::string logText(buf, n);
  EXPECT_NE(logText.find("dev(" ), std::string::npos) << logText;
  EXPECT_NE(logText.find("n.Err 41"), std::string::npos) << logText;
  std::filesystem::remove_all(dir);
}

TEST(SimProgram, RefusesBadArguments) {
  const char* build = std::getenv("Z580_BUILD_DIR");
  ASSERT_NE(build, nullptr);
  const std::string program = std::string(build) + "/tools/z580-sim/z580-sim";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{program}, {program, "--model", "23"}, {program, "--model", "1", "--baud", "x"},
        {program, "--model", "1", "--addr", "300"}, {program, "--model", "1", "--fault", "bogus"}}) {
    Child c = Spawn(args);
    ASSERT_GT(c.pid, 0);
    EXPECT_EQ(WaitExit(c.pid, 3000), 2) << args.back();
    close(c.out);
  }
  Child c = Spawn({program, "--model", "1", "--description", "/nonexistent/zt580.dat"});
  ASSERT_GT(c.pid, 0);
  EXPECT_EQ(WaitExit(c.pid, 3000), 1);
  close(c.out);
}

// A run that cannot take commands makes no link: nothing would tell it from a module
// that is there.
TEST(SimProgram, AControlPathThatIsNoFifoEndsTheRunBeforeTheLink) {
  const char* build = std::getenv("Z580_BUILD_DIR");
  ASSERT_NE(build, nullptr);
  char dirTemplate[] = "/tmp/z580simXXXXXX";
  ASSERT_NE(mkdtemp(dirTemplate), nullptr);
  const std::string dir = dirTemplate;
  const std::string link = dir + "/tty", control = dir + "/control";
  std::ofstream(control) << "set rEAd 1 55.5\n";
  Child c = Spawn({std::string(build) + "/tools/z580-sim/z580-sim", "--model", "8", "--link", link, "--control",
                   control, "--log", dir + "/log"});
  ASSERT_GT(c.pid, 0);
  EXPECT_EQ(WaitExit(c.pid, 3000), 1);
  close(c.out);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  std::filesystem::remove_all(dir);
}

// scripts/run-configurator in a build folder whose program is a stand-in: it
// checks that the control path is the simulator's FIFO and sends the commands the
// README shows through it. Whatever an earlier echo left at that path, the run works;
// a path the script cannot take over stops it before the program starts.
TEST(SimProgram, RunScriptOwnsTheControlPath) {
  const char* build = std::getenv("Z580_BUILD_DIR");
  const char* source = std::getenv("Z580_SOURCE_DIR");
  ASSERT_NE(build, nullptr);
  ASSERT_NE(source, nullptr);
  namespace fs = std::filesystem;
  enum class Left { Nothing, PlainFile, Fifo, Directory };
  struct Case {
    Left left;
    int exit;  // the script's
  } const cases[] = {{Left::Nothing, 0}, {Left::PlainFile, 0}, {Left::Fifo, 0}, {Left::Directory, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.left));
    char dirTemplate[] = "/tmp/z580runXXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const fs::path dir = dirTemplate;
    fs::create_directories(dir / "tools/z580-sim");
    fs::create_directories(dir / "app/ui");
    fs::create_symlink(fs::path(build) / "tools/z580-sim/z580-sim", dir / "tools/z580-sim/z580-sim");
    fs::create_symlink(fs::path(build) / "app/ui/zt580.dat", dir / "app/ui/zt580.dat");
    const fs::path program = dir / "app/ui/zt580";
    std::ofstream(program) << "#!/bin/sh\n"
                              "b=$(dirname \"$0\")/../..\n"
                              "[ -p \"$b/run-sim.control\" ] || { echo 'no FIFO' > \"$b/program.out\"; exit 3; }\n"
                              "printf 'set bPS 19200\\nset PrtY Четность\\n' > \"$b/run-sim.control\"\n"
                              "for i in $(seq 100); do\n"
                              "  grep -q '^# set PrtY Четность$' \"$b/run-sim.log\" && "
                              "{ echo ran > \"$b/program.out\"; exit 0; }\n"
                              "  sleep 0.05\n"
                              "done\n"
                              "echo 'commands not taken' > \"$b/program.out\"; exit 4\n";
    fs::permissions(program, fs::perms::owner_all);
    const fs::path control = dir / "run-sim.control";
    if (c.left == Left::PlainFile) std::ofstream(control) << "set rEAd 1 55.5\n";
    if (c.left == Left::Fifo) {
      ASSERT_EQ(mkfifo(control.c_str(), 0600), 0);
    }
    if (c.left == Left::Directory) fs::create_directory(control);

    const std::string command = "timeout 30 " + std::string(source) + "/scripts/run-configurator " + dir.string() +
                                " >" + (dir / "script.out").string() + " 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.exit) << testsupport::ReadFile((dir / "script.out").string());
    if (c.exit == 0) {
      EXPECT_EQ(testsupport::ReadFile((dir / "program.out").string()), "ran\n");
      const std::string log = testsupport::ReadFile((dir / "run-sim.log").string());
      EXPECT_NE(log.find("# set bPS 19200\n"), std::string::npos) << log;
    } else {
      EXPECT_FALSE(fs::exists(dir / "program.out"));
      EXPECT_NE(testsupport::ReadFile((dir / "script.out").string()).find("run-sim.control"), std::string::npos);
    }
    // The simulator went with the script.
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "run-sim.tty")));
    fs::remove_all(dir);
  }
}
