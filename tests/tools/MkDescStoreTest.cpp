// The description packer, run as the build runs it, and its output read back
// through the program's own store.
#include <unistd.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "model/DescriptionStore.h"
#include "platform/CompoundFile.h"
#include "platform/Text.h"
#include "support/ReadFile.h"

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

void WriteAll(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

// What the packer must store for a UTF-8 text: Windows-1251, every line ending in CR LF.
std::string Expected(const std::string& utf8) {
  std::string unified;
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r') {
      unified += '\n';
      if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
    } else {
      unified += utf8[i];
    }
  }
  if (!unified.empty() && unified.back() != '\n') unified += '\n';
  std::string crlf;
  for (char c : unified) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return platform::Utf8ToCp1251(crlf);
}

int RunPacker(const std::string& args, std::string& output) {
  std::string tool = Env("Z580_BUILD_DIR") + "/tools/mkdescstore/mkdescstore";
  std::FILE* p = popen(("'" + tool + "' " + args + " 2>&1").c_str(), "r");
  if (!p) return -1;
  output.clear();
  char buf[512];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) output.append(buf, n);
  int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Zlib(const std::string& text) {
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
            static_cast<uLong>(text.size()), 9);
  out.resize(size);
  return out;
}

class Packer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Env("Z580_BUILD_DIR").empty());
    dir_ = fs::path(::testing::TempDir()) /
           ("mkdescstore_" + std::to_string(::getpid()) + "_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "texts");
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST(DataFile, BuiltBesideTheProgramWithEveryText) {
  const fs::path data = Env("Z580_BUILD_DIR") + "/app/ui/zt580.dat";
  const fs::path texts = Env("Z580_SOURCE_DIR") + "/data/descriptions";
  ASSERT_TRUE(fs::exists(data)) << data;

  platform::CompoundFile file;
  ASSERT_EQ(file.OpenFile(data.string()), platform::CompoundFile::Result::Ok);
  size_t textCount = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(texts, ec))
    if (e.path().extension() == ".tree") ++textCount;
  EXPECT_EQ(file.StreamNames().size(), textCount);

  DescriptionStore store(data.string(), false);
  ASSERT_TRUE(store.IsOpen());
  for (int model = 0; DescriptionStreamName(model); ++model) {
    const fs::path source = texts / DescriptionStreamName(model);
    std::string text;
    size_t n = store.ReadStream(DescriptionStreamName(model), text);
    if (fs::exists(source)) {
      EXPECT_GT(n, 0u) << source;
      EXPECT_TRUE(text == Expected(testsupport::ReadFile(source))) << source;
    } else {
      EXPECT_EQ(n, 0u) << source;
    }
  }
}

TEST_F(Packer, PacksTextsAndRawStreamsThatTheStoreReadsBack) {
  const fs::path fixture = fs::path(Env("Z580_FIXTURES")) / "descriptions";
  std::string big(10000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 3);
  std::string longText;
  for (int i = 0; i < 2000; ++i) longText += "parameter P" + std::to_string(i * 7) + " int Вход\r\n";
  const std::string whole = Zlib(longText);
  WriteAll(dir_ / "empty.z", Zlib(""));
  WriteAll(dir_ / "cut.z", whole.substr(0, whole.size() / 2));
  WriteAll(dir_ / "big.bin", big);
  const fs::path out = dir_ / "zt580.dat";

  std::string log;
  ASSERT_EQ(RunPacker("--check --out '" + out.string() + "' --raw z580-02.tree='" + (dir_ / "empty.z").string() +
                          "' --raw z580-03.tree='" + (dir_ / "cut.z").string() + "' --raw blob='" +
                          (dir_ / "big.bin").string() + "' '" + fixture.string() + "'",
                      log),
            0)
      << log;
  EXPECT_FALSE(fs::exists(out.string() + ".tmp"));

  DescriptionStore store(out.string(), false);
  ASSERT_TRUE(store.IsOpen());
  std::string text;
  EXPECT_GT(store.ReadStream("z580-01.tree", text), 0u);
  EXPECT_EQ(text, Expected(testsupport::ReadFile(fixture / "z580-01.tree")));
  EXPECT_NE(text.find("root \xCC\xEE\xE4\xF3\xEB\xFC"), std::string::npos);  // "root Модуль" in Windows-1251

  std::string empty;
  EXPECT_EQ(store.ReadStream("z580-02.tree", empty), 0u);
  std::string cut;
  size_t n = store.ReadStream("z580-03.tree", cut);
  EXPECT_GT(n, 0u);
  EXPECT_LT(n, longText.size());
  EXPECT_TRUE(cut == longText.substr(0, n));
  EXPECT_EQ(store.ReadStream("z580-04.tree", empty), 0u);

  // libgsf puts a stream of 4096 bytes or more outside the mini stream.
  platform::CompoundFile file;
  ASSERT_EQ(file.OpenFile(out.string()), platform::CompoundFile::Result::Ok);
  std::vector<char> bytes;
  ASSERT_EQ(file.ReadStream("blob", bytes), platform::CompoundFile::Result::Ok);
  EXPECT_TRUE(std::string(bytes.begin(), bytes.end()) == big);
}

TEST_F(Packer, ConvertsEveryLineEnd) {
  WriteAll(dir_ / "texts" / "z580-05.tree", "a\r\nб\nc\r\rd");
  WriteAll(dir_ / "texts" / "notes.txt", "not a description");  // ignored
  const fs::path out = dir_ / "zt580.dat";
  std::string log;
  ASSERT_EQ(RunPacker("--out '" + out.string() + "' '" + (dir_ / "texts").string() + "'", log), 0) << log;
  DescriptionStore store(out.string(), false);
  std::string text;
  store.ReadStream("z580-05.tree", text);
  EXPECT_EQ(text, "a\r\n\xE1\r\nc\r\n\r\nd\r\n");
}

TEST_F(Packer, RefusesTextsItCannotStoreFaithfully) {
  struct Case {
    const char* file;
    std::string content;
    const char* message;
  };
  const Case cases[] = {
      {"z580-01.tree", "\xEF\xBB\xBFroot x 1 0 0\n", "z580-01.tree: begins with a byte-order mark"},
      {"z580-01.tree", std::string("const A 1\nroot x\0 1 0 0\n", 25), "z580-01.tree:2:7: NUL byte"},
      {"z580-01.tree", "const A 1\nconst B 2\ntype t ∞\n", "z580-01.tree:3:8: character U+221E"},
      {"z580-01.tree", "const A \xC0\xE4\n", "z580-01.tree:1:9: malformed UTF-8"},
      {"z580-99.tree", "root x 1 0 0\n", "z580-99.tree"},
  };
  for (const Case& c : cases) {
    fs::remove_all(dir_ / "texts");
    fs::create_directories(dir_ / "texts");
    WriteAll(dir_ / "texts" / c.file, c.content);
    const fs::path out = dir_ / "zt580.dat";
    std::string log;
    EXPECT_NE(RunPacker("--out '" + out.string() + "' '" + (dir_ / "texts").string() + "'", log), 0) << c.message;
    EXPECT_NE(log.find(c.message), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(out.string() + ".tmp"));
  }
}

TEST_F(Packer, EmptyDirectoryGivesAStoreWithoutStreams) {
  const fs::path out = dir_ / "zt580.dat";
  std::string log;
  ASSERT_EQ(RunPacker("--out '" + out.string() + "' '" + (dir_ / "texts").string() + "'", log), 0) << log;
  platform::CompoundFile file;
  ASSERT_EQ(file.OpenFile(out.string()), platform::CompoundFile::Result::Ok);
  EXPECT_TRUE(file.StreamNames().empty());
  EXPECT_NE(RunPacker("--out '" + out.string() + "' '" + (dir_ / "nonexistent").string() + "'", log), 0);
}

}  // namespace

TEST_F(Packer, CheckRefusesTextsTheProgramCannotLoad) {
  struct Case {
    const char* content;
    const char* message;
  };
  const Case cases[] = {
      {"parameter a int A\nroot R 1 0 0 a b\n", "Что такое 'b', не ясно!"},
      {"parameter a int A\nfrob a\nroot R 1 0 0 a\n", "the line \"frob a\" fails"},
      {"parameter a int A\nbranch B 1 0 0 a\n", "no root branch"},
      {"const N 1\nconst n 2\nroot R 1 0 0\n", "Константа 'n' уже определена!"},
  };
  for (const Case& c : cases) {
    fs::remove_all(dir_ / "texts");
    fs::create_directories(dir_ / "texts");
    WriteAll(dir_ / "texts" / "z580-01.tree", c.content);
    const fs::path out = dir_ / "zt580.dat";
    fs::remove(out);
    std::string log;
    EXPECT_NE(RunPacker("--check --out '" + out.string() + "' '" + (dir_ / "texts").string() + "'", log), 0)
        << c.message;
    EXPECT_NE(log.find(c.message), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(out));
    // Without --check the same text is packed.
    EXPECT_EQ(RunPacker("--out '" + out.string() + "' '" + (dir_ / "texts").string() + "'", log), 0) << log;
  }
}
