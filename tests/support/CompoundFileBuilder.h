#pragma once
// Builds small compound files by hand, version 3 (512-byte sectors) or 4
// (4096-byte sectors), so that tests can read them and damage them on purpose.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

constexpr uint32_t kCfbEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kCfbFree = 0xFFFFFFFF;

struct CompoundFileImage {
  std::vector<char> bytes;
  uint32_t sectorSize = 512;
  std::vector<uint32_t> fatSectors;   // in FAT order
  std::vector<uint32_t> streamStarts; // per stream added: first sector (mini sector when small)
  uint32_t directoryStart = 0;
  uint32_t miniFatStart = kCfbEndOfChain;
  uint32_t difatStart = kCfbEndOfChain;

  size_t SectorOffset(uint32_t sector) const { return (size_t{sector} + 1) * sectorSize; }
  uint32_t GetU32(size_t offset) const;
  void SetU32(size_t offset, uint32_t value);
  uint32_t Fat(uint32_t index) const;
  void SetFat(uint32_t index, uint32_t value);
  void SetMiniFat(uint32_t index, uint32_t value);
  // Offset of directory entry i (0 = root, then the streams in the order added).
  size_t EntryOffset(size_t index) const;
};

class CompoundFileBuilder {
 public:
  explicit CompoundFileBuilder(int majorVersion = 3) : majorVersion_(majorVersion) {}
  // Streams below 4096 bytes go into the mini stream. Names are ASCII.
  void AddStream(const std::string& name, std::vector<char> bytes);
  // Makes the file carry at least this many FAT sectors (more than 109 need DIFAT sectors).
  void SetMinimumFatSectors(size_t count) { minimumFatSectors_ = count; }
  CompoundFileImage Build() const;

 private:
  int majorVersion_;
  size_t minimumFatSectors_ = 0;
  std::vector<std::pair<std::string, std::vector<char>>> streams_;
};

}  // namespace testsupport
