#include <optional>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/ReadFile.h"
#include "support/ScopedConfigDir.h"
#include "platform/Registry.h"
#include "platform/SettingsStore.h"

using namespace platform;

namespace {

// Each test gets its own empty configuration folder.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config_.emplace("z580-settings");
    root_ = config_->Path();
  }
  void TearDown() override { config_.reset(); }
  static void Spit(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  }
  std::string root_;
  std::optional<ScopedConfigDir> config_;
};

TEST_F(SettingsTest, FirstStartReadsDefaultsAndWritingCreatesTheKey) {
  EXPECT_EQ(SettingsDirectory(), root_ + "/TEVI");
  uint32_t v = 0;
  EXPECT_FALSE(ReadProgramDword("baud_rate", v, 9600));
  EXPECT_EQ(v, 9600u);
  std::string s;
  EXPECT_FALSE(ReadProgramString("port_path", s, "/dev/ttyS0"));
  EXPECT_EQ(s, "/dev/ttyS0");

  EXPECT_TRUE(WriteProgramDword("baud_rate", 115200));
  EXPECT_TRUE(WriteProgramDword("port_number", 3));
  EXPECT_TRUE(ReadProgramDword("BAUD_RATE", v, 9600));  // names are case-insensitive
  EXPECT_EQ(v, 115200u);
  EXPECT_TRUE(ReadProgramDword("port_number", v, 1));
  EXPECT_EQ(v, 3u);
  EXPECT_NE(testsupport::ReadFile(root_ + "/TEVI/HKEY_CURRENT_USER.ini").find("[Software\\TEVI\\Zt580]"), std::string::npos);

  EXPECT_TRUE(WriteProgramDword("baud_rate", 0xFFFFFFFFu));  // overwrite, full range
  EXPECT_TRUE(ReadProgramDword("baud_rate", v, 0));
  EXPECT_EQ(v, 0xFFFFFFFFu);

  // A text value does not read as a number.
  EXPECT_TRUE(WriteProgramString("address", "16"));
  EXPECT_FALSE(ReadProgramDword("address", v, 7));
  EXPECT_EQ(v, 7u);
}

TEST_F(SettingsTest, MachineValuesGoToTheirOwnFile) {
  EXPECT_TRUE(WriteRegistryString("version", "1.0.0.1", "Software\\TEVI\\Devices\\Zt580"));
  std::string s;
  EXPECT_TRUE(ReadSettingString(Hive::LocalMachine, "software\\tevi\\devices\\zt580", "VERSION", s));
  EXPECT_EQ(s, "1.0.0.1");
  EXPECT_FALSE(ReadSettingString(Hive::CurrentUser, "Software\\TEVI\\Devices\\Zt580", "version", s));
  // Key paths that cannot be stored fail quietly.
  EXPECT_FALSE(WriteRegistryString("x", "y", ""));
  EXPECT_FALSE(WriteRegistryString("x", "y", "a]b"));
  EXPECT_FALSE(WriteRegistryString("x", "y", "a\nb"));
}

TEST_F(SettingsTest, AwkwardTextsAndNamesRoundTrip) {
  const std::string texts[] = {
      "",
      "a=b",
      "[section]",
      "line1\nline2\r\n\tend",
      "\"quoted\" \\ back\\slash \\x41",
      "  leading and trailing  ",
      std::string("nul\0inside", 10),
      "dword:00000001",
      "Сетевые параметры программы",
      "; not a comment",
      "\x01\x7F",
  };
  int i = 0;
  for (const std::string& text : texts) {
    std::string name = "v" + std::to_string(i++) + " = [\"odd\"]\n";
    ASSERT_TRUE(WriteProgramString(name, text)) << i;
    std::string back;
    ASSERT_TRUE(ReadProgramString(name, back, "?")) << i;
    EXPECT_EQ(back, text) << i;
  }
  // Every value is still there after all the rewrites.
  SettingsData data = LoadHive(Hive::CurrentUser);
  ASSERT_NE(data.FindKey(kProgramKeyPath), nullptr);
  EXPECT_EQ(data.FindKey(kProgramKeyPath)->values.size(), std::size(texts));
}

TEST_F(SettingsTest, HandWrittenFileIsRead) {
  mkdir((root_ + "/TEVI").c_str(), 0700);
  Spit(root_ + "/TEVI/HKEY_CURRENT_USER.ini",
       "\xEF\xBB\xBF; ports of this computer\r\n"
       "[ports]\r\n"
       "COM3 = /dev/ttyUSB0\r\n"
       "  COM4=/dev/serial/by-id/usb-x=y  \n"
       "\n"
       "[Software\\TEVI\\Zt580]\n"
       "\"port_number\"=DWORD:0000000A\n");
  auto ports = ReadSettingStrings(Hive::CurrentUser, kPortsKeyPath);
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].first, "COM3");
  EXPECT_EQ(ports[0].second, "/dev/ttyUSB0");
  EXPECT_EQ(ports[1].second, "/dev/serial/by-id/usb-x=y");
  uint32_t v = 0;
  EXPECT_TRUE(ReadProgramDword("port_number", v, 1));
  EXPECT_EQ(v, 10u);
  // Writing keeps the hand-written entries.
  EXPECT_TRUE(WriteProgramDword("baud_rate", 2400));
  EXPECT_EQ(ReadSettingStrings(Hive::CurrentUser, kPortsKeyPath).size(), 2u);
}

// Every start writes the program's registration again: values that are already
// there must not cost a rewrite (and its waits for the disk), nor touch a person's file.
TEST_F(SettingsTest, WritingTheStoredValueLeavesTheFileAlone) {
  const std::string path = root_ + "/TEVI/HKEY_CURRENT_USER.ini";
  auto inode = [&path] {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : ino_t{0};
  };
  ASSERT_TRUE(WriteProgramDword("baud_rate", 9600));
  ASSERT_TRUE(WriteProgramString("port_path", "/dev/ttyUSB0"));
  struct Step {
    bool dword;
    const char* name;
    uint32_t number;
    const char* text;
    bool rewrites;
  };
  const Step steps[] = {
      {true, "baud_rate", 9600, "", false},
      {true, "BAUD_RATE", 9600, "", false},        // the same value under another case
      {false, "port_path", 0, "/dev/ttyUSB0", false},
      {true, "baud_rate", 19200, "", true},
      {false, "port_path", 0, "/dev/ttyUSB1", true},
      {true, "port_path", 5, "", true},            // a text becomes a number
      {true, "address", 16, "", true},             // a new value
  };
  for (const Step& step : steps) {
    const ino_t before = inode();
    ASSERT_NE(before, ino_t{0});
    EXPECT_TRUE(step.dword ? WriteProgramDword(step.name, step.number) : WriteProgramString(step.name, step.text));
    EXPECT_EQ(inode() != before, step.rewrites) << step.name;
  }
  uint32_t v = 0;
  EXPECT_TRUE(ReadProgramDword("port_path", v, 0));
  EXPECT_EQ(v, 5u);

  // A hand-written file keeps its comments while nothing in it changes.
  const std::string handWritten = "; my ports\n[ports]\nCOM3=/dev/ttyUSB0\n\n[Software\\TEVI\\Zt580]\n\"baud_rate\"=dword:00002580\n";
  Spit(path, handWritten);
  EXPECT_TRUE(WriteProgramDword("baud_rate", 9600));
  EXPECT_EQ(testsupport::ReadFile(path), handWritten);
}

TEST_F(SettingsTest, DamagedFileReadsAsEmpty) {
  const char* damaged[] = {
      "\"orphan\"=dword:1\n",                     // value outside a key
      "[key\n\"a\"=dword:1\n",                    // unterminated section
      "[key]\n\"a\"=dword:123456789\n",           // more than 32 bits
      "[key]\n\"a\"=dword:xyz\n",                 // not hex
      "[key]\n\"a\"=\"unterminated\n",            // open quote
      "[key]\n\"a\"=\"bad \\q escape\"\n",        // unknown escape
      "[key]\n\"a\"=\"x\" trailing\n",            // text after the quote
      "[key]\nno equals sign\n",                  //
      "[key]\n\"a\"=\"\\x4\"\n",                  // short hex escape
  };
  mkdir((root_ + "/TEVI").c_str(), 0700);
  const std::string path = root_ + "/TEVI/HKEY_CURRENT_USER.ini";
  for (const char* text : damaged) {
    SettingsData data;
    EXPECT_FALSE(ParseSettingsText(text, data)) << text;
    EXPECT_TRUE(data.keys.empty()) << text;
    Spit(path, text);
    uint32_t v = 0;
    EXPECT_FALSE(ReadSettingDword(Hive::CurrentUser, "key", "a", v)) << text;
  }
  SettingsData data;
  EXPECT_FALSE(ParseSettingsText(std::string("[key]\n\"a\"=\"x\0y\"\n", 17), data));
  // A damaged file is replaced by a sound one on the next write.
  EXPECT_TRUE(WriteProgramDword("address", 16));
  EXPECT_TRUE(ParseSettingsText(testsupport::ReadFile(path), data));
}

TEST_F(SettingsTest, AWriteNeverDestroysAFileItCouldNotRead) {
  mkdir((root_ + "/TEVI").c_str(), 0700);
  const std::string path = root_ + "/TEVI/HKEY_CURRENT_USER.ini";
  // A hand-edited table with one typo: the write heals the file, and the old text
  // stays beside it for its owner.
  const std::string damaged = "[ports]\nCOM3 /dev/ttyUSB0\nCOM4=/dev/ttyUSB1\n";
  Spit(path, damaged);
  EXPECT_TRUE(WriteProgramDword("address", 16));
  uint32_t v = 0;
  EXPECT_TRUE(ReadProgramDword("address", v, 1));
  std::string kept;
  FILE* p = popen(("cat '" + root_ + "/TEVI/'HKEY_CURRENT_USER.ini.damaged*").c_str(), "r");
  char buf[256];
  while (p && fgets(buf, sizeof buf, p)) kept += buf;
  if (p) pclose(p);
  EXPECT_EQ(kept, damaged);

  // A file too large to be ours is left alone, and the write fails quietly.
  const std::string big = "[k]\n" + std::string(5u << 20, ';') + "\n";
  Spit(path, big);
  EXPECT_FALSE(WriteProgramDword("address", 17));
  EXPECT_TRUE(testsupport::ReadFile(path) == big);  // (not printed: 5 MB)
}

TEST(SettingsText, NamesRepeatedInAnotherCaseMergeAndLargeFilesParseInOnePass) {
  SettingsData data;
  ASSERT_TRUE(ParseSettingsText("[Key]\n\"Name\"=dword:1\n[KEY]\nNAME=x\n[other]\n", data));
  ASSERT_EQ(data.keys.size(), 2u);
  ASSERT_EQ(data.keys[0].values.size(), 1u);
  EXPECT_EQ(data.keys[0].path, "Key");  // the first spelling stays, the last value wins
  EXPECT_EQ(data.keys[0].values[0].name, "Name");
  EXPECT_EQ(data.keys[0].values[0].text, "x");

  // A file near the size limit with many keys and values: each lookup used to scan
  // everything before it, which took hours, and every settings read parses the file.
  std::string big;
  constexpr int kKeys = 30000, kValuesInOne = 60000;
  for (int i = 0; i < kKeys; ++i) big += "[k" + std::to_string(i) + "]\n";
  for (int i = 0; i < kValuesInOne; ++i) big += "\"v" + std::to_string(i) + "\"=dword:1\n";
  ASSERT_TRUE(ParseSettingsText(big, data));
  ASSERT_EQ(data.keys.size(), static_cast<size_t>(kKeys));
  EXPECT_EQ(data.keys.back().values.size(), static_cast<size_t>(kValuesInOne));
}

TEST_F(SettingsTest, UnwritableFolderFailsQuietly) {
  // A file where the folder should be: fails even for a privileged user.
  setenv("XDG_CONFIG_HOME", (root_ + "/blocker").c_str(), 1);
  Spit(root_ + "/blocker", "not a folder");
  EXPECT_FALSE(WriteRegistryString("name", "Zt580", "Software\\TEVI\\Devices\\Zt580"));
  EXPECT_FALSE(WriteProgramDword("address", 16));
  uint32_t v = 0;
  EXPECT_FALSE(ReadProgramDword("address", v, 16));
  EXPECT_EQ(v, 16u);

  // The hive file's place taken by a folder: the rename fails, no temporary file stays.
  setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
  mkdir((root_ + "/TEVI").c_str(), 0700);
  mkdir((root_ + "/TEVI/HKEY_LOCAL_MACHINE.ini").c_str(), 0700);
  EXPECT_FALSE(WriteRegistryString("name", "Zt580", "Software\\TEVI\\Devices\\Zt580"));
  EXPECT_TRUE(WriteProgramDword("address", 17));  // the other hive still works
  std::string listing;
  FILE* p = popen(("ls -A '" + root_ + "/TEVI'").c_str(), "r");
  char buf[256];
  while (p && fgets(buf, sizeof buf, p)) listing += buf;
  if (p) pclose(p);
  EXPECT_EQ(listing, "HKEY_CURRENT_USER.ini\nHKEY_LOCAL_MACHINE.ini\n");
}

TEST_F(SettingsTest, ConcurrentWritersNeverLeaveAHalfFileNorLoseValues) {
  constexpr int kWriters = 4, kValues = 40;
  const std::string path = root_ + "/TEVI/HKEY_CURRENT_USER.ini";
  ASSERT_TRUE(WriteProgramString("padding", std::string(20000, 'p')));  // big enough to be written in pieces
  // A write may fail when the folder's lock stays taken beyond its bound (a loaded
  // machine, writers in a tight loop); it says so. A write that says it is done is
  // never lost. Each writer remembers which of its writes failed (a bit each).
  std::vector<pid_t> children;
  int pipes[kWriters][2];
  for (int w = 0; w < kWriters; ++w) {
    ASSERT_EQ(pipe(pipes[w]), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      uint64_t failed = 0;
      for (int i = 0; i < kValues; ++i)
        if (!WriteProgramDword("w" + std::to_string(w) + "_" + std::to_string(i), static_cast<uint32_t>(i)))
          failed |= uint64_t{1} << i;
      _exit(::write(pipes[w][1], &failed, sizeof failed) == sizeof failed ? 0 : 1);
    }
    ::close(pipes[w][1]);
    children.push_back(pid);
  }
  // Meanwhile, threads in this process write too and a reader checks every version it sees.
  std::atomic<bool> stop{false};
  std::atomic<int> damagedSeen{0};
  std::thread reader([&] {
    while (!stop) {
      SettingsData data;
      if (!ParseSettingsText(testsupport::ReadFile(path), data) || !data.Find(kProgramKeyPath, "padding")) ++damagedSeen;
    }
  });
  uint64_t localFailed = 0;
  std::thread localWriter([&] {
    for (int i = 0; i < kValues; ++i)
      if (!WriteProgramDword("local_" + std::to_string(i), static_cast<uint32_t>(i))) localFailed |= uint64_t{1} << i;
  });
  std::vector<std::string> done;
  for (int w = 0; w < kWriters; ++w) {
    int status = 0;
    ASSERT_EQ(waitpid(children[w], &status, 0), children[w]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    uint64_t failed = ~uint64_t{0};
    EXPECT_EQ(::read(pipes[w][0], &failed, sizeof failed), static_cast<ssize_t>(sizeof failed));
    ::close(pipes[w][0]);
    for (int i = 0; i < kValues; ++i)
      if (!(failed >> i & 1)) done.push_back("w" + std::to_string(w) + "_" + std::to_string(i));
  }
  localWriter.join();
  stop = true;
  reader.join();
  for (int i = 0; i < kValues; ++i)
    if (!(localFailed >> i & 1)) done.push_back("local_" + std::to_string(i));
  EXPECT_EQ(damagedSeen.load(), 0);
  EXPECT_GT(done.size(), static_cast<size_t>(kValues));  // not vacuous: most writes get through
  SettingsData data = LoadHive(Hive::CurrentUser);
  ASSERT_NE(data.FindKey(kProgramKeyPath), nullptr);
  EXPECT_EQ(data.FindKey(kProgramKeyPath)->values.size(), 1 + done.size());
  for (const std::string& name : done) EXPECT_NE(data.Find(kProgramKeyPath, name), nullptr) << name;
}

}  // namespace
