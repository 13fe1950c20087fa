#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/FileBytes.h"

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
  const fs::path file = dir_ / "old.z580";
  const Bytes old = {1, 2, 3, 4};
  Put(file, old);

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
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(Slurp(file), old);
  EXPECT_EQ(EntriesInDir(), 1u);
}
