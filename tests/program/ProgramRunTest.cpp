// The program itself, as a child process with a hard time-out, a private HOME and
// settings folder and the offscreen platform, against the simulated module on a
// pseudo-terminal: unattended runs, their files, their traffic and exit codes.
#include <gtest/gtest.h>

#include <map>
#include <fcntl.h>
#include <semaphore.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Simulator.h"
#include "app/CPelmDoc.h"
#include "app/DocumentFiles.h"
#include "app/NamedExitEvent.h"
#include "app/ProgramFiles.h"
#include "app/RecentFileList.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CPelmApp.h"
#include "app/ui/CPelmTreeListCtrl.h"
#include "app/ui/CPelmTreeListView.h"
#include "app/DocumentTestSupport.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "resources/StringTable.h"
#include "support/ReadFile.h"
#include "support/SimModule.h"

namespace fs = std::filesystem;

namespace {

constexpr int kHardTimeoutMs = 90000;
// A setting of model 19's tree: the connection never asks for it, a task does.
constexpr const char* kTaskParameter = "Kt.U";

struct RunResult {
  int exitCode = -1;  // -1: killed at the time-out
  std::string errors;  // standard error
};

class ProgramRunTest : public DocumentTestBase {
 protected:
  void SetUp() override {
    DocumentTestBase::SetUp();
    dir_ = Path("run");
    fs::create_directories(dir_ + "/home");
    // The runtime folder too, which the toolkit wants private.
    fs::permissions(dir_ + "/home", fs::perms::owner_all);
    fs::create_directories(dir_ + "/config/TEVI");
  }
  void TearDown() override {
    if (sim_) sim_->Stop();
    DocumentTestBase::TearDown();
  }

  void StartModule(int model, const std::function<void(z580sim::Simulator&)>& prepare = {}) {
    z580sim::SimConfig config;
    config.model = model;
    ASSERT_NO_FATAL_FAILURE(testsupport::StartSimModule(sim_, config, testsupport::SimTable::DataFile, prepare));
    PointProgramAt(sim_->SlavePath());
  }

  // The program's own settings file: its port, the rest at the defaults the
  // simulated module also starts with.
  void PointProgramAt(const std::string& port) {
    std::ofstream ini(dir_ + "/config/TEVI/HKEY_CURRENT_USER.ini");
    ini << "[Software\\TEVI\\Zt580]\n\"port_path\"=\"" << port << "\"\n";
  }

  // A batch run's standard error holds the program's own lines and nothing else
  // (no notes of the toolkit's platform).
  static void ExpectOnlyProgramLines(const std::string& errors) {
    std::istringstream lines(errors);
    std::string line;
    while (std::getline(lines, line)) EXPECT_EQ(line.rfind("zt580: ", 0), 0u) << line;
  }

  // Runs the program with the words.
  RunResult Run(const std::vector<std::string>& words, bool offscreen = true, const std::string& extraEnv = "") {
    const std::string program = program_.empty() ? EnvPath("Z580_BUILD_DIR") + "/app/ui/zt580" : program_;
    const std::string errors = dir_ + "/stderr.txt";
    std::vector<std::string> env = {"HOME=" + dir_ + "/home", "XDG_CONFIG_HOME=" + dir_ + "/config",
                                    "XDG_RUNTIME_DIR=" + dir_ + "/home",
                                    // The toolkit's own caches are not ours to chase.
                                    "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1",
                                    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1", "PATH=/usr/bin:/bin"};
    if (offscreen) env.push_back("QT_QPA_PLATFORM=offscreen");
    if (!extraEnv.empty()) env.push_back(extraEnv);
    // Built before the fork: the child of a process with threads (the toolkit's
    // pool of earlier tests) must not allocate, or it may wait on a lock forever.
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, 2);
      dup2(fd, 1);
      if (chdir(dir_.c_str()) != 0) _exit(126);
      execve(program.c_str(), argv.data(), envp.data());
      _exit(127);
    }
    running_ = pid;
    RunResult result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHardTimeoutMs);
    for (;;) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        break;
      }
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "the program did not end within " << kHardTimeoutMs << " ms";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    result.errors = testsupport::ReadFile(errors);
    return result;
  }

  // Runs the program and calls act once, on the simulator's thread, when the task's
  // first request arrives: the module holds back its reply meanwhile, so the task is
  // running then however loaded the machine.
  RunResult RunActingOnTask(const std::vector<std::string>& words, const std::function<void()>& act) {
    return RunActingOn(std::string(" R ") + kTaskParameter + "(", words, act);
  }
  // The same on the first request whose log line holds `request` (" R dev(": connecting).
  RunResult RunActingOn(const std::string& request, const std::vector<std::string>& words,
                        const std::function<void()>& act) {
    std::atomic<bool> acted{false};
    sim_->SetLogSink([&](const std::string& line) {
      if (line.find(request) == std::string::npos || acted.exchange(true)) return;
      act();
    });
    const RunResult run = Run(words);
    sim_->SetLogSink({});
    EXPECT_TRUE(acted.load()) << "the run never asked for" << request;
    return run;
  }

  // Arms a reply fault (a simulator command without its trigger) to start with the
  // first request for a parameter only the task reads or writes, never the connection.
  void ArmOnTask(const std::string& fault) {
    std::string error;
    ASSERT_TRUE(z580sim::ApplyFaultCommand(*sim_, fault + " on " + kTaskParameter, &error)) << error;
  }

  std::vector<z580sim::RequestRecord> Writes() const {
    std::vector<z580sim::RequestRecord> writes;
    for (const auto& r : sim_->Requests())
      if (r.decoded && !r.read) writes.push_back(r);
    return writes;
  }

  // A configuration file of the module's model read by the program itself.
  std::string ReadConfiguration() {
    const std::string file = dir_ + "/read.z580";
    const RunResult run = Run({"/read", "/close", "read.z580"});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    return file;
  }

  std::string dir_;
  std::string program_;  // another path of the program; empty: the built one
  std::atomic<pid_t> running_{0};  // the program of the last Run
  std::unique_ptr<z580sim::Simulator> sim_;
  platform::CollectingPrompter prompter_;
};

TEST_F(ProgramRunTest, BatchReadStoresTheModulesValuesAsTheDocumentSavesThem) {
  ASSERT_NO_FATAL_FAILURE(StartModule(19));
  const std::string file = ReadConfiguration();
  ASSERT_TRUE(fs::exists(file));

  // The file loads into the document, every parameter the module answered holds its
  // value, and the document's own save of it is the same bytes.
  std::set<std::string> answered;
  for (const auto& r : sim_->Requests())
    if (r.decoded && r.read && r.answered && r.errorCode < 0) answered.insert(platform::ToUpper(r.name));
  CPelmDoc doc(nullptr, false);
  ASSERT_EQ(doc.OnOpenDocument(file), DocumentLoad::Loaded);
  EXPECT_EQ(App().modelIndex.load(), 19);
  int withValue = 0;
  ForEachParameter(*doc.rootBranch, [&](Parameter& p) {
    if (!answered.count(platform::ToUpper(p.name))) return;
    EXPECT_NE(p.value, resources::LoadString(kStrNoData)) << p.name;
    ++withValue;
  });
  EXPECT_GT(withValue, 3);
  std::string error;
  ASSERT_TRUE(doc.OnSaveDocument(Path("again.z580"), error)) << error;
  EXPECT_EQ(testsupport::ReadFile<std::vector<uint8_t>>(Path("again.z580")), testsupport::ReadFile<std::vector<uint8_t>>(file));
  App().SetDeviceModel(nullptr);
}

TEST_F(ProgramRunTest, BatchWriteSendsTheFileAndApplyFollowsANetworkWrite) {
  ASSERT_NO_FATAL_FAILURE(StartModule(20));  // the model that answers "APLY"
  const std::string file = ReadConfiguration();
  sim_->ClearRequests();

  const RunResult write = Run({"/write", "/close", "read.z580"});
  EXPECT_EQ(write.exitCode, 0) << write.errors;
  EXPECT_GT(Writes().size(), 3u);
  for (const auto& w : Writes()) EXPECT_NE(w.name, "APLY");

  sim_->ClearRequests();
  const RunResult aply = Run({"/write/aply/close", file});
  EXPECT_EQ(aply.exitCode, 0) << aply.errors;
  int applies = 0;
  for (const auto& w : Writes()) applies += w.name == "APLY";
  EXPECT_EQ(applies, 1);
}

TEST_F(ProgramRunTest, BatchRunNamesWhatItIgnoredAndAFileThatEndsEarly) {
  ASSERT_NO_FATAL_FAILURE(StartModule(19));
  const std::string file = ReadConfiguration();
  const std::vector<uint8_t> before = testsupport::ReadFile<std::vector<uint8_t>>(file);
  // Write and read together only write: the file is never saved over with what a
  // read found, and the file's values go to the module.
  struct Case {
    std::vector<std::string> words;
    std::vector<std::string> named;
  } const cases[] = {
      {{"/read", "/write", "/close", "read.z580"}, {"only the write runs"}},
  };
  RunResult run;
  for (const Case& c : cases) {
    sim_->ClearRequests();
    run = Run(c.words);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(testsupport::ReadFile<std::vector<uint8_t>>(file), before);
    EXPECT_GT(Writes().size(), 3u);
    for (const std::string& named : c.named) EXPECT_NE(run.errors.find(named), std::string::npos) << run.errors;
    ExpectOnlyProgramLines(run.errors);
  }

  // A file cut short is refused before anything is written; the run says how far
  // it got, on standard error and in the error log.
  std::vector<uint8_t> bytes = testsupport::ReadFile<std::vector<uint8_t>>(file);
  bytes.resize(bytes.size() / 2);
  std::ofstream(dir_ + "/cut.z580", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                             static_cast<std::streamsize>(bytes.size()));
  sim_->ClearRequests();
  run = Run({"/write", "/close", "/elog:errors.log", "cut.z580"});
  EXPECT_EQ(run.exitCode, 200) << run.errors;
  EXPECT_TRUE(Writes().empty());
  // How far: the bytes before the record that was cut.
  std::string line;
  for (size_t loaded = bytes.size(); loaded + 64 > bytes.size() && loaded > 0 && line.empty(); --loaded)
    if (run.errors.find("zt580: " + TruncatedFileLine(dir_ + "/cut.z580", loaded)) != std::string::npos)
      line = TruncatedFileLine(dir_ + "/cut.z580", loaded);
  ASSERT_FALSE(line.empty()) << run.errors;
  const std::string logged = testsupport::ReadFile(dir_ + "/errors.log");
  EXPECT_NE(logged.find(line), std::string::npos) << logged;
  ExpectOnlyProgramLines(run.errors);
}

TEST_F(ProgramRunTest, ReadIntoAFolderThatDoesNotExistEndsAt200WithoutReading) {
  ASSERT_NO_FATAL_FAILURE(StartModule(19));
  const RunResult run = Run({"/read", "/close", "no-such-folder/out.z580"});
  EXPECT_EQ(run.exitCode, 200) << run.errors;
  EXPECT_TRUE(sim_->Requests().empty());  // nothing is read that could not be kept
}

TEST_F(ProgramRunTest, PortThatCannotBeOpenedEndsAt201) {
  PointProgramAt(dir_ + "/no-such-port");
  EXPECT_EQ(Run({"/read", "/close", "out.z580"}).exitCode, 201);
  EXPECT_FALSE(fs::exists(dir_ + "/out.z580"));
}

TEST_F(ProgramRunTest, ModuleThatFallsSilentEndsAt202WithErrorLogLinesAndKeepsTheFile) {
  ASSERT_NO_FATAL_FAILURE(StartModule(19));
  ASSERT_NO_FATAL_FAILURE(ArmOnTask("silence"));
  WriteBytes(dir_ + "/out.z580", {'o', 'l', 'd'});
  const RunResult run = Run({"/read", "/close", "/elog:errors.log", "out.z580"});
  EXPECT_EQ(run.exitCode, 202) << run.errors;
  EXPECT_EQ(testsupport::ReadFile<std::vector<uint8_t>>(dir_ + "/out.z580"), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_NE(run.errors.find("zt580: the read failed (exit code 202): \"" + dir_ + "/out.z580\" was left as it was"),
            std::string::npos)
      << run.errors;
  std::ifstream log(dir_ + "/errors.log");
  std::string line;
  int lines = 0;
  while (std::getline(log, line)) ++lines;
  EXPECT_GE(lines, 1);
}

TEST_F(ProgramRunTest, GarbledRepliesEndAt203AndDeviceErrorsAt204) {
  ASSERT_NO_FATAL_FAILURE(StartModule(19));
  ASSERT_NO_FATAL_FAILURE(ArmOnTask("garbage all"));
  RunResult run = Run({"/read", "/close", "out.z580"});
  EXPECT_EQ(run.exitCode, 203) << run.errors;

  sim_->ClearFaults();
  sim_->ClearRequests();
  ASSERT_NO_FATAL_FAILURE(ArmOnTask("error 3 all"));
  run = Run({"/read", "/close", "out.z580"});
  EXPECT_EQ(run.exitCode, 204) << run.errors;
}

TEST_F(ProgramRunTest, FailedWriteStillKeepsItsFileInTheRecentList) {
  ASSERT_NO_FATAL_FAILURE(StartModule(19));
  const std::string file = ReadConfiguration();
  sim_->ClearRequests();
  ASSERT_NO_FATAL_FAILURE(ArmOnTask("error 3 all"));
  const RunResult run = Run({"/write", "/close", "read.z580"});
  EXPECT_EQ(run.exitCode, 204) << run.errors;
  const std::string text = testsupport::ReadFile(dir_ + "/config/TEVI/HKEY_CURRENT_USER.ini");
  EXPECT_NE(text.find("[Software\\Configurator - Zt580\\Zt580\\Recent File List]"), std::string::npos) << text;
  EXPECT_NE(text.find(file), std::string::npos) << text;
}

TEST_F(ProgramRunTest, ExitEventDuringATaskEndsAt205AndKeepsTheFile) {
  // Replies at once: a late one could time out on a loaded machine and end the
  // task before it asks for the parameter below.
  ASSERT_NO_FATAL_FAILURE(StartModule(19));
  std::ofstream(dir_ + "/out.z580") << "old";
  const std::string name = "z580test" + std::to_string(getpid());
  // Set while the task runs (its end waits for an abort before it saves). The
  // program's own handle keeps the event until it ends.
  const RunResult run =
      RunActingOnTask({"/read", "/exitevent:" + name, "out.z580"}, [&] { NamedExitEvent(name).Set(); });
  EXPECT_EQ(run.exitCode, 205) << run.errors;
  std::ifstream in(dir_ + "/out.z580");
  std::string kept;
  in >> kept;
  EXPECT_EQ(kept, "old");
}

TEST_F(ProgramRunTest, ExitEventLeftSetByAKilledRunStopsNoLaterRun) {
  ASSERT_NO_FATAL_FAILURE(StartModule(19));
  const std::string name = "z580left" + std::to_string(getpid());
  // A run killed while it held its event, which was then set: the event stays
  // behind, set, and nobody holds it.
  const std::string system = NamedExitEvent::SystemNameFor(name);
  // Killed while the task runs.
  const RunResult killed = RunActingOnTask({"/read", "/exitevent:" + name, "out.z580"}, [&] {
    kill(running_, SIGKILL);
    // Gone (or already collected by the run's own wait) before the event is set.
    siginfo_t info{};
    waitid(P_PID, static_cast<id_t>(running_.load()), &info, WEXITED | WNOWAIT);
    sem_t* left = ::sem_open(system.c_str(), 0);
    ASSERT_NE(left, SEM_FAILED);
    ::sem_post(left);
    ::sem_close(left);
  });
  EXPECT_EQ(killed.exitCode, 128 + SIGKILL);
  ASSERT_TRUE(fs::exists("/dev/shm/sem." + system.substr(1)));

  const RunResult later = Run({"/read", "/close", "/exitevent:" + name, "out.z580"});
  EXPECT_EQ(later.exitCode, 0) << later.errors;
  EXPECT_TRUE(FileHasContent(dir_ + "/out.z580"));
  EXPECT_FALSE(fs::exists("/dev/shm/sem." + system.substr(1)));  // the later run's own, gone with it
  ::sem_unlink(system.c_str());
}

TEST_F(ProgramRunTest, UnknownModuleEndsAt206AndAnotherModelsFileIsRefused) {
  ASSERT_NO_FATAL_FAILURE(StartModule(19, [](z580sim::Simulator& sim) { sim.SetValue("dev", 0, {'X', 'X', '-', '9', '9', '9'}); }));
  const RunResult unknown = Run({"/read", "/close", "out.z580"});
  EXPECT_EQ(unknown.exitCode, 206);
  // The reason names what the module called itself.
  EXPECT_NE(unknown.errors.find("zt580: no connection to the module: "), std::string::npos) << unknown.errors;
  EXPECT_NE(unknown.errors.find("999"), std::string::npos) << unknown.errors;
  sim_->Stop();

  // A file of model 19 while a module of model 5 answers.
  ASSERT_NO_FATAL_FAILURE(StartModule(19));
  const std::string file = ReadConfiguration();
  sim_->Stop();
  ASSERT_NO_FATAL_FAILURE(StartModule(5));
  sim_->ClearRequests();
  EXPECT_EQ(Run({"/write", "/close", file}).exitCode, 206);
  EXPECT_TRUE(Writes().empty());
}

TEST_F(ProgramRunTest, TestAndCloseRunsEndWithoutATask) {
  ASSERT_NO_FATAL_FAILURE(StartModule(19));
  // "test" connects and ends.
  RunResult run = Run({"/test"});
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  for (const auto& r : sim_->Requests()) EXPECT_TRUE(r.name == "dev" || r.name == "ver") << r.name;

  // A silent run needs no display (it picks the offscreen platform itself); it
  // works without a module, so a read has nothing to do.
  run = Run({"/silent", "/read", "/close", "out.z580"}, false);
  EXPECT_EQ(run.exitCode, 206) << run.errors;

  // "close" alone closes the window as soon as it is up.
  sim_->ClearRequests();
  run = Run({"/close"});
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_TRUE(Writes().empty());

  // "calibrate" has no task of its own: it ends as "close" does.
  EXPECT_EQ(Run({"/calibrate"}).exitCode, 0);
}

// Every way an unattended run fails ends with its code and its reason, on standard
// error and in the error log (one line each, never a failure line in a run that
// ends 0); a read that fails keeps the user's file, and a file or an address the
// run cannot use is refused before anything is written or sent.
TEST_F(ProgramRunTest, EveryFailureEndsWithItsCodeAndReasonAndKeepsTheFile) {
  ASSERT_NO_FATAL_FAILURE(StartModule(19));
  const std::string good = ReadConfiguration();
  const std::vector<uint8_t> goodBytes = testsupport::ReadFile<std::vector<uint8_t>>(good);
  std::vector<uint8_t> cut(goodBytes.begin(), goodBytes.begin() + 900);  // 22 of the 24 values
  WriteBytes(dir_ + "/cut.z580", cut);
  // The good file with a value a read that failed midway leaves, and with a typo.
  auto save = [&](CPelmDoc& doc, const std::string& file, const std::function<void(Parameter&)>& change) {
    ForEachParameter(*doc.rootBranch, change);
    std::string error;
    ASSERT_TRUE(doc.OnSaveDocument(dir_ + "/" + file, error)) << error;
  };
  auto withValue = [&](const std::string& file, const std::map<std::string, std::string>& values) {
    CPelmDoc doc(nullptr, false);
    ASSERT_EQ(doc.OnOpenDocument(good), DocumentLoad::Loaded);
    save(doc, file, [&](Parameter& p) {
      if (auto v = values.find(p.name); v != values.end()) p.value = v->second;
    });
  };
  ASSERT_NO_FATAL_FAILURE(withValue("nodata.z580", {{kTaskParameter, resources::LoadString(kStrNoData)}}));
  ASSERT_NO_FATAL_FAILURE(withValue("typo.z580", {{"Av.t", "x"}}));  // int, 1 to 60
  ASSERT_NO_FATAL_FAILURE(withValue("rule.z580", {{"Av.t", "61"}}));
  // Network settings no module may get: a bench module's frame, addresses beyond its frames.
  ASSERT_NO_FATAL_FAILURE(withValue("7n1.z580", {{"LEn", "7"}, {"PrtY", "Отсутствует"}, {"Sbit", "1"}}));
  ASSERT_NO_FATAL_FAILURE(withValue("addr255.z580", {{"Addr", "255"}}));
  ASSERT_NO_FATAL_FAILURE(withValue("addr300.z580", {{"Addr", "300"}, {"A.Len", "8"}}));
  {
    // An old file (no model byte) of another model, holding its values.
    App().modelIndex = 5;
    CPelmDoc doc(nullptr, false);
    ASSERT_TRUE(doc.OnNewDocument());
    ASSERT_NO_FATAL_FAILURE(save(doc, "other.z580", [](Parameter& p) {
      if (!p.initialValue.empty()) p.value = p.initialValue;
    }));
    std::vector<uint8_t> old = testsupport::ReadFile<std::vector<uint8_t>>(dir_ + "/other.z580");
    old[2] = 3;  // the schema without the model byte
    old.erase(old.begin() + 14);
    WriteBytes(dir_ + "/other.z580", old);
    App().SetDeviceModel(nullptr);
    App().modelIndex = -1;
  }
  // A port that names no device, and the module's line as COM7.
  auto pointProgram = [&] {
    PointProgramAt(sim_->SlavePath());
    std::ofstream(dir_ + "/config/TEVI/HKEY_CURRENT_USER.ini", std::ios::app)
        << "[ports]\nCOM7=" << sim_->SlavePath() << "\nCOM8=" << dir_ << "/no-such-tty\nCOM9=" << dir_
        << "/pulled\n";
  };
  fs::create_symlink(dir_ + "/no-such-tty", dir_ + "/pulled");  // a converter's link, the converter out
  std::ofstream(dir_ + "/empty.z580").close();
  fs::create_directories(dir_ + "/folder.z580");
  const std::vector<uint8_t> kept = {'k', 'e', 'p', 't'};

  fs::copy_file(good, dir_ + "/-w.z580");
  ASSERT_EQ(::mkfifo((dir_ + "/pipe.z580").c_str(), 0600), 0);
  std::vector<uint8_t> bytes = goodBytes;
  bytes.insert(bytes.end(), {'j', 'u', 'n', 'k'});
  WriteBytes(dir_ + "/trailing.z580", bytes);
  bytes = goodBytes;
  bytes[14] = 99;  // the model byte
  WriteBytes(dir_ + "/model99.z580", bytes);
  // The run's other files, which no error log may be.
  const std::string settings = dir_ + "/config/TEVI/HKEY_CURRENT_USER.ini";
  const std::string program = EnvPath("Z580_BUILD_DIR") + "/app/ui/zt580";
  const std::string store = FindDataDirectory(EnvPath("Z580_BUILD_DIR") + "/app/ui/") + kDataFileName;
  const std::vector<uint8_t> storeBytes = testsupport::ReadFile<std::vector<uint8_t>>(store);
  const auto programSize = fs::file_size(program);
  ASSERT_EQ(::mkfifo((dir_ + "/fifo.log").c_str(), 0600), 0);
  // An exit event the system cannot make: its name is taken by a folder.
  const std::string blockedEvent = "z580blocked" + std::to_string(getpid());
  fs::create_directories("/dev/shm/sem." + NamedExitEvent::SystemNameFor(blockedEvent).substr(1));
  const std::string stopEvent = "z580stop" + std::to_string(getpid());
  // kNothingMade: nothing sent and nothing made (no error log, no settings).
  enum Sends { kAnything, kNoWrite, kNothing, kNothingMade };
  struct Case {
    std::string fault;  // armed before the run
    std::vector<std::string> words;
    int exitCode;
    std::string reason;  // a piece of the line on standard error and in the error log
    Sends sends;
    std::string environment = "";  // one more NAME=value; the platform is then the program's choice
    // Set the exit event (0) or send this signal on the first request whose log
    // line holds stopAt, while the module holds back its reply.
    std::string stopAt = "";
    int stopSignal = 0;
    bool window = false;  // a run with the window: no "/close", no error log
  } const cases[] = {
      // Replies that never became usable, device errors, a module that falls silent.
      {"foreign 1000 on Kt.U", {"/read", "keep.z580"}, 203, "keep.z580\" was left as it was", kAnything},
      {"error 3 1000 on Kt.U", {"/read", "keep.z580"}, 204, "keep.z580\" was left as it was", kAnything},
      {"badcrc 1000 on Kt.U", {"/write", "read.z580"}, 203, "Kt.U - Ошибка в контрольной сумме ответа", kAnything},
      // The closing exchange after the task is no failure of the run.
      {"silence on INIT", {"/read", "new.z580"}, 0, "", kAnything},
      // Files the run cannot use.
      {"", {"/write", "cut.z580"}, 200, "ends early: only its first", kNoWrite},
      {"", {"/write", "missing.z580"}, 200, "missing.z580\" does not exist", kNothing},
      {"", {"/write", "empty.z580"}, 200, "empty.z580\" is empty", kNothing},
      {"", {"/write", "folder.z580"}, 200, "folder.z580\" is a folder", kNothing},
      {"", {"/read"}, 200, "", kNothing},  // nowhere to read into
      {"", {"-write", "-close"}, 200, "", kNothing},
      {"", {"/read", dir_ + "/gone/x/out.z580"}, 200, "the folder \"" + dir_ + "/gone/x\" does not exist", kNothing},
      {"", {"/read", "folder.z580"}, 200, "folder.z580\" is a folder", kNothing},
      // A pipe or a device is no file to write from or read into; a file with more
      // after its last record, or of a model no model is, is not one configuration.
      {"", {"/write", "pipe.z580"}, 200, "pipe.z580\" is not a regular file", kNothing},
      {"", {"/write", "/dev/null"}, 200, "\"/dev/null\" is not a regular file", kNothing},
      {"", {"/read", "pipe.z580"}, 200, "pipe.z580\" is not a regular file", kNothing},
      {"", {"/read", "/dev/null"}, 200, "\"/dev/null\" is not a regular file", kNothing},
      {"", {"/read", "config/TEVI/HKEY_CURRENT_USER.ini"}, 200, "HKEY_CURRENT_USER.ini\" is the settings file", kNothing},
      {"", {"/read", program}, 200, "zt580\" is the program: a read does not save over it", kNothing},
      {"", {"/write", "trailing.z580"}, 200, "trailing.z580\" holds 4 bytes after its last record", kNoWrite},
      {"", {"/write", "model99.z580"}, 200, "model99.z580\" names model number 99, which no model has", kNoWrite},
      // No module to work with.
      {"silence", {"/read", "keep.z580"}, 202, "no connection to the module: ", kAnything},
      {"", {"/silent", "/read", "keep.z580"}, 206, "a silent run does not open the port", kNothing},
      // Addresses no module can have; the forms of a number that are read.
      {"", {"/addr:junk", "/read", "keep.z580"}, 206, "\"/addr:junk\": not a number", kNothingMade},
      {"", {"/addr:123456", "/read", "keep.z580"}, 206, "\"/addr:123456\"", kNothingMade},
      {"", {"/addr:300", "/read", "keep.z580"}, 206, "\"/addr:300\": an address above 255 needs", kNothing},
      {"", {"/addr:-5", "/read", "keep.z580"}, 206, "\"/addr:-5\"", kNothing},
      {"", {"/addr:255", "/read", "keep.z580"}, 206, "\"/addr:255\": 255 is the broadcast address", kNothing},
      {"", {"/addr:020", "/read", "new.z580"}, 0, "", kAnything},  // octal 16
      // Words the run does not understand (each word's line: CommandLineTest): refused
      // before anything is made or sent.
      {"", {"/write", "/port:7", "/adr:17", "read.z580"}, 206, "\"/adr:17\" is no switch", kNothingMade},
      {"", {"/write", "/bps:fast", "read.z580"}, 206, "\"/bps:fast\": not a rate the port knows", kNothingMade},
      {"", {"/write", "/port:7", "/prty:none", "read.z580"}, 206, "\"/prty:none\": the value is one of even, odd, no",
       kNothingMade},
      {"", {"/write", "/sbit:xx", "read.z580"}, 206, "\"/sbit:xx\"", kNothingMade},
      {"", {"-red", "read.z580"}, 206, "\"-red\" is no switch", kNothingMade},
      {"", {"/write", "/port:7", "/address:17", "read.z580"}, 206, "\"/address:17\" is no switch", kNothingMade},
      {"", {"/write", "/bps:0", "read.z580"}, 206, "\"/bps:0\": not a rate the port knows", kNothingMade},
      {"", {"/write", "/bps:1920O", "read.z580"}, 206, "\"/bps:1920O\"", kNothingMade},
      {"", {"/write", "/bps:-9600", "read.z580"}, 206, "\"/bps:-9600\"", kNothingMade},
      {"", {"/write", "/port:264", "read.z580"}, 206, "\"/port:264\"", kNothingMade},
      {"", {"/write", "/len:9", "read.z580"}, 206, "\"/len:9\": a data length is 7 or 8", kNothingMade},
      {"", {"/raed", "read.z580"}, 206, "\"/raed\" is no switch", kNothingMade},
      {"", {"--write", "read.z580"}, 206, "\"--write\" is no switch", kNothingMade},
      {"", {"/write", "//read", "read.z580"}, 206, "\"//read\" is no switch", kNothingMade},
      {"", {"/write", "\\read", "read.z580"}, 206, "\"\\read\" is no switch", kNothingMade},
      {"", {"/write", "\u2014read", "read.z580"}, 206, "\"\u2014read\" is no switch", kNothingMade},
      {"", {"/write", "read.z580", "other.z580"}, 206, "a second file name \"other.z580\"", kNothingMade},
      {"", {"/test", "keep.z580"}, 206, "no \"/write\" or \"/read\" uses it", kNothingMade},
      {"", {"/test", "/read", "keep.z580"}, 206, "\"/test\" beside \"/read\"", kNothingMade},
      {"", {"/test", "/write", "read.z580"}, 206, "\"/test\" beside \"/write\"", kNothingMade},
      {"", {"/calibrate", "/read", "keep.z580"}, 206, "\"/calibrate\" beside \"/read\"", kNothingMade},
      {"", {"/calibrate", "/write", "read.z580"}, 206, "\"/calibrate\" beside \"/write\"", kNothingMade},
      {"", {"/port:7", "/port:8", "/read", "keep.z580"}, 206, "\"/port:8\": \"port\" was given before", kNothingMade},
      {"", {"/elog:a.log", "/elog:b.log", "/read", "keep.z580"}, 206, "\"elog\" was given before", kNothingMade},
      {"", {"/exitevent:a/b", "/read", "keep.z580"}, 206, "an exit event's name has no \"/\"", kNothingMade},
      {"", {"/exitevent:" + blockedEvent, "/read", "keep.z580"}, 206, "cannot create the exit event", kNothing},
      // A file named like a switch that exists is the file; a window at the int range's end.
      {"", {"/write", "-w.z580"}, 0, "", kAnything},
      {"", {"/x:2147483647", "/read", "new.z580"}, 0, "", kAnything},
      // A port named as the ports are: the one it names, never the stored one.
      {"", {"/write", "/port:COM8", "read.z580"}, 201, "cannot open the port COM8: Причина: устройство", kNothing},
      {"", {"/read", "/port:COM9", "keep.z580"}, 201, "cannot open the port COM9: " + resources::LoadString(kStrPortGone),
       kNothing},
      // An error log that is the configuration file would empty it.
      {"", {"/write", "/elog:read.z580", "read.z580"}, 200, "names the configuration file", kNothingMade},
      {"", {"/write", "/elog:" + dir_ + "/./read.z580", "read.z580"}, 200, "names the configuration file",
       kNothingMade},
      // Nor is it any other file of the run, nor one it would wait for.
      {"", {"/read", "/elog:" + settings, "keep.z580"}, 200, "names the settings file", kNothingMade},
      {"", {"/read", "/elog:config/TEVI/../TEVI/HKEY_CURRENT_USER.ini", "keep.z580"}, 200, "names the settings file",
       kNothingMade},
      {"", {"/read", "/elog:config/TEVI/HKEY_LOCAL_MACHINE.ini", "keep.z580"}, 200, "names the settings file",
       kNothingMade},
      {"", {"/read", "/elog:" + store, "keep.z580"}, 200, "names the model descriptions", kNothingMade},
      {"", {"/read", "/elog:" + program, "keep.z580"}, 200, "names the program", kNothingMade},
      {"", {"/read", "/elog:fifo.log", "keep.z580"}, 200, "is a FIFO", kNothingMade},
      {"", {"/read", "/elog:/dev/null", "new.z580"}, 0, "", kAnything},
      // A write checks every value of its file before its first write.
      {"", {"/write", "nodata.z580"}, 200, "Kt.U - \"Нет данных\": the file holds no value", kNoWrite},
      {"", {"/write", "typo.z580"}, 200, "Av.t = \"x\": не читается как значение типа \"int\"", kNoWrite},
      {"", {"/write", "rule.z580"}, 200, "Av.t = \"61\": вне допустимых значений (от 1 до 60)", kNoWrite},
      {"", {"/write", "7n1.z580"}, 200, "запрещенная комбинация: четность \"Отсутствует\", длина слова данных 7, стоп-бит 1",
       kNoWrite},
      {"", {"/write", "addr255.z580"}, 200, "адрес 255 не может быть у прибора сети", kNoWrite},
      {"", {"/write", "addr300.z580"}, 200, "адрес 300 не может быть у прибора сети при длине адреса 8 бит", kNoWrite},
      // Link values no module answered with are not kept for the next run.
      {"", {"/len:7", "/read", "keep.z580"}, 201, "не принимает длину данных 7 бит", kNothing},
      {"", {"/bps:19200", "/read", "keep.z580"}, 202, "no connection to the module: ", kAnything},
      {"", {"/write", "other.z580"}, 200, "\"Нет данных\": the file holds no value", kNoWrite},
      // A connection that needed a second try leaves no fault behind: the read is saved.
      {"error 3 1 on dev", {"/read", "new.z580"}, 0, "", kAnything},
      // A lone time-out ends 202, however many replies came after it.
      {"drop 2 on Kt.U", {"/read", "keep.z580"}, 202, "Kt.U - Таймаут при передаче данных", kAnything},
      // A port that does not take a setting names it.
      {"", {"/read", "/prty:odd", "keep.z580"}, 201, "не принимает контроль четности \"Нечетность\"", kNothing},
      // Asked to end while it connects to a silent module (by the event, or by a
      // signal) or while a task runs: 205 at once, nothing saved, the event gone.
      {"silence", {"/read", "/exitevent:" + stopEvent, "keep.z580"}, 205, "\" was set: the run is aborted", kAnything,
       "", " R dev(", 0},
      {"", {"/read", "/bps:110", "/exitevent:" + stopEvent, "keep.z580"}, 205, "\" was set: the run is aborted",
       kAnything, "", "line settings differ", 0},  // a module at another rate
      {"silence", {"/read", "/exitevent:" + stopEvent, "keep.z580"}, 205, "SIGTERM was received", kAnything, "",
       " R dev(", SIGTERM},
      {"", {"/read", "/exitevent:" + stopEvent, "keep.z580"}, 205, "SIGINT was received", kAnything, "",
       std::string(" R ") + kTaskParameter + "(", SIGINT},
      {"", {"/write", "read.z580"}, 205, "SIGTERM was received", kAnything, "",
       std::string(" W ") + kTaskParameter + "(", SIGTERM},
      // A run with the window says why it ends with a code, too.
      {"silence", {"keep.z580"}, 205, "SIGTERM was received", kAnything, "", " R dev(", SIGTERM, true},
      // No display the platform could use: the run falls back to offscreen.
      {"", {"/read", "new.z580"}, 0, "", kAnything, "WAYLAND_DISPLAY=wayland-z580"},
      {"", {"/read", "new.z580"}, 0, "", kAnything, "QT_QPA_PLATFORM=xcb"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> words = c.words;
    if (!c.window) words.push_back("/close");
    const bool ownLog = c.window || std::any_of(words.begin(), words.end(), [](const std::string& w) {
                          return w.rfind("/elog:", 0) == 0;
                        });
    if (!ownLog) words.push_back("/elog:errors.log");
    std::string what = c.fault + " |";
    for (const std::string& word : words) what += " " + word;
    what += " " + c.environment + c.stopAt;
    sim_->ClearFaults();
    sim_->ClearRequests();
    if (!c.fault.empty()) {
      std::string error;
      ASSERT_TRUE(z580sim::ApplyFaultCommand(*sim_, c.fault, &error)) << error;
    }
    // The link switches of a run are kept in the settings: each run starts from the same.
    pointProgram();
    const std::vector<uint8_t> settingsBefore = testsupport::ReadFile<std::vector<uint8_t>>(settings);
    WriteBytes(dir_ + "/keep.z580", kept);
    fs::remove(dir_ + "/new.z580");
    fs::remove(dir_ + "/errors.log");
    const RunResult run = c.stopAt.empty() ? Run(words, c.environment.empty(), c.environment)
                                           : RunActingOn(c.stopAt, words, [&] {
                                               if (c.stopSignal != 0)
                                                 kill(running_, c.stopSignal);
                                               else
                                                 NamedExitEvent(stopEvent).Set();
                                             });
    // The run's own exit event goes with it, however it ended.
    EXPECT_FALSE(fs::exists("/dev/shm/sem." + NamedExitEvent::SystemNameFor(stopEvent).substr(1))) << what;
    EXPECT_EQ(run.exitCode, c.exitCode) << what << "\n" << run.errors;
    std::ifstream log(dir_ + "/errors.log");
    std::stringstream logged;
    logged << log.rdbuf();
    // A run that logs a failure never ends 0; every failure is one line. A run
    // refused at once makes no error log, and tells standard error only.
    EXPECT_EQ(fs::exists(dir_ + "/errors.log"), c.sends != kNothingMade && !ownLog) << what;
    // Nor is a link value the port refused, or one no module answered: the line
    // stays as the simulated module has it.
    if (c.exitCode == 201 || c.exitCode == 202) {
      const std::string stored = testsupport::ReadFile<std::string>(settings);
      for (const auto& [name, held] : {std::pair{"byte_size", "00000008"}, std::pair{"parity_scheme", "00000003"},
                                       std::pair{"baud_rate", "00002580"}}) {
        const size_t at = stored.find("\"" + std::string(name) + "\"=");
        if (at == std::string::npos) continue;
        const std::string line = stored.substr(at, stored.find('\n', at) - at);
        EXPECT_TRUE(line.ends_with(held)) << what << "\n" << line;
      }
    }
    if (c.sends == kNothingMade) {
      EXPECT_EQ(testsupport::ReadFile<std::vector<uint8_t>>(settings), settingsBefore) << what;
    } else if (!ownLog) {
      EXPECT_EQ(logged.str().empty(), c.exitCode == 0) << what << "\n" << logged.str();
    }
    EXPECT_EQ(logged.str().find("\n\n"), std::string::npos) << what << "\n" << logged.str();
    // No code without its reason.
    EXPECT_EQ(run.errors.find("zt580: ") != std::string::npos, c.exitCode != 0) << what << "\n" << run.errors;
    if (!c.reason.empty()) {
      EXPECT_NE(run.errors.find(c.reason), std::string::npos) << what << "\n" << run.errors;
      if (c.sends != kNothingMade && !ownLog) {
        EXPECT_NE(logged.str().find(c.reason), std::string::npos) << what << "\n" << logged.str();
      }
    }
    ExpectOnlyProgramLines(run.errors);
    EXPECT_EQ(testsupport::ReadFile<std::vector<uint8_t>>(dir_ + "/keep.z580"), kept) << what;
    EXPECT_EQ(testsupport::ReadFile<std::vector<uint8_t>>(good), goodBytes) << what;
    const bool readsNew = std::find(words.begin(), words.end(), "new.z580") != words.end();
    EXPECT_EQ(FileHasContent(dir_ + "/new.z580"), c.exitCode == 0 && readsNew) << what;
    if (c.sends == kNothing || c.sends == kNothingMade) {
      EXPECT_TRUE(sim_->Requests().empty()) << what;
    } else if (c.sends == kNoWrite) {
      EXPECT_TRUE(Writes().empty()) << what;
    }
    for (const auto& r : sim_->Requests()) EXPECT_TRUE(!r.decoded || r.address == 16u) << what;
    // One line for a folder that does not exist, not one per piece of its path.
    if (words.size() > 1 && words[1].find("/gone/") != std::string::npos) {
      EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
    }
  }

  fs::remove("/dev/shm/sem." + NamedExitEvent::SystemNameFor(blockedEvent).substr(1));
  for (const char* log : {"a.log", "b.log"}) EXPECT_FALSE(fs::exists(dir_ + "/" + log)) << log;
  EXPECT_EQ(testsupport::ReadFile<std::vector<uint8_t>>(store), storeBytes);
  EXPECT_EQ(fs::file_size(program), programSize);

  // The program without its model descriptions (a link to it in a folder of its
  // own) names the store it could not read.
  sim_->ClearFaults();
  fs::create_directories(dir_ + "/bin");
  fs::create_hard_link(EnvPath("Z580_BUILD_DIR") + "/app/ui/zt580", dir_ + "/bin/zt580");
  program_ = dir_ + "/bin/zt580";
  RunResult run = Run({"/read", "/close", "/elog:errors.log", "keep.z580"});
  program_.clear();
  EXPECT_EQ(run.exitCode, 206) << run.errors;
  EXPECT_NE(run.errors.find("zt580: the model descriptions \"" + dir_ + "/bin/zt580.dat\" do not exist"),
            std::string::npos)
      << run.errors;

  // A port that cannot be opened says why.
  PointProgramAt(dir_ + "/no-such-port");
  run = Run({"/read", "/close", "/elog:errors.log", "keep.z580"});
  EXPECT_EQ(run.exitCode, 201) << run.errors;
  EXPECT_NE(run.errors.find("zt580: cannot open the port " + dir_ + "/no-such-port: "), std::string::npos)
      << run.errors;
}

// The manual page's examples, as a script runs them: the port through the ports
// table, no display. A run that keeps its window needs one and says so.
TEST_F(ProgramRunTest, ManualPageExamplesWorkWithoutADisplay) {
  ASSERT_NO_FATAL_FAILURE(StartModule(19));
  {
    std::ofstream ini(dir_ + "/config/TEVI/HKEY_CURRENT_USER.ini");
    ini << "[ports]\nCOM3=" << sim_->SlavePath() << "\n";
  }
  std::ifstream page(EnvPath("Z580_SOURCE_DIR") + "/resources/linux/zt580.1");
  std::string line;
  bool examples = false;
  bool shell = false;
  std::vector<std::vector<std::string>> commands;
  std::string setEvent;  // the shell lines that set an exit event
  while (std::getline(page, line)) {
    if (line.rfind(".SH", 0) == 0) examples = line == ".SH EXAMPLES";
    if (line == "From a shell:") {
      shell = true;
    } else if (shell && line == ".fi") {
      shell = false;
    } else if (shell && line[0] != '.') {
      for (size_t at; (at = line.find("\\-")) != std::string::npos;) line.erase(at, 1);
      setEvent += line + "\n";
    }
    if (!examples || line.rfind("zt580 ", 0) != 0) continue;
    std::vector<std::string> words;
    std::istringstream split(line.substr(6));
    for (std::string word; split >> word;) {
      for (size_t at; (at = word.find("\\-")) != std::string::npos;) word.erase(at, 1);
      words.push_back(word);
    }
    commands.push_back(words);
  }
  ASSERT_GE(commands.size(), 2u);
  for (const auto& words : commands) {
    sim_->ClearRequests();
    const RunResult run = Run(words, false);
    EXPECT_EQ(run.exitCode, 0) << words[2] << "\n" << run.errors;
    EXPECT_FALSE(sim_->Requests().empty());
  }
  EXPECT_TRUE(FileHasContent(dir_ + "/module.z580"));

  // The exit event set from a shell as the page shows.
  const std::string name = "z580page" + std::to_string(getpid());
  ASSERT_NE(setEvent.find("NAME"), std::string::npos) << setEvent;
  setEvent.replace(setEvent.find("NAME"), 4, name);
  std::ofstream(dir_ + "/set-event.sh") << setEvent;
  {
    NamedExitEvent event(name);
    ASSERT_TRUE(event.IsValid());
    EXPECT_EQ(std::system(("sh '" + dir_ + "/set-event.sh'").c_str()), 0);
    EXPECT_TRUE(event.IsSet());
  }
  ::sem_unlink(NamedExitEvent::SystemNameFor(name).c_str());
  // The page's Python, while the task runs: the interpreter starts before the run
  // and waits for a line, so that the module goes on answering while it starts.
  const size_t open = setEvent.find('\''), close = setEvent.rfind('\'');
  ASSERT_LT(open, close) << setEvent;
  std::ofstream(dir_ + "/set-event.py") << setEvent.substr(open + 1, close - open - 1);
  FILE* python = ::popen(("python3 -c 'import sys, ctypes; sys.stdin.readline(); exec(open(sys.argv[1]).read())' '" +
                          dir_ + "/set-event.py'")
                             .c_str(),
                         "w");
  ASSERT_NE(python, nullptr);
  const std::vector<uint8_t> before = testsupport::ReadFile<std::vector<uint8_t>>(dir_ + "/module.z580");
  const RunResult aborted = RunActingOnTask({"-port:3", "-read", "-close", "/exitevent:" + name, "module.z580"}, [&] {
    std::fputs("go\n", python);
    std::fflush(python);
  });
  EXPECT_EQ(::pclose(python), 0);
  EXPECT_EQ(aborted.exitCode, 205) << aborted.errors;
  EXPECT_EQ(testsupport::ReadFile<std::vector<uint8_t>>(dir_ + "/module.z580"), before);

  const RunResult interactive = Run({"module.z580"}, false);
  EXPECT_EQ(interactive.exitCode, 1);
  EXPECT_EQ(interactive.errors.rfind("zt580: no display", 0), 0u) << interactive.errors;
}

// The application object in this process: an interactive start naming a file that
// does not exist yet makes a new configuration with that file as its path, so that
// saving writes it (through the document's one save path).
TEST_F(ProgramRunTest, InteractiveStartTakesAMissingFileAsThePathOfANewConfiguration) {
  ASSERT_NO_FATAL_FAILURE(StartModule(19));
  WriteProgramString("port_path", sim_->SlavePath());
  CmyCommandLineInfo commandLine(dir_);
  commandLine.ParseWords({"fresh.z580"});
  int argc = 1;
  char name[] = "zt580";
  char* argv[] = {name, nullptr};
  {
    CPelmApp application(argc, argv, std::move(commandLine));
    ASSERT_TRUE(application.InitInstance());
    ASSERT_NE(application.MainFrame(), nullptr);
    EXPECT_EQ(application.Document()->pathName, dir_ + "/fresh.z580");
    EXPECT_EQ(application.MainFrame()->windowTitle().toStdString(), "Конфигуратор Z580-20 - fresh.z580");
    EXPECT_GT(application.MainFrame()->View()->PelmTree()->topLevelItemCount(), 0);  // the tree shows
    EXPECT_FALSE(FileHasContent(dir_ + "/fresh.z580"));
    EXPECT_TRUE(application.OnFileSave());
    EXPECT_TRUE(FileHasContent(dir_ + "/fresh.z580"));
    application.MainFrame()->CloseFromProgram();
    EXPECT_TRUE(application.QuitRequested());
    EXPECT_EQ(application.ExitInstance(), 0);
  }
  RecentFileList recent;
  recent.Load();
  ASSERT_FALSE(recent.Entries().empty());
  EXPECT_EQ(recent.Entries()[0], dir_ + "/fresh.z580");
}

}  // namespace
