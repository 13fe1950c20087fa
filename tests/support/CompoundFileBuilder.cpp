#include "support/CompoundFileBuilder.h"

#include <algorithm>
#include <cstring>

namespace testsupport {

namespace {

constexpr uint32_t kFatSector = 0xFFFFFFFD;
constexpr uint32_t kDifatSector = 0xFFFFFFFC;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr size_t kMiniCutoff = 4096;

void Put16(std::vector<char>& b, size_t at, uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}

void Put32(std::vector<char>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

size_t DivUp(size_t a, size_t b) { return (a + b - 1) / b; }

}  // namespace

uint32_t CompoundFileImage::GetU32(size_t offset) const {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes.at(offset + i));
  return v;
}

void CompoundFileImage::SetU32(size_t offset, uint32_t value) {
  (void)bytes.at(offset + 3);
  Put32(bytes, offset, value);
}

uint32_t CompoundFileImage::Fat(uint32_t index) const {
  uint32_t perSector = sectorSize / 4;
  return GetU32(SectorOffset(fatSectors.at(index / perSector)) + 4 * (index % perSector));
}

void CompoundFileImage::SetFat(uint32_t index, uint32_t value) {
  uint32_t perSector = sectorSize / 4;
  SetU32(SectorOffset(fatSectors.at(index / perSector)) + 4 * (index % perSector), value);
}

void CompoundFileImage::SetMiniFat(uint32_t index, uint32_t value) {
  // The builder writes the mini FAT into consecutive sectors.
  SetU32(SectorOffset(miniFatStart) + 4 * size_t{index}, value);
}

size_t CompoundFileImage::EntryOffset(size_t index) const {
  // The builder writes the directory into consecutive sectors.
  return SectorOffset(directoryStart) + 128 * index;
}

void CompoundFileBuilder::AddStream(const std::string& name, std::vector<char> bytes) {
  streams_.emplace_back(name, std::move(bytes));
}

CompoundFileImage CompoundFileBuilder::Build() const {
  CompoundFileImage img;
  img.sectorSize = majorVersion_ == 4 ? 4096 : 512;
  const size_t ss = img.sectorSize;
  const size_t perFat = ss / 4;

  // Mini stream: the small streams one after the other, each padded to 64 bytes.
  std::vector<char> mini;
  std::vector<uint32_t> miniFat;
  std::vector<uint32_t> starts(streams_.size(), kCfbEndOfChain);
  for (size_t i = 0; i < streams_.size(); ++i) {
    const auto& data = streams_[i].second;
    if (data.size() >= kMiniCutoff || data.empty()) continue;
    size_t first = mini.size() / 64;
    size_t count = DivUp(data.size(), 64);
    starts[i] = static_cast<uint32_t>(first);
    for (size_t k = 0; k < count; ++k)
      miniFat.push_back(k + 1 < count ? static_cast<uint32_t>(first + k + 1) : kCfbEndOfChain);
    mini.insert(mini.end(), data.begin(), data.end());
    mini.resize(DivUp(mini.size(), 64) * 64, 0);
  }

  // Sectors in order: directory, mini FAT, mini stream, big streams, FAT, DIFAT.
  const size_t entries = 1 + streams_.size();
  const size_t dirSectors = DivUp(entries, ss / 128);
  const size_t miniFatSectors = DivUp(miniFat.size() * 4, ss);
  const size_t miniSectors = DivUp(mini.size(), ss);
  size_t next = 0;
  std::vector<uint32_t> fat;
  auto chain = [&](size_t count) {
    uint32_t first = count ? static_cast<uint32_t>(next) : kCfbEndOfChain;
    for (size_t k = 0; k < count; ++k, ++next) {
      if (fat.size() <= next) fat.resize(next + 1, kCfbFree);
      fat[next] = k + 1 < count ? static_cast<uint32_t>(next + 1) : kCfbEndOfChain;
    }
    return first;
  };
  img.directoryStart = chain(dirSectors);
  img.miniFatStart = chain(miniFatSectors);
  uint32_t miniStart = chain(miniSectors);
  for (size_t i = 0; i < streams_.size(); ++i)
    if (streams_[i].second.size() >= kMiniCutoff) starts[i] = chain(DivUp(streams_[i].second.size(), ss));
  img.streamStarts = starts;

  size_t fatCount = 1, difatCount = 0;
  for (;;) {
    size_t needFat = std::max(minimumFatSectors_, DivUp(next + fatCount + difatCount, perFat));
    size_t needDifat = needFat > 109 ? DivUp(needFat - 109, perFat - 1) : 0;
    if (needFat == fatCount && needDifat == difatCount) break;
    fatCount = needFat;
    difatCount = needDifat;
  }
  for (size_t k = 0; k < fatCount; ++k) img.fatSectors.push_back(static_cast<uint32_t>(next + k));
  std::vector<uint32_t> difatSectors;
  for (size_t k = 0; k < difatCount; ++k) difatSectors.push_back(static_cast<uint32_t>(next + fatCount + k));
  const size_t total = next + fatCount + difatCount;
  fat.resize(fatCount * perFat, kCfbFree);
  for (uint32_t s : img.fatSectors) fat[s] = kFatSector;
  for (uint32_t s : difatSectors) fat[s] = kDifatSector;
  if (!difatSectors.empty()) img.difatStart = difatSectors[0];

  std::vector<char>& b = img.bytes;
  b.assign((total + 1) * ss, 0);
  // Header.
  static const unsigned char sig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(b.data(), sig, 8);
  Put16(b, 24, 0x3E);
  Put16(b, 26, static_cast<uint16_t>(majorVersion_));
  Put16(b, 28, 0xFFFE);
  Put16(b, 30, ss == 4096 ? 12 : 9);
  Put16(b, 32, 6);
  Put32(b, 40, majorVersion_ == 4 ? static_cast<uint32_t>(dirSectors) : 0);
  Put32(b, 44, static_cast<uint32_t>(fatCount));
  Put32(b, 48, img.directoryStart);
  Put32(b, 56, kMiniCutoff);
  Put32(b, 60, img.miniFatStart);
  Put32(b, 64, static_cast<uint32_t>(miniFatSectors));
  Put32(b, 68, img.difatStart);
  Put32(b, 72, static_cast<uint32_t>(difatCount));
  for (size_t k = 0; k < 109; ++k)
    Put32(b, 76 + 4 * k, k < fatCount ? img.fatSectors[k] : kCfbFree);
  // DIFAT sectors.
  for (size_t d = 0; d < difatCount; ++d) {
    size_t at = img.SectorOffset(difatSectors[d]);
    for (size_t k = 0; k < perFat - 1; ++k) {
      size_t idx = 109 + d * (perFat - 1) + k;
      Put32(b, at + 4 * k, idx < fatCount ? img.fatSectors[idx] : kCfbFree);
    }
    Put32(b, at + 4 * (perFat - 1), d + 1 < difatCount ? difatSectors[d + 1] : kCfbEndOfChain);
  }
  // FAT.
  for (size_t k = 0; k < fat.size(); ++k)
    Put32(b, img.SectorOffset(img.fatSectors[k / perFat]) + 4 * (k % perFat), fat[k]);
  // Mini FAT (unused entries free) and mini stream.
  for (size_t k = 0; k < miniFatSectors * perFat; ++k)
    Put32(b, img.SectorOffset(img.miniFatStart) + 4 * k, k < miniFat.size() ? miniFat[k] : kCfbFree);
  if (!mini.empty()) std::memcpy(b.data() + img.SectorOffset(miniStart), mini.data(), mini.size());
  // Big streams.
  for (size_t i = 0; i < streams_.size(); ++i) {
    const auto& data = streams_[i].second;
    if (data.size() >= kMiniCutoff) std::memcpy(b.data() + img.SectorOffset(starts[i]), data.data(), data.size());
  }
  // Directory: the streams hang off the root as a chain of right siblings.
  for (size_t e = 0; e < dirSectors * (ss / 128); ++e) {
    size_t at = img.EntryOffset(e);
    Put32(b, at + 68, kNoStream);
    Put32(b, at + 72, kNoStream);
    Put32(b, at + 76, kNoStream);
    if (e >= entries) continue;
    std::string name = e == 0 ? "Root Entry" : streams_[e - 1].first;
    for (size_t c = 0; c < name.size() && c < 31; ++c) Put16(b, at + 2 * c, static_cast<unsigned char>(name[c]));
    Put16(b, at + 64, static_cast<uint16_t>((std::min<size_t>(name.size(), 31) + 1) * 2));
    b[at + 66] = e == 0 ? 5 : 2;
    b[at + 67] = 1;
    if (e == 0) {
      Put32(b, at + 76, streams_.empty() ? kNoStream : 1);
      Put32(b, at + 116, mini.empty() ? kCfbEndOfChain : miniStart);
      Put32(b, at + 120, static_cast<uint32_t>(mini.size()));
    } else {
      Put32(b, at + 72, e + 1 < entries ? static_cast<uint32_t>(e + 1) : kNoStream);
      Put32(b, at + 116, starts[e - 1]);
      Put32(b, at + 120, static_cast<uint32_t>(streams_[e - 1].second.size()));
    }
  }
  return img;
}

}  // namespace testsupport
