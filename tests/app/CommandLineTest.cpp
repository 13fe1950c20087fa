// The command line of unattended runs: the switch table, the words that are file
// names, and what a batch run does first.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/CmyCommandLineInfo.h"
#include "app/ProgramFiles.h"
#include "link/AppState.h"
#include "link/BatchSettings.h"
#include "platform/SettingsStore.h"
#include "support/ReadFile.h"
#include "support/ScopedConfigDir.h"

using namespace exchange;

namespace {

CmyCommandLineInfo Parse(std::vector<std::string> words, std::string start = "/start") {
  CmyCommandLineInfo info(std::move(start));
  info.ParseWords(words);
  return info;
}

TEST(CommandLineTest, SwitchesFillTheSettings) {
  struct Case {
    std::vector<std::string> words;
    uint32_t runFlags;
    uint8_t modeFlags;
  };
  const Case cases[] = {
      {{"/write"}, kRunBatch | kRunWrite, 0},
      {{"/WRITE"}, kRunBatch | kRunWrite, 0},
      {{"-read"}, kRunBatch | kRunRead, 0},
      {{"/close/aply"}, kRunBatch | kRunClose | kRunAply, 0},
      {{"/calibrate"}, kRunBatch | kRunCalibrate, 0},
      {{"/ext"}, kRunBatch, 0},
      {{"/silent"}, kRunBatch, kModeSilent | kModeAutoWriteOff | kModeAutoReadOff},
      {{"/test"}, kRunBatch, kModeTest},
      {{"/autoread:on", "/autowrite:OFF"}, kRunBatch, kModeAutoReadOn | kModeAutoWriteOff},
  };
  for (const Case& c : cases) {
    const CmyCommandLineInfo info = Parse(c.words);
    SCOPED_TRACE(c.words.front());
    EXPECT_EQ(info.batch.runFlags, c.runFlags);
    EXPECT_EQ(info.batch.modeFlags, c.modeFlags);
    EXPECT_TRUE(info.fileName.empty());
    EXPECT_TRUE(info.refusals.empty());
  }
}

TEST(CommandLineTest, LinkValuesAndTheirNumberForms) {
  const CmyCommandLineInfo info =
      Parse({"/Port:3/bps:0x2580", "/len:07", "/alen:11", "/addr:0X1F", "/sbit:2", "/prty:EVEN", "/rs485:off"});
  EXPECT_TRUE(info.refusals.empty());
  EXPECT_EQ(info.batch.runFlags, kRunBatch | kRunLinkSettings);
  EXPECT_EQ(info.batch.portNumber, 3);
  EXPECT_EQ(info.batch.baudRate, 9600u);
  EXPECT_EQ(info.batch.dataLength, 7);
  EXPECT_EQ(info.batch.addressLength, 11);
  EXPECT_EQ(info.batch.address, "0x1f");  // values are used in lower case
  EXPECT_EQ(info.batch.stopBits, "2");
  EXPECT_EQ(info.batch.parity, 1);
  EXPECT_EQ(info.batch.converterMode, 2);
  // A port by its name, as the ports are named.
  EXPECT_EQ(Parse({"/port:COM7"}).batch.portNumber, 7);
  EXPECT_EQ(Parse({"/bps:14400"}).batch.baudRate, 14400u);
  EXPECT_EQ(Parse({"/addr:12345"}).batch.address, "12345");  // the longest that fits
}

// Every word is understood, or the run refuses it with one line naming it and
// changes none of the settings for it.
TEST(CommandLineTest, WhatTheRunDoesNotUnderstandIsRefused) {
  struct Case {
    std::vector<std::string> words;
    std::string named;      // a piece of the one line; "" for no line
    bool refused = true;    // false: a warning, the run goes on
    std::string fileName = "";
  };
  std::vector<Case> cases = {
      {{"/write", "/port:7", "/close", "/frobnicate", "good.z580"}, "\"/frobnicate\"", true, "/start/good.z580"},
      {{"-Whatever", "good.z580"}, "\"-Whatever\"", true, "/start/good.z580"},
      {{"/write/frob:1/close"}, "\"frob:1\""},
      {{"/port:2", "/prty:mark"}, "\"/prty:mark\""},
      {{"/adr:17"}, "\"/adr:17\" is no switch"},
      {{"/address:17"}, "\"/address:17\" is no switch"},
      {{"--write"}, "\"--write\" is no switch"},
      {{"-red"}, "\"-red\" is no switch"},
      {{"/raed"}, "\"/raed\" is no switch"},
      {{"/bps:fast"}, "\"/bps:fast\": not a rate the port knows"},
      {{"/bps:0"}, "\"/bps:0\": not a rate the port knows"},
      {{"/len:9"}, "\"/len:9\": a data length is 7 or 8"},
      {{"/prty:none"}, "\"/prty:none\": the value is one of even, odd, no"},
      // A switch typed with a character that is none of its own.
      {{"/write", "//read", "good.z580"}, "\"//read\" is no switch", true, "/start/good.z580"},
      {{"/write", "\\read", "good.z580"}, "\"\\read\" is no switch", true, "/start/good.z580"},
      {{"/write", "\u2014read", "good.z580"}, "\"\u2014read\" is no switch", true, "/start/good.z580"},
      // Words the run would not use, and switches that would cancel each other.
      {{"/write", "a.z580", "b.z580"}, "a second file name \"b.z580\"", true, "/start/a.z580"},
      {{"/close", "a.z580"}, "no \"/write\" or \"/read\" uses it", true, "/start/a.z580"},
      {{"/test", "a.z580"}, "no \"/write\" or \"/read\" uses it", true, "/start/a.z580"},
      {{"/test", "/read", "a.z580"}, "\"/test\" beside \"/read\"", true, "/start/a.z580"},
      {{"/calibrate", "/write", "a.z580"}, "\"/calibrate\" beside \"/write\"", true, "/start/a.z580"},
      {{"/port:7", "/port:8"}, "\"/port:8\": \"port\" was given before with another value (\"7\")"},
      {{"/elog:a.log", "/elog:b.log"}, "\"/elog:b.log\": \"elog\" was given before"},
      {{"/exitevent:a/b"}, "\"/exitevent:a/b\": an exit event's name has no \"/\""},
      {{"/exitevent:" + std::string(300, 'e')}, "an exit event's name has at most 245 bytes"},
      // The same value twice, in another form: nothing to refuse.
      {{"/port:7", "/port:COM7", "/elog:a.log", "/elog:./a.log"}, "", false},
      // Passed over without harm: a second file name, a read beside a write.
      {{"a.z580", "b.z580"}, "\"b.z580\"", false, "/start/a.z580"},
      {{"/read", "/write"}, "only the write runs", false},
      {{"/read", "/tmp/new.z580"}, "", false, "/tmp/new.z580"},  // a file a read makes
  };
  // Each alone is refused with a line naming it.
  for (const char* word : {"/", "/bps:1920O", "/bps:-9600", "/bps:12345", "/port:264", "/port:0", "/port:COM",
                           "/port:3x", "/len:263", "/sbit:xx", "/sbit:1.5", "/alen:9", "/alen:267",
                           "/rs485:sometimes", "/autoread:maybe", "/x:1e3", "/w:99999999999", "/close:yes", "/port",
                           "/addr:", "/elog:", "/addr:123456", "/addr:1O"})
    cases.push_back({{word}, "\"" + std::string(word) + "\""});
  for (const Case& c : cases) {
    const CmyCommandLineInfo info = Parse(c.words);
    SCOPED_TRACE(c.words.front() + " ... " + c.words.back());
    EXPECT_EQ(info.fileName, c.fileName);
    const std::vector<std::string>& lines = c.refused ? info.refusals : info.warnings;
    EXPECT_TRUE((c.refused ? info.warnings : info.refusals).empty());
    ASSERT_EQ(lines.size(), c.named.empty() ? 0u : 1u);
    if (c.named.empty()) continue;
    EXPECT_NE(lines[0].find(c.named), std::string::npos) << lines[0];
    if (!c.refused) continue;
    // Nothing of a refused word is taken.
    EXPECT_EQ(info.batch.baudRate, 0u);
    EXPECT_EQ(info.batch.parity, 0);
    EXPECT_EQ(info.batch.address, "");
    EXPECT_EQ(info.batch.stopBits, "");
    EXPECT_EQ(info.batch.converterMode, 0);
    EXPECT_EQ(info.batch.windowFlags, 0);
  }
}

// The error log is never a file of the run's own, by any path or link, nor one
// the run could wait for; what it may be is opened without waiting.
TEST(CommandLineTest, AnErrorLogThatIsAFileOfTheRunIsRefused) {
  ScopedConfigDir config("z580-elog");
  const std::string dir = config.Path() + "/";
  std::filesystem::create_directories(dir + "sub");
  std::ofstream(dir + "w.z580") << "configuration";
  std::filesystem::create_hard_link(dir + "w.z580", dir + "link.z580");
  const std::string settings = platform::HiveFilePath(platform::Hive::CurrentUser);
  std::filesystem::create_directories(std::filesystem::path(settings).parent_path());
  std::ofstream(settings) << "[ports]\n";
  std::filesystem::create_symlink(settings, dir + "settings-link");
  ASSERT_EQ(::mkfifo((dir + "fifo").c_str(), 0600), 0);
  const std::string program = std::filesystem::read_symlink("/proc/self/exe").string();
  for (const auto& [log, file, named] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {dir + "w.z580", dir + "w.z580", "names the configuration file"},
           {dir + "sub/../w.z580", dir + "w.z580", "names the configuration file"},
           {dir + "link.z580", dir + "w.z580", "names the configuration file"},  // another name
           {dir + "new.z580", dir + "sub/../new.z580", "names the configuration file"},  // neither there yet
           {settings, "", "names the settings file"},
           {dir + "settings-link", "", "names the settings file"},
           {config.Path() + "/TEVI/HKEY_LOCAL_MACHINE.ini", "", "names the settings file"},  // not there yet
           {GetProgramDirectory(kDataFileName), "", "names the model descriptions"},
           {program, "", "names the program"},
           {dir + "fifo", "", "is a FIFO"},
           {dir + "sub", "", "is a folder"},
           {"/dev/zero", "", "is a device"},
           {dir + "errors.log", dir + "w.z580", ""},
           {dir + "w.z580", "", ""},
           {"/dev/null", "", ""},
           {"/dev/stderr", "", ""}}) {
    const std::string problem = RunFilesOf(file).LogProblem(log);
    EXPECT_EQ(problem.find(named) == std::string::npos, problem.empty() != named.empty()) << log << ": " << problem;
    std::string error;
    const int fd = RunFilesOf(file).OpenLog(log, true, &error);
    EXPECT_EQ(fd >= 0, named.empty()) << log << ": " << error;
    if (fd >= 0) ::close(fd);
  }
  // Opened as it is: the file is emptied, a standard stream never.
  EXPECT_EQ(std::filesystem::file_size(dir + "w.z580"), 0u);
  EXPECT_EQ(testsupport::ReadFile(settings), "[ports]\n");
}

TEST(CommandLineTest, WindowPlacementSwitches) {
  // The whole int range.
  const CmyCommandLineInfo ends = Parse({"/x:2147483647/y:-2147483648"});
  EXPECT_TRUE(ends.refusals.empty());
  EXPECT_EQ(ends.batch.x, 2147483647);
  EXPECT_EQ(ends.batch.y, -2147483647 - 1);
  const CmyCommandLineInfo info = Parse({"/x:10/y:-20/w:800/h:0x258"});
  EXPECT_EQ(info.batch.windowFlags, kWindowX | kWindowY | kWindowWidth | kWindowHeight);
  EXPECT_EQ(info.batch.x, 10);
  EXPECT_EQ(info.batch.y, -20);
  EXPECT_EQ(info.batch.width, 800);
  EXPECT_EQ(info.batch.height, 600);
}

TEST(CommandLineTest, FileNamesKeepTheirCaseAndResolveAgainstTheStartDirectory) {
  EXPECT_EQ(Parse({"/write", "My File.z580"}).fileName, "/start/My File.z580");
  EXPECT_EQ(Parse({"Sub/Cfg.Z580"}, "/home/u/").fileName, "/home/u/Sub/Cfg.Z580");
  // An absolute path is a file name unless its first piece names a switch.
  EXPECT_EQ(Parse({"/tmp/Cfg.z580"}).fileName, "/tmp/Cfg.z580");
  EXPECT_EQ(Parse({"/tmp/Cfg.z580"}).batch.runFlags, 0u);
  EXPECT_EQ(Parse({"\"/tmp/a b.z580\""}).fileName, "/tmp/a b.z580");
  // The first file name counts.
  EXPECT_EQ(Parse({"a.z580", "b.z580"}).fileName, "/start/a.z580");
  // A file that exists is the file even when it is named like a switch, unless
  // the word is a switch the run understands.
  const std::string dir = ::testing::TempDir() + "switch-like/";
  std::filesystem::create_directories(dir);
  for (const char* name : {"-w.z580", "-read"}) std::ofstream(dir + name) << "x";
  const CmyCommandLineInfo named = Parse({"/write", "-w.z580", "-read"}, dir);
  EXPECT_TRUE(named.refusals.empty());
  EXPECT_EQ(named.fileName, dir + "-w.z580");
  EXPECT_EQ(named.batch.runFlags & kRunRead, 0u);  // read beside write: only the write runs
  EXPECT_EQ(named.warnings.size(), 1u);
  EXPECT_TRUE(CmyCommandLineInfo::IsSwitchWord("/write"));
  EXPECT_TRUE(CmyCommandLineInfo::IsSwitchWord("/Port:3/bps:9600"));
  EXPECT_FALSE(CmyCommandLineInfo::IsSwitchWord("/home/write"));
  EXPECT_FALSE(CmyCommandLineInfo::IsSwitchWord("file.z580"));
}

TEST(CommandLineTest, ErrorLogAndExitEventTakeTheRestOfTheWordInItsCase) {
  const CmyCommandLineInfo info = Parse({"/read/elog:\"/var/Log/Run 1.txt\"", "/exitevent:MyEvent", "out.z580"});
  EXPECT_EQ(info.batch.runFlags, kRunBatch | kRunRead);
  EXPECT_EQ(info.errorLogPath, "/var/Log/Run 1.txt");
  EXPECT_EQ(info.exitEventName, "MyEvent");
  EXPECT_EQ(info.fileName, "/start/out.z580");
  EXPECT_EQ(Parse({"/elog:errors.log"}).errorLogPath, "/start/errors.log");
}

TEST(CommandLineTest, WhatABatchRunDoesFirst) {
  auto first = [](std::vector<std::string> words) { return FirstBatchCommand(Parse(std::move(words)).batch); };
  EXPECT_EQ(first({}), 0);
  EXPECT_EQ(first({"/close"}), 0);
  EXPECT_EQ(first({"/read"}), 139);
  EXPECT_EQ(first({"/read", "/write"}), 140);  // only the write runs
  EXPECT_EQ(first({"/calibrate", "/read"}), 303);

  BatchSettings write = Parse({"/write"}).batch;
  BatchSettings read = Parse({"/read"}).batch;
  EXPECT_NE(BatchFileProblem(write, ""), "");
  EXPECT_NE(BatchFileProblem(read, ""), "");
  EXPECT_NE(BatchFileProblem(write, "/no-such.z580"), "");
  EXPECT_EQ(BatchFileProblem(read, "/new.z580"), "");  // a read makes it
  EXPECT_EQ(BatchFileProblem(Parse({"/close"}).batch, ""), "");
}

}  // namespace
