#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/FileBytes.h"
#include "support/ReadFile.h"
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
  EXPECT_NE(error.find("файл больше"), std::string::npos) << error;
  EXPECT_TRUE(ReadWholeFile(file, got, error, data.size()));

  EXPECT_FALSE(ReadWholeFile(dir_ / "missing.z580", got, error));
  EXPECT_NE(error.find("missing.z580"), std::string::npos) << error;

  EXPECT_FALSE(ReadWholeFile(dir_, got, error));
  EXPECT_FALSE(error.empty());

  // A FIFO without a writer must not block the reader.
  const fs::path fifo = dir_ / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ReadWholeFile(fifo, got, error));
  EXPECT_NE(error.find("это не обычный файл"), std::string::npos) << error;
}

TEST_F(FileBytesTest, ReplacesTheFileAndKeepsItsPermissions) {
  const fs::path file = dir_ / "conf.z580";
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(file, Bytes{1, 2, 3}, error)) << error;
  EXPECT_EQ(testsupport::ReadFile<Bytes>(file), (Bytes{1, 2, 3}));

  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomically(file, Bytes{4, 5}, error)) << error;
  EXPECT_EQ(testsupport::ReadFile<Bytes>(file), (Bytes{4, 5}));
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(EntriesInDir(), 1u);  // no temporary file left behind

  ASSERT_TRUE(WriteFileAtomically(file, Bytes{}, error)) << error;
  EXPECT_TRUE(testsupport::ReadFile<Bytes>(file).empty());
}

TEST_F(FileBytesTest, WritesThroughASymbolicLink) {
  const fs::path real = dir_ / "real.z580";
  const fs::path link = dir_ / "link.z580";
  Put(real, Bytes{1});
  fs::create_symlink(real, link);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(link, Bytes{7, 7}, error)) << error;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(testsupport::ReadFile<Bytes>(real), (Bytes{7, 7}));
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
  EXPECT_EQ(testsupport::ReadFile<Bytes>(target / "inside"), Bytes{9});
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
    EXPECT_EQ(testsupport::ReadFile<Bytes>(file), old);
    EXPECT_EQ(EntriesInDir(), linked ? 2u : 1u);
    if (linked) {
      EXPECT_EQ(testsupport::ReadFile<Bytes>(dir_ / "link.z580"), old);
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
  EXPECT_EQ(testsupport::ReadFile<Bytes>(file), (Bytes{9, 8}));
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
    EXPECT_EQ(testsupport::ReadFile<Bytes>(p), (Bytes{5, 6, 7}));
    EXPECT_EQ(after.st_uid, before.st_uid) << p;
    EXPECT_EQ(after.st_gid, before.st_gid) << p;
    EXPECT_EQ(after.st_mode, before.st_mode) << p;
  }
  EXPECT_EQ(EntriesInDir(), 4u);
}

TEST_F(FileBytesTest, AnUnprivilegedUserSavesAsADirectWriteWould) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to set the files up and to run the saves as user 65534";
  const uid_t nobody = kUnprivilegedId;
  const struct Case {
    const char* folder;  // with its owner and mode
    uid_t folderOwner;
    mode_t folderMode;
    const char* name;  // of a file of 3 bytes with its owner and mode ("new.z580": none)
    uid_t owner;
    mode_t mode;
    bool saved;
  } cases[] = {
      {"own", nobody, 0755, "protected.z580", nobody, 0444, false},
      {"locked", 0, 0555, "writable.z580", nobody, 0644, true},  // a read-only folder
      {"locked", 0, 0555, "new.z580", 0, 0, false},
      {"shared", 0, 01777, "common.z580", 0, 0666, true},  // sticky, someone else's
      {"shared", 0, 01777, "mine.z580", nobody, 0600, true},
  };
  for (const Case& c : cases) {
    const fs::path folder = dir_ / c.folder, file = folder / c.name;
    fs::create_directories(folder);
    ASSERT_EQ(::chown(folder.c_str(), c.folderOwner, c.folderOwner), 0);
    ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);
    if (std::string(c.name) == "new.z580") continue;
    Put(file, Bytes{1, 2, 3});
    ASSERT_EQ(::chown(file.c_str(), c.owner, c.owner), 0);
    ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
  }
  const Bytes fresh(992, 0x5A);
  const std::optional<std::string> report = RunUnprivileged([&] {
    std::ostringstream out;
    for (const Case& c : cases) {
      const fs::path file = dir_ / c.folder / c.name;
      struct stat before {}, after {};
      const bool existed = ::stat(file.c_str(), &before) == 0;
      std::string error;
      const bool saved = WriteFileAtomically(file, fresh, error);
      const bool exists = ::stat(file.c_str(), &after) == 0;
      if (saved != c.saved || (!saved && error.find("нет прав доступа") == std::string::npos))
        out << c.name << ": " << (saved ? "saved" : error) << "\n";
      else if (exists != (existed || saved) || (exists && testsupport::ReadFile<Bytes>(file) != (saved ? fresh : Bytes{1, 2, 3})))
        out << c.name << ": wrong content\n";
      // Another user's file and a file in a read-only folder are written in place.
      else if (saved && (after.st_uid != c.owner || (after.st_mode & 07777) != c.mode ||
                         ((c.owner != nobody || c.folderMode == 0555) && after.st_ino != before.st_ino)))
        out << c.name << ": owner, mode or inode changed\n";
    }
    return out.str();
  });
  if (!report) GTEST_SKIP() << "cannot run as user 65534 here";
  EXPECT_EQ(*report, "");
  EXPECT_EQ(EntriesInDir(), 3u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "shared"), fs::directory_iterator()), 2);
}
