#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/FileBytes.h"
#include "support/Unprivileged.h"

namespace fs = std::filesystem;
using platform::ReadWholeFile;
using platform::WriteFileAtomically;

namespace {

using Bytes = std::vector<uint8_t>;

class FileBytesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("z580-filebytes-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static Bytes Slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
  }
  static void Put(const fs::path& p, const Bytes& b) {
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  }
  size_t EntriesInDir() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }

  fs::path dir_;
};

}  // namespace

TEST_F(FileBytesTest, ReadsWholeFilesAndRefusesWhatIsNotOne) {
  const fs::path file = dir_ / "a.z580";
  Bytes data(200000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  Put(file, data);
  Bytes got;
  std::string error;
  ASSERT_TRUE(ReadWholeFile(file, got, error)) << error;
  EXPECT_EQ(got, data);
  EXPECT_TRUE(error.empty());

  EXPECT_FALSE(ReadWholeFile(file, got, error, data.size() - 1));
  EXPECT_TRUE(got.empty());
  EXPECT_NE(error.find("larger than"), std::string::npos) << error;
  EXPECT_TRUE(ReadWholeFile(file, got, error, data.size()));

  EXPECT_FALSE(ReadWholeFile(dir_ / "missing.z580", got, error));
  EXPECT_NE(error.find("missing.z580"), std::string::npos) << error;

  EXPECT_FALSE(ReadWholeFile(dir_, got, error));
  EXPECT_FALSE(error.empty());

  // A FIFO without a writer must not block the reader.
  const fs::path fifo = dir_ / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ReadWholeFile(fifo, got, error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
}

TEST_F(FileBytesTest, ReplacesTheFileAndKeepsItsPermissions) {
  const fs::path file = dir_ / "conf.z580";
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(file, Bytes{1, 2, 3}, error)) << error;
  EXPECT_EQ(Slurp(file), (Bytes{1, 2, 3}));

  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomically(file, Bytes{4, 5}, error)) << error;
  EXPECT_EQ(Slurp(file), (Bytes{4, 5}));
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(EntriesInDir(), 1u);  // no temporary file left behind

  ASSERT_TRUE(WriteFileAtomically(file, Bytes{}, error)) << error;
  EXPECT_TRUE(Slurp(file).empty());
}

TEST_F(FileBytesTest, WritesThroughASymbolicLink) {
  const fs::path real = dir_ / "real.z580";
  const fs::path link = dir_ / "link.z580";
  Put(real, Bytes{1});
  fs::create_symlink(real, link);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(link, Bytes{7, 7}, error)) << error;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Slurp(real), (Bytes{7, 7}));
}

TEST_F(FileBytesTest, AFailedRenameLeavesTheOldEntryAndNoTemporaryFile) {
  // A folder in the file's place cannot be replaced by a file.
  const fs::path target = dir_ / "taken.z580";
  fs::create_directory(target);
  Put(target / "inside", Bytes{9});
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(target, Bytes{1, 2}, error));
  EXPECT_NE(error.find("taken.z580"), std::string::npos) << error;
  EXPECT_TRUE(fs::is_directory(target));
  EXPECT_EQ(Slurp(target / "inside"), Bytes{9});
  EXPECT_EQ(EntriesInDir(), 1u);

  EXPECT_FALSE(WriteFileAtomically(dir_ / "no-such-folder" / "x.z580", Bytes{1}, error));
  EXPECT_FALSE(error.empty());
}

TEST_F(FileBytesTest, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  // Once through a new file and a rename, once in place (a hard link forces it).
  for (const bool linked : {false, true}) {
    SCOPED_TRACE(linked ? "in place" : "renamed");
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    const fs::path file = dir_ / "old.z580";
    const Bytes old = {1, 2, 3, 4};
    Put(file, old);
    if (linked) fs::create_hard_link(file, dir_ / "link.z580");

    // A file-size limit makes the write fail even for a user who may write anywhere.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
    struct rlimit small = saved;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    const bool written = WriteFileAtomically(file, Bytes(4096, 0xAB), error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_FALSE(written);
    EXPECT_NE(error.find("old.z580"), std::string::npos) << error;
    EXPECT_EQ(Slurp(file), old);
    EXPECT_EQ(EntriesInDir(), linked ? 2u : 1u);
    if (linked) {
      EXPECT_EQ(Slurp(dir_ / "link.z580"), old);
    }
  }
}

TEST_F(FileBytesTest, KeepsTheLinksOwnerAndGroupOfTheFile) {
  const fs::path file = dir_ / "conf.z580";
  const fs::path link = dir_ / "second-name.z580";
  Put(file, Bytes{1, 2, 3});
  fs::create_hard_link(file, link);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(link, Bytes{9, 8}, error)) << error;
  EXPECT_EQ(Slurp(file), (Bytes{9, 8}));
  EXPECT_EQ(fs::hard_link_count(file), 2u);
  EXPECT_EQ(EntriesInDir(), 2u);

  if (::geteuid() != 0) GTEST_SKIP() << "owner and group cases need root to give files away";
  // Another user's file that we may write keeps its owner; our own file keeps a
  // group that is not ours.
  const fs::path theirs = dir_ / "theirs.z580";
  const fs::path grouped = dir_ / "grouped.z580";
  Put(theirs, Bytes{1});
  Put(grouped, Bytes{1});
  ASSERT_EQ(::chown(theirs.c_str(), 1234, 1234), 0);
  ASSERT_EQ(::chmod(theirs.c_str(), 0666), 0);
  ASSERT_EQ(::chown(grouped.c_str(), 0, 1234), 0);
  for (const fs::path& p : {theirs, grouped}) {
    struct stat before {};
    ASSERT_EQ(::stat(p.c_str(), &before), 0);
    ASSERT_TRUE(WriteFileAtomically(p, Bytes{5, 6, 7}, error)) << error;
    struct stat after {};
    ASSERT_EQ(::stat(p.c_str(), &after), 0);
    EXPECT_EQ(Slurp(p), (Bytes{5, 6, 7}));
    EXPECT_EQ(after.st_uid, before.st_uid) << p;
    EXPECT_EQ(after.st_gid, before.st_gid) << p;
    EXPECT_EQ(after.st_mode, before.st_mode) << p;
  }
  EXPECT_EQ(EntriesInDir(), 4u);
}

TEST_F(FileBytesTest, AnUnprivilegedUserSavesAsADirectWriteWould) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to set the files up and to run the saves as user 65534";
  const uid_t nobody = kUnprivilegedId;
  auto makeDir = [&](const char* name, uid_t owner, mode_t mode) {
    const fs::path d = dir_ / name;
    fs::create_directory(d);
    EXPECT_EQ(::chown(d.c_str(), owner, owner), 0);
    EXPECT_EQ(::chmod(d.c_str(), mode), 0);
    return d;
  };
  auto makeFile = [&](const fs::path& p, uid_t owner, mode_t mode) {
    Put(p, Bytes{1, 2, 3});
    EXPECT_EQ(::chown(p.c_str(), owner, owner), 0);
    EXPECT_EQ(::chmod(p.c_str(), mode), 0);
  };
  const fs::path own = makeDir("own", nobody, 0755);        // the user's folder
  const fs::path locked = makeDir("locked", 0, 0555);       // read-only folder
  const fs::path shared = makeDir("shared", 0, 01777);      // sticky, someone else's
  makeFile(own / "readonly.z580", nobody, 0444);
  makeFile(locked / "writable.z580", nobody, 0644);
  makeFile(shared / "common.z580", 0, 0666);
  makeFile(shared / "mine.z580", nobody, 0600);

  struct Case {
    fs::path path;
    bool saved;
    uid_t owner;
    mode_t mode;
  };
  const std::vector<Case> cases = {
      {own / "readonly.z580", false, nobody, 0444},
      {locked / "writable.z580", true, nobody, 0644},
      {locked / "new.z580", false, 0, 0},
      {shared / "common.z580", true, 0, 0666},
      {shared / "mine.z580", true, nobody, 0600},
  };
  std::map<fs::path, ino_t> inodes;
  for (const Case& c : cases) {
    struct stat st {};
    if (::stat(c.path.c_str(), &st) == 0) inodes[c.path] = st.st_ino;
  }
  const Bytes fresh(992, 0x5A);
  const std::optional<std::string> report = RunUnprivileged([&] {
    std::string out;
    for (const Case& c : cases) {
      std::string error;
      out += WriteFileAtomically(c.path, fresh, error) ? "saved\n" : error + "\n";
    }
    return out;
  });
  ASSERT_TRUE(report.has_value());

  std::istringstream lines(*report);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.string());
    std::string line;
    ASSERT_TRUE(std::getline(lines, line)) << *report;
    if (!c.saved) {
      EXPECT_NE(line.find("Permission denied"), std::string::npos) << line;
      EXPECT_EQ(fs::exists(c.path), inodes.count(c.path) == 1);
      if (inodes.count(c.path)) {
        EXPECT_EQ(Slurp(c.path), (Bytes{1, 2, 3}));
      }
      continue;
    }
    EXPECT_EQ(line, "saved");
    EXPECT_EQ(Slurp(c.path), fresh);
    struct stat st {};
    ASSERT_EQ(::stat(c.path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, c.owner);
    EXPECT_EQ(st.st_mode & 07777, c.mode);
    // Another user's file and a file in a read-only folder are written in place.
    if (c.owner != nobody || c.path.parent_path() == locked) {
      EXPECT_EQ(st.st_ino, inodes[c.path]);
    }
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(own), fs::directory_iterator()), 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(shared), fs::directory_iterator()), 2);
}
