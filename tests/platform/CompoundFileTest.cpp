#include "platform/CompoundFile.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/CompoundFileBuilder.h"

using platform::CompoundFile;
using testsupport::CompoundFileBuilder;
using testsupport::CompoundFileImage;
using Result = CompoundFile::Result;

namespace {

std::vector<char> Pattern(size_t size, unsigned seed) {
  std::vector<char> v(size);
  for (size_t i = 0; i < size; ++i) v[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 8)) & 0xFF);
  return v;
}

// A file with a small stream (mini stream), a big one spanning many sectors and an empty one.
CompoundFileImage Sample(int version) {
  CompoundFileBuilder b(version);
  b.AddStream("small.tree", Pattern(300, 1));
  b.AddStream("big.tree", Pattern(20000, 2));
  b.AddStream("empty", {});
  return b.Build();
}

Result Open(CompoundFile& f, const CompoundFileImage& img) { return f.OpenMemory(img.bytes.data(), img.bytes.size()); }

Result ReadFrom(const CompoundFileImage& img, const char* name, std::vector<char>* out = nullptr) {
  CompoundFile f;
  Result r = Open(f, img);
  if (r != Result::Ok) return r;
  std::vector<char> bytes;
  r = f.ReadStream(name, bytes);
  if (out) *out = bytes;
  return r;
}

class CompoundFileVersions : public ::testing::TestWithParam<int> {};

TEST_P(CompoundFileVersions, ReadsSmallBigAndEmptyStreamsByNameWithoutCase) {
  CompoundFileImage img = Sample(GetParam());
  CompoundFile f;
  ASSERT_EQ(Open(f, img), Result::Ok);
  EXPECT_EQ(f.StreamNames(), (std::vector<std::string>{"small.tree", "big.tree", "empty"}));

  std::vector<char> bytes;
  EXPECT_EQ(f.ReadStream("SMALL.Tree", bytes), Result::Ok);
  EXPECT_EQ(bytes, Pattern(300, 1));
  EXPECT_EQ(f.ReadStream("big.tree", bytes), Result::Ok);
  EXPECT_EQ(bytes, Pattern(20000, 2));
  EXPECT_EQ(f.ReadStream("empty", bytes), Result::Ok);
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(f.ReadStream("missing.tree", bytes), Result::NoSuchStream);
  // The root entry is a storage, not a stream.
  EXPECT_EQ(f.ReadStream("Root Entry", bytes), Result::NoSuchStream);
}

TEST_P(CompoundFileVersions, FatListedInDifatSectorsIsFollowed) {
  CompoundFileBuilder b(GetParam());
  b.SetMinimumFatSectors(GetParam() == 4 ? 1200 : 300);  // needs more than one DIFAT sector with 512
  b.AddStream("big.tree", Pattern(9000, 3));
  CompoundFileImage img = b.Build();
  std::vector<char> bytes;
  EXPECT_EQ(ReadFrom(img, "big.tree", &bytes), Result::Ok);
  EXPECT_EQ(bytes, Pattern(9000, 3));

  // A DIFAT chain that points back at itself never ends.
  uint32_t perDifat = img.sectorSize / 4 - 1;
  img.SetU32(img.SectorOffset(img.difatStart) + 4 * perDifat, img.difatStart);
  EXPECT_EQ(ReadFrom(img, "big.tree"), Result::Damaged);
}

INSTANTIATE_TEST_SUITE_P(Versions3And4, CompoundFileVersions, ::testing::Values(3, 4));

TEST(CompoundFile, ForeignOrMissingInputIsNoCompoundFile) {
  CompoundFile f;
  const char text[] = "; just a text file\r\nroot x 1 0 0\r\n";
  EXPECT_EQ(f.OpenMemory(text, sizeof text), Result::NotCompoundFile);
  EXPECT_FALSE(f.IsOpen());
  EXPECT_EQ(f.OpenMemory(nullptr, 0), Result::NotCompoundFile);
  EXPECT_EQ(f.OpenFile("/nonexistent/zt580.dat"), Result::CannotRead);
  EXPECT_FALSE(CompoundFile::IsCompoundFile("/nonexistent/zt580.dat"));
  std::vector<char> bytes{'x'};
  EXPECT_EQ(f.ReadStream("small.tree", bytes), Result::NotOpen);
  EXPECT_TRUE(bytes.empty());

  // The signature alone, or a header cut short, is a damaged file.
  CompoundFileImage img = Sample(3);
  EXPECT_EQ(f.OpenMemory(img.bytes.data(), 8), Result::Damaged);
  EXPECT_EQ(f.OpenMemory(img.bytes.data(), 300), Result::Damaged);
}

TEST(CompoundFile, OpensFromPath) {
  CompoundFileImage img = Sample(3);
  std::string path = ::testing::TempDir() + std::to_string(::getpid()) + "_cfb_open_path.dat";
  std::FILE* out = std::fopen(path.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fwrite(img.bytes.data(), 1, img.bytes.size(), out);
  std::fclose(out);
  EXPECT_TRUE(CompoundFile::IsCompoundFile(path));
  CompoundFile f;
  ASSERT_EQ(f.OpenFile(path), Result::Ok);
  std::vector<char> bytes;
  EXPECT_EQ(f.ReadStream("big.tree", bytes), Result::Ok);
  EXPECT_EQ(bytes, Pattern(20000, 2));
  std::remove(path.c_str());
}

TEST(CompoundFile, BadHeaderFieldsAreDamage) {
  struct Patch {
    size_t offset;
    uint32_t value;
    bool wide;
  };
  const Patch patches[] = {
      {26, 5, false},        // major version
      {28, 0xFEFF, false},   // byte order
      {30, 10, false},       // sector shift
      {32, 7, false},        // mini sector shift
      {56, 512, true},       // mini stream cutoff
      {44, 0x10000, true},   // more FAT sectors than the file has
      {76, 0x7000, true},    // FAT sector beyond the end
      {48, 0x123456, true},  // directory beyond the end
  };
  for (const Patch& p : patches) {
    CompoundFileImage img = Sample(3);
    if (p.wide) {
      img.SetU32(p.offset, p.value);
    } else {
      img.bytes[p.offset] = static_cast<char>(p.value & 0xFF);
      img.bytes[p.offset + 1] = static_cast<char>(p.value >> 8);
    }
    CompoundFile f;
    EXPECT_EQ(Open(f, img), Result::Damaged) << "offset " << p.offset;
  }
}

TEST(CompoundFile, BrokenChainsAreDamage) {
  const CompoundFileImage good = Sample(3);
  const uint32_t bigStart = good.streamStarts[1];

  {  // the big stream's second sector leads back to its first
    CompoundFileImage img = good;
    img.SetFat(bigStart + 1, bigStart);
    EXPECT_EQ(ReadFrom(img, "big.tree"), Result::Damaged);
    EXPECT_EQ(ReadFrom(img, "small.tree"), Result::Ok);  // other streams stay readable
  }
  {  // the chain ends before the stream's size is reached
    CompoundFileImage img = good;
    img.SetFat(bigStart + 5, testsupport::kCfbEndOfChain);
    EXPECT_EQ(ReadFrom(img, "big.tree"), Result::Damaged);
  }
  {  // a free sector inside the chain
    CompoundFileImage img = good;
    img.SetFat(bigStart + 2, testsupport::kCfbFree);
    EXPECT_EQ(ReadFrom(img, "big.tree"), Result::Damaged);
  }
  {  // a sector index out of range, as start and inside the chain
    CompoundFileImage img = good;
    img.SetU32(img.EntryOffset(2) + 116, 0x00FFFFF0);
    EXPECT_EQ(ReadFrom(img, "big.tree"), Result::Damaged);
    img = good;
    img.SetFat(bigStart, 0x7FFFFFFF);
    EXPECT_EQ(ReadFrom(img, "big.tree"), Result::Damaged);
  }
  {  // a size larger than the chain (and than the file)
    CompoundFileImage img = good;
    img.SetU32(img.EntryOffset(2) + 120, 0x7FFFFFFF);
    EXPECT_EQ(ReadFrom(img, "big.tree"), Result::Damaged);
  }
  {  // a file cut short inside the big stream
    CompoundFileImage img = good;
    img.bytes.resize(img.SectorOffset(bigStart) + 1000);
    EXPECT_EQ(ReadFrom(img, "big.tree"), Result::Damaged);
  }
  {  // a cycle in the directory's own chain
    CompoundFileImage img = good;
    img.SetFat(img.directoryStart, img.directoryStart);
    EXPECT_EQ(ReadFrom(img, "big.tree"), Result::Damaged);
  }
}

TEST(CompoundFile, BrokenMiniStreamSpoilsOnlySmallStreams) {
  const CompoundFileImage good = Sample(3);
  {  // cycle in the mini FAT
    CompoundFileImage img = good;
    uint32_t first = img.streamStarts[0];
    img.SetMiniFat(first + 2, first);
    EXPECT_EQ(ReadFrom(img, "small.tree"), Result::Damaged);
  }
  {  // mini sector beyond the mini stream
    CompoundFileImage img = good;
    img.SetU32(img.EntryOffset(1) + 116, 500);
    EXPECT_EQ(ReadFrom(img, "small.tree"), Result::Damaged);
  }
  {  // the root's mini stream chain is cut: the big stream still reads
    CompoundFileImage img = good;
    img.SetU32(img.EntryOffset(0) + 120, 0x100000);
    EXPECT_EQ(ReadFrom(img, "small.tree"), Result::Damaged);
    EXPECT_EQ(ReadFrom(img, "big.tree"), Result::Ok);
  }
}

TEST(CompoundFile, BrokenDirectoryTreeIsDamage) {
  const CompoundFileImage good = Sample(3);
  {  // sibling link back to an earlier entry
    CompoundFileImage img = good;
    img.SetU32(img.EntryOffset(3) + 72, 1);
    CompoundFile f;
    EXPECT_EQ(Open(f, img), Result::Damaged);
  }
  {  // sibling link beyond the directory
    CompoundFileImage img = good;
    img.SetU32(img.EntryOffset(2) + 68, 9999);
    CompoundFile f;
    EXPECT_EQ(Open(f, img), Result::Damaged);
  }
  {  // entry 0 is not the root
    CompoundFileImage img = good;
    img.bytes[img.EntryOffset(0) + 66] = 1;
    CompoundFile f;
    EXPECT_EQ(Open(f, img), Result::Damaged);
  }
}

TEST(CompoundFile, Version3IgnoresHighHalfOfStreamSize) {
  CompoundFileImage img = Sample(3);
  img.SetU32(img.EntryOffset(2) + 124, 0xDEADBEEF);
  std::vector<char> bytes;
  EXPECT_EQ(ReadFrom(img, "big.tree", &bytes), Result::Ok);
  EXPECT_EQ(bytes.size(), 20000u);

  CompoundFileImage v4 = Sample(4);
  v4.SetU32(v4.EntryOffset(2) + 124, 1);
  EXPECT_EQ(ReadFrom(v4, "big.tree"), Result::Damaged);
  // The largest size must not wrap around when rounded up to whole sectors.
  v4.SetU32(v4.EntryOffset(2) + 120, 0xFFFFFFFF);
  v4.SetU32(v4.EntryOffset(2) + 124, 0xFFFFFFFF);
  EXPECT_EQ(ReadFrom(v4, "big.tree"), Result::Damaged);
}

}  // namespace
