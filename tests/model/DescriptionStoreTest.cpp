#include "model/DescriptionStore.h"

#include <unistd.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/CompoundFileBuilder.h"
#include "support/ReadFile.h"

namespace {

std::vector<char> Deflate(const std::string& text, const std::string& dictionary = {}) {
  z_stream s{};
  EXPECT_EQ(deflateInit(&s, Z_BEST_COMPRESSION), Z_OK);
  if (!dictionary.empty())
    deflateSetDictionary(&s, reinterpret_cast<const Bytef*>(dictionary.data()), static_cast<uInt>(dictionary.size()));
  std::vector<char> out(deflateBound(&s, static_cast<uLong>(text.size())) + 16);
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  s.avail_in = static_cast<uInt>(text.size());
  s.next_out = reinterpret_cast<Bytef*>(out.data());
  s.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

// A description-like text long enough to need several 16384-byte rounds both
// on input (it does not compress well) and on output.
std::string LongText() {
  std::string text;
  unsigned x = 12345;
  for (int line = 0; line < 3000; ++line) {
    text += "parameter P" + std::to_string(line) + " int ";
    for (int k = 0; k < 12; ++k) {
      x = x * 1103515245u + 12345u;
      text += static_cast<char>('A' + (x >> 16) % 26);
    }
    text += "\xC0\xE4\xF0\xE5\xF1\r\n";  // Windows-1251 Cyrillic
  }
  return text;
}

std::string WriteTemp(const std::string& name, const std::vector<char>& bytes) {
  std::string path = ::testing::TempDir() + std::to_string(::getpid()) + "_" + name;
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

TEST(DescriptionStreamName, TableByModelIndex) {
  EXPECT_STREQ(DescriptionStreamName(0), "z580-01.tree");
  EXPECT_STREQ(DescriptionStreamName(5), "z580-06.tree");
  EXPECT_STREQ(DescriptionStreamName(6), "zd580-12.tree");
  EXPECT_STREQ(DescriptionStreamName(7), "z580-08.tree");
  EXPECT_STREQ(DescriptionStreamName(8), "zd580-09.tree");
  EXPECT_STREQ(DescriptionStreamName(11), "z580-12.tree");
  EXPECT_STREQ(DescriptionStreamName(22), "z580-23.tree");
  EXPECT_EQ(DescriptionStreamName(-1), nullptr);
  EXPECT_EQ(DescriptionStreamName(23), nullptr);
}

TEST(InflateStream, ResultCodesAndPartialOutput) {
  const std::string text = LongText();
  const std::vector<char> whole = Deflate(text);
  ASSERT_GT(whole.size(), 16384u);

  {
    DescriptionStream src(whole);
    std::string out = "kept:";
    EXPECT_EQ(InflateStream(src, nullptr, out), 0);
    EXPECT_TRUE(out == "kept:" + text);  // appended to what the memory file held
  }
  {  // input ends before the zlib stream does: what came before is kept
    DescriptionStream src(std::vector<char>(whole.begin(), whole.begin() + whole.size() / 2));
    std::string out;
    EXPECT_EQ(InflateStream(src, nullptr, out), Z_DATA_ERROR);
    EXPECT_GT(out.size(), 0u);
    EXPECT_LT(out.size(), text.size());
    EXPECT_TRUE(out == text.substr(0, out.size()));
  }
  {  // nothing to read
    DescriptionStream src;
    std::string out;
    EXPECT_EQ(InflateStream(src, nullptr, out), Z_DATA_ERROR);
    EXPECT_TRUE(out.empty());
  }
  {  // damaged in the middle: the output before the damage is kept
    std::vector<char> bad = whole;
    for (size_t i = bad.size() / 2; i < bad.size() / 2 + 64; ++i) bad[i] = static_cast<char>(0xFF);
    DescriptionStream src(bad);
    std::string out;
    EXPECT_EQ(InflateStream(src, nullptr, out), Z_DATA_ERROR);
    // Garbage may inflate to something before zlib notices; the part before it is intact.
    ASSERT_GT(out.size(), 20000u);
    EXPECT_TRUE(out.compare(0, 20000, text, 0, 20000) == 0);
  }
  {  // a preset dictionary is not supported
    DescriptionStream src(Deflate("abcabcabc", "abc"));
    std::string out;
    EXPECT_EQ(InflateStream(src, nullptr, out), Z_DATA_ERROR);
    EXPECT_TRUE(out.empty());
  }
  {  // no zlib header at all
    DescriptionStream src(std::vector<char>{'r', 'o', 'o', 't'});
    std::string out;
    EXPECT_EQ(InflateStream(src, nullptr, out), Z_DATA_ERROR);
  }
}

TEST(InflateStream, WritesToCFile) {
  const std::string text = LongText();
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  DescriptionStream src(Deflate(text));
  std::string unused;
  EXPECT_EQ(InflateStream(src, f, unused), 0);
  EXPECT_TRUE(unused.empty());
  std::rewind(f);
  std::string back(text.size() + 1, '\0');
  EXPECT_EQ(std::fread(back.data(), 1, back.size(), f), text.size());
  back.resize(text.size());
  EXPECT_TRUE(back == text);
  std::fclose(f);

  // A file that cannot be written to.
  std::string path = WriteTemp("inflate_readonly.txt", {'x'});
  std::FILE* ro = std::fopen(path.c_str(), "rb");
  ASSERT_NE(ro, nullptr);
  DescriptionStream again(Deflate(text));
  EXPECT_EQ(InflateStream(again, ro, unused), -1);
  std::fclose(ro);
}

TEST(InflateStream, OutputIsBounded) {
  // About 80 MB of zeros compress to a few dozen kilobytes.
  z_stream s{};
  ASSERT_EQ(deflateInit(&s, Z_BEST_COMPRESSION), Z_OK);
  std::vector<char> zeros(1 << 20, 0);
  std::vector<char> out(1 << 20);
  std::vector<char> packed;
  for (int i = 0; i < 80; ++i) {
    s.next_in = reinterpret_cast<Bytef*>(zeros.data());
    s.avail_in = static_cast<uInt>(zeros.size());
    do {
      s.next_out = reinterpret_cast<Bytef*>(out.data());
      s.avail_out = static_cast<uInt>(out.size());
      deflate(&s, i == 79 ? Z_FINISH : Z_NO_FLUSH);
      packed.insert(packed.end(), out.data(), out.data() + (out.size() - s.avail_out));
    } while (s.avail_out == 0);
  }
  deflateEnd(&s);
  DescriptionStream src(packed);
  std::string text;
  EXPECT_EQ(InflateStream(src, nullptr, text), Z_MEM_ERROR);
  EXPECT_LE(text.size(), kMaxInflatedSize);
}

class DescriptionStoreFile : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::CompoundFileBuilder b;
    b.AddStream("z580-01.tree", Deflate(LongText()));
    b.AddStream("zd580-12.tree", Deflate("root x 1 0 0\r\n"));  // small: lies in the mini stream
    b.AddStream("z580-02.tree", Deflate(""));
    std::vector<char> whole = Deflate(LongText());
    b.AddStream("z580-03.tree", std::vector<char>(whole.begin(), whole.begin() + whole.size() / 3));
    b.AddStream("z580-04.tree", {});
    path_ = WriteTemp("descstore_test.dat", b.Build().bytes);
  }
  std::string path_;
};

TEST_F(DescriptionStoreFile, ReadsStreamsByName) {
  DescriptionStore store(path_, false);
  ASSERT_TRUE(store.IsOpen());
  std::string text;
  EXPECT_EQ(store.ReadStream("z580-01.tree", text), LongText().size());
  EXPECT_TRUE(text == LongText());

  std::string small;
  EXPECT_EQ(store.ReadStream(DescriptionStreamName(6), small), 14u);
  EXPECT_EQ(small, "root x 1 0 0\r\n");

  // Case does not matter, and a second read of the same stream works.
  std::string again;
  EXPECT_EQ(store.ReadStream("Z580-01.TREE", again), text.size());
}

TEST_F(DescriptionStoreFile, EmptyCutAndMissingStreams) {
  DescriptionStore store(path_, false);
  std::string text;
  EXPECT_EQ(store.ReadStream("z580-02.tree", text), 0u);  // an empty zlib stream
  EXPECT_EQ(store.ReadStream("z580-04.tree", text), 0u);  // no bytes at all
  EXPECT_EQ(store.ReadStream("z580-05.tree", text), 0u);  // no such stream
  EXPECT_TRUE(text.empty());

  size_t n = store.ReadStream("z580-03.tree", text);  // cut: what came before the cut
  EXPECT_GT(n, 0u);
  EXPECT_LT(n, LongText().size());
  EXPECT_TRUE(text == LongText().substr(0, n));
}

TEST_F(DescriptionStoreFile, OpenStreamIsReadOnly) {
  DescriptionStore store(path_, false);
  EXPECT_TRUE(store.OpenStream("z580-01.tree", kStgmRead));
  EXPECT_TRUE(store.OpenStream("z580-01.tree", kStgmRead));  // replaces the open one
  store.CloseStream();
  EXPECT_FALSE(store.OpenStream("z580-01.tree", kStgmWrite));
  EXPECT_FALSE(store.OpenStream("z580-01.tree", kStgmReadWrite));
  EXPECT_FALSE(store.OpenStream("nothing", kStgmRead));
}

TEST(DescriptionStore, NoStorageMeansEveryReadIsEmpty) {
  std::string text = "untouched";
  const std::string foreign = WriteTemp("descstore_foreign.dat", {'r', 'o', 'o', 't', '\r', '\n'});
  const std::string missing = ::testing::TempDir() + std::to_string(::getpid()) + "_descstore_missing.dat";
  std::remove(missing.c_str());
  for (bool create : {false, true}) {
    DescriptionStore store(foreign, create);
    EXPECT_FALSE(store.IsOpen());
    EXPECT_FALSE(store.OpenStream("z580-01.tree", kStgmRead));
    EXPECT_EQ(store.ReadStream("z580-01.tree", text), 0u);

    DescriptionStore none(missing, create);
    EXPECT_FALSE(none.IsOpen());
    EXPECT_EQ(none.ReadStream("z580-01.tree", text), 0u);
  }
  EXPECT_EQ(text, "untouched");
  // The store never writes: neither file is created or changed.
  EXPECT_EQ(std::fopen(missing.c_str(), "rb"), nullptr);
  EXPECT_EQ(testsupport::ReadFile(foreign), "root\r\n");

  // A damaged compound file also gives no storage.
  testsupport::CompoundFileBuilder b;
  b.AddStream("z580-01.tree", Deflate("root x 1 0 0"));
  testsupport::CompoundFileImage img = b.Build();
  img.SetFat(img.directoryStart, img.directoryStart);
  DescriptionStore damaged(WriteTemp("descstore_damaged.dat", img.bytes), false);
  EXPECT_FALSE(damaged.IsOpen());
}

}  // namespace
