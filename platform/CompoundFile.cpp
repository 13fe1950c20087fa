#include "platform/CompoundFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/Text.h"

namespace platform {

namespace {

constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr size_t kHeaderSize = 512;
constexpr size_t kHeaderDifatEntries = 109;
constexpr uint32_t kMiniSectorSize = 64;
constexpr size_t kEntrySize = 128;

constexpr uint8_t kTypeStream = 2;
constexpr uint8_t kTypeRoot = 5;

uint16_t U16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t U32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t U64(const unsigned char* p) { return U32(p) | (static_cast<uint64_t>(U32(p + 4)) << 32); }

// Directory names are UTF-16LE, at most 31 units and a terminator.
std::string NameFromUtf16(const unsigned char* p, uint16_t byteLength) {
  size_t units = byteLength >= 2 ? byteLength / 2 - 1 : 0;
  if (units > 31) units = 31;
  std::string out;
  for (size_t i = 0; i < units; ++i) {
    char32_t c = U16(p + 2 * i);
    if (c == 0) break;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units) {
      char32_t low = U16(p + 2 * (i + 1));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      } else {
        c = 0xFFFD;
      }
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

}  // namespace

bool CompoundFile::IsCompoundFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  unsigned char head[sizeof kSignature] = {};
  size_t n = std::fread(head, 1, sizeof head, f);
  std::fclose(f);
  return n == sizeof head && std::memcmp(head, kSignature, sizeof head) == 0;
}

void CompoundFile::Reset() {
  data_.clear();
  open_ = false;
  majorVersion_ = 0;
  sectorSize_ = 0;
  sectorCount_ = 0;
  fat_.clear();
  miniFat_.clear();
  entries_.clear();
  rootChildren_.clear();
  miniStream_.clear();
  miniState_ = Result::Ok;
}

CompoundFile::Result CompoundFile::OpenFile(const std::string& path) {
  Reset();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return Result::CannotRead;
  std::vector<unsigned char> bytes;
  unsigned char chunk[65536];
  bool ok = true;
  for (;;) {
    size_t n = std::fread(chunk, 1, sizeof chunk, f);
    if (n == 0) break;
    if (bytes.size() + n > kMaxFileSize) {
      ok = false;
      break;
    }
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  if (std::ferror(f)) ok = false;
  std::fclose(f);
  if (!ok) return Result::CannotRead;
  data_ = std::move(bytes);
  Result r = Parse();
  if (r != Result::Ok) Reset();
  return r;
}

CompoundFile::Result CompoundFile::OpenMemory(const void* data, size_t size) {
  Reset();
  if (size > kMaxFileSize) return Result::CannotRead;
  const auto* p = static_cast<const unsigned char*>(data);
  if (size > 0) data_.assign(p, p + size);
  Result r = Parse();
  if (r != Result::Ok) Reset();
  return r;
}

CompoundFile::Result CompoundFile::Parse() {
  if (data_.size() < sizeof kSignature || std::memcmp(data_.data(), kSignature, sizeof kSignature) != 0)
    return Result::NotCompoundFile;
  if (data_.size() < kHeaderSize) return Result::Damaged;
  const unsigned char* h = data_.data();
  majorVersion_ = U16(h + 26);
  if (majorVersion_ != 3 && majorVersion_ != 4) return Result::Damaged;
  if (U16(h + 28) != 0xFFFE) return Result::Damaged;
  uint16_t shift = U16(h + 30);
  if (shift != 9 && shift != 12) return Result::Damaged;
  if (U16(h + 32) != 6) return Result::Damaged;
  miniCutoff_ = U32(h + 56);
  if (miniCutoff_ != 4096) return Result::Damaged;
  sectorSize_ = uint32_t{1} << shift;
  // The header occupies the whole first sector.
  if (data_.size() < sectorSize_) return Result::Damaged;
  uint64_t count = (data_.size() - sectorSize_ + sectorSize_ - 1) / sectorSize_;
  sectorCount_ = static_cast<uint32_t>(count > kMaxRegularSector ? kMaxRegularSector : count);

  Result r = LoadFat();
  if (r != Result::Ok) return r;
  r = LoadDirectory();
  if (r != Result::Ok) return r;
  // A damaged mini stream spoils only the small streams; it is reported when one is read.
  miniState_ = LoadMiniStream();
  open_ = true;
  return Result::Ok;
}

bool CompoundFile::ReadAt(uint64_t offset, size_t n, void* out) const {
  if (offset > data_.size() || n > data_.size() - offset) return false;
  if (n > 0) std::memcpy(out, data_.data() + offset, n);
  return true;
}

bool CompoundFile::SectorWord(uint32_t sector, size_t index, uint32_t& value) const {
  if (sector >= sectorCount_) return false;
  unsigned char b[4];
  if (!ReadAt((uint64_t{sector} + 1) * sectorSize_ + index * 4, 4, b)) return false;
  value = U32(b);
  return true;
}

CompoundFile::Result CompoundFile::LoadFat() {
  const unsigned char* h = data_.data();
  uint32_t fatSectorCount = U32(h + 44);
  if (fatSectorCount > sectorCount_) return Result::Damaged;

  std::vector<uint32_t> fatSectors;
  fatSectors.reserve(fatSectorCount);
  for (size_t i = 0; i < kHeaderDifatEntries && fatSectors.size() < fatSectorCount; ++i)
    fatSectors.push_back(U32(h + 76 + 4 * i));

  // The rest of the list lies in the DIFAT sectors: each holds sectorSize/4 - 1
  // entries and then the index of the next one.
  const size_t perDifat = sectorSize_ / 4 - 1;
  uint32_t next = U32(h + 68);
  std::vector<bool> seen;
  while (fatSectors.size() < fatSectorCount) {
    if (seen.empty()) seen.resize(sectorCount_, false);
    if (next >= sectorCount_ || seen[next]) return Result::Damaged;
    seen[next] = true;
    for (size_t j = 0; j < perDifat && fatSectors.size() < fatSectorCount; ++j) {
      uint32_t s = 0;
      if (!SectorWord(next, j, s)) return Result::Damaged;
      fatSectors.push_back(s);
    }
    if (!SectorWord(next, perDifat, next)) return Result::Damaged;
  }

  const size_t perSector = sectorSize_ / 4;
  fat_.resize(fatSectors.size() * perSector);
  for (size_t i = 0; i < fatSectors.size(); ++i) {
    uint32_t s = fatSectors[i];
    if (s >= sectorCount_) return Result::Damaged;
    std::vector<unsigned char> buf(sectorSize_);
    if (!ReadAt((uint64_t{s} + 1) * sectorSize_, sectorSize_, buf.data())) return Result::Damaged;
    for (size_t j = 0; j < perSector; ++j) fat_[i * perSector + j] = U32(buf.data() + 4 * j);
  }
  return Result::Ok;
}

CompoundFile::Result CompoundFile::Chain(const std::vector<uint32_t>& table, uint32_t limit, uint32_t start,
                                         size_t maxSectors, std::vector<uint32_t>& out) const {
  out.clear();
  if (limit > table.size()) limit = static_cast<uint32_t>(table.size());
  std::vector<bool> seen(limit, false);
  uint32_t cur = start;
  while (cur != kEndOfChain) {
    if (cur >= limit || seen[cur]) return Result::Damaged;
    seen[cur] = true;
    out.push_back(cur);
    if (maxSectors != 0 && out.size() == maxSectors) break;
    cur = table[cur];
  }
  return Result::Ok;
}

CompoundFile::Result CompoundFile::ReadChainBytes(uint32_t start, uint64_t size, std::vector<char>& out) const {
  out.clear();
  if (size == 0) return Result::Ok;
  // No stream is larger than the file (this also keeps the rounding below from overflowing).
  if (size > data_.size()) return Result::Damaged;
  uint64_t needed = (size + sectorSize_ - 1) / sectorSize_;
  if (needed > sectorCount_) return Result::Damaged;
  std::vector<uint32_t> chain;
  Result r = Chain(fat_, sectorCount_, start, static_cast<size_t>(needed), chain);
  if (r != Result::Ok) return r;
  if (chain.size() < needed) return Result::Damaged;
  out.resize(static_cast<size_t>(size));
  size_t done = 0;
  for (uint32_t s : chain) {
    size_t n = std::min<size_t>(sectorSize_, out.size() - done);
    if (!ReadAt((uint64_t{s} + 1) * sectorSize_, n, out.data() + done)) {
      out.clear();
      return Result::Damaged;
    }
    done += n;
  }
  return Result::Ok;
}

CompoundFile::Result CompoundFile::LoadDirectory() {
  std::vector<uint32_t> chain;
  Result r = Chain(fat_, sectorCount_, U32(data_.data() + 48), 0, chain);
  if (r != Result::Ok) return r;
  if (chain.empty()) return Result::Damaged;
  const size_t perSector = sectorSize_ / kEntrySize;
  std::vector<unsigned char> buf(sectorSize_);
  for (uint32_t s : chain) {
    if (!ReadAt((uint64_t{s} + 1) * sectorSize_, sectorSize_, buf.data())) return Result::Damaged;
    for (size_t k = 0; k < perSector; ++k) {
      const unsigned char* e = buf.data() + k * kEntrySize;
      Entry entry;
      entry.name = NameFromUtf16(e, U16(e + 64));
      entry.type = e[66];
      entry.left = U32(e + 68);
      entry.right = U32(e + 72);
      entry.child = U32(e + 76);
      entry.start = U32(e + 116);
      entry.size = U64(e + 120);
      // Version 3 writers may leave garbage in the high half of the size.
      if (majorVersion_ == 3) entry.size &= 0xFFFFFFFFu;
      entries_.push_back(std::move(entry));
    }
  }
  if (entries_[0].type != kTypeRoot) return Result::Damaged;

  // The children of the root form a tree through the sibling links; walk all of
  // it without recursion, and treat a link out of range or a second visit as damage.
  std::vector<bool> seen(entries_.size(), false);
  std::vector<uint32_t> pending;
  if (entries_[0].child != kNoStream) pending.push_back(entries_[0].child);
  while (!pending.empty()) {
    uint32_t id = pending.back();
    pending.pop_back();
    if (id == 0 || id >= entries_.size() || seen[id] || entries_[id].type == 0) return Result::Damaged;
    seen[id] = true;
    rootChildren_.push_back(id);
    if (entries_[id].left != kNoStream) pending.push_back(entries_[id].left);
    if (entries_[id].right != kNoStream) pending.push_back(entries_[id].right);
  }
  std::sort(rootChildren_.begin(), rootChildren_.end());
  return Result::Ok;
}

CompoundFile::Result CompoundFile::LoadMiniStream() {
  const Entry& root = entries_[0];
  if (root.size == 0) return Result::Ok;
  std::vector<uint32_t> chain;
  Result r = Chain(fat_, sectorCount_, U32(data_.data() + 60), 0, chain);
  if (r != Result::Ok) return r;
  const size_t perSector = sectorSize_ / 4;
  miniFat_.resize(chain.size() * perSector);
  std::vector<unsigned char> buf(sectorSize_);
  for (size_t i = 0; i < chain.size(); ++i) {
    if (!ReadAt((uint64_t{chain[i]} + 1) * sectorSize_, sectorSize_, buf.data())) return Result::Damaged;
    for (size_t j = 0; j < perSector; ++j) miniFat_[i * perSector + j] = U32(buf.data() + 4 * j);
  }
  return ReadChainBytes(root.start, root.size, miniStream_);
}

CompoundFile::Result CompoundFile::ReadMiniBytes(uint32_t start, uint64_t size, std::vector<char>& out) const {
  out.clear();
  if (size == 0) return Result::Ok;
  if (miniState_ != Result::Ok) return miniState_;
  if (size > miniStream_.size()) return Result::Damaged;
  uint64_t available = (miniStream_.size() + kMiniSectorSize - 1) / kMiniSectorSize;
  uint64_t needed = (size + kMiniSectorSize - 1) / kMiniSectorSize;
  if (needed > available) return Result::Damaged;
  std::vector<uint32_t> chain;
  Result r = Chain(miniFat_, static_cast<uint32_t>(available), start, static_cast<size_t>(needed), chain);
  if (r != Result::Ok) return r;
  if (chain.size() < needed) return Result::Damaged;
  out.resize(static_cast<size_t>(size));
  size_t done = 0;
  for (uint32_t s : chain) {
    size_t n = std::min<size_t>(kMiniSectorSize, out.size() - done);
    size_t offset = size_t{s} * kMiniSectorSize;
    if (offset > miniStream_.size() || n > miniStream_.size() - offset) {
      out.clear();
      return Result::Damaged;
    }
    std::memcpy(out.data() + done, miniStream_.data() + offset, n);
    done += n;
  }
  return Result::Ok;
}

std::vector<std::string> CompoundFile::StreamNames() const {
  std::vector<std::string> names;
  for (uint32_t id : rootChildren_)
    if (entries_[id].type == kTypeStream) names.push_back(entries_[id].name);
  return names;
}

CompoundFile::Result CompoundFile::ReadStream(std::string_view name, std::vector<char>& bytes) const {
  bytes.clear();
  if (!open_) return Result::NotOpen;
  for (uint32_t id : rootChildren_) {
    const Entry& e = entries_[id];
    if (e.type != kTypeStream || !EqualsNoCase(e.name, name)) continue;
    Result r = e.size < miniCutoff_ ? ReadMiniBytes(e.start, e.size, bytes) : ReadChainBytes(e.start, e.size, bytes);
    if (r != Result::Ok) bytes.clear();
    return r;
  }
  return Result::NoSuchStream;
}

}  // namespace platform
