#pragma once
// Read-only reader of OLE structured-storage (compound document) files, as far as
// the program needs one: the streams of the root storage, looked up by name.
// The whole file is held in memory. Every sector index, chain and size read from
// the file is checked; a bad file gives an error result, never a crash.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class CompoundFile {
 public:
  enum class Result {
    Ok,
    CannotRead,       // the file could not be read (missing, unreadable, too big)
    NotCompoundFile,  // no compound-file signature
    Damaged,          // bad header, sector index, chain, directory or size
    NoSuchStream,     // the root storage has no stream of that name
    NotOpen,          // nothing opened (or the last open failed)
  };

  // The 8 bytes every compound file begins with.
  static constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  // Files larger than this are not read at all.
  static constexpr size_t kMaxFileSize = size_t{1} << 30;

  // True when the file exists and begins with the signature.
  static bool IsCompoundFile(const std::string& path);

  Result OpenFile(const std::string& path);
  Result OpenMemory(const void* data, size_t size);
  bool IsOpen() const { return open_; }

  // Names (UTF-8) of the streams directly in the root storage, in directory order.
  std::vector<std::string> StreamNames() const;

  // Reads a whole stream of the root storage; the name is matched without regard
  // to case. On any result but Ok the output is empty.
  Result ReadStream(std::string_view name, std::vector<char>& bytes) const;

 private:
  struct Entry {
    std::string name;  // UTF-8
    uint8_t type = 0;  // 0 unused, 1 storage, 2 stream, 5 root
    uint32_t left = 0, right = 0, child = 0;
    uint32_t start = 0;
    uint64_t size = 0;
  };

  Result Parse();
  Result LoadFat();
  Result LoadDirectory();
  Result LoadMiniStream();
  // Follows a chain of the FAT (or the mini FAT) from start; ends with Damaged on
  // an index out of range, a free or special entry inside the chain, or a cycle.
  // maxSectors bounds the walk (0 = whole chain).
  Result Chain(const std::vector<uint32_t>& table, uint32_t limit, uint32_t start,
               size_t maxSectors, std::vector<uint32_t>& out) const;
  Result ReadChainBytes(uint32_t start, uint64_t size, std::vector<char>& out) const;
  Result ReadMiniBytes(uint32_t start, uint64_t size, std::vector<char>& out) const;
  bool ReadAt(uint64_t offset, size_t n, void* out) const;
  bool SectorWord(uint32_t sector, size_t index, uint32_t& value) const;
  void Reset();

  std::vector<unsigned char> data_;
  bool open_ = false;
  uint16_t majorVersion_ = 0;
  uint32_t sectorSize_ = 0;
  uint32_t sectorCount_ = 0;  // sectors that (at least partly) lie in the file
  uint32_t miniCutoff_ = 4096;
  std::vector<uint32_t> fat_;
  std::vector<uint32_t> miniFat_;
  std::vector<Entry> entries_;
  std::vector<uint32_t> rootChildren_;  // entry ids, ascending
  std::vector<char> miniStream_;
  Result miniState_ = Result::Ok;
};

}  // namespace platform
