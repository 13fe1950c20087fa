#include "model/DescriptionStore.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kChunk = 16384;

// Stream names by model index; 6 and 8 are named after other models.
constexpr const char* kStreamNames[] = {
    "z580-01.tree", "z580-02.tree",  "z580-03.tree", "z580-04.tree",  "z580-05.tree", "z580-06.tree",
    "zd580-12.tree", "z580-08.tree", "zd580-09.tree", "z580-10.tree", "z580-11.tree", "z580-12.tree",
    "z580-13.tree", "z580-14.tree",  "z580-15.tree", "z580-16.tree",  "z580-17.tree", "z580-18.tree",
    "z580-19.tree", "z580-20.tree",  "z580-21.tree", "z580-22.tree",  "z580-23.tree",
};

}  // namespace

const char* DescriptionStreamName(int modelIndex) {
  constexpr int count = static_cast<int>(sizeof kStreamNames / sizeof kStreamNames[0]);
  if (modelIndex < 0 || modelIndex >= count) return nullptr;
  return kStreamNames[modelIndex];
}

size_t DescriptionStream::Read(void* buffer, size_t count) {
  size_t n = std::min(count, bytes_.size() - position_);
  if (n > 0) std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += n;
  return n;
}

int InflateStream(DescriptionStream& source, std::FILE* file, std::string& memoryFile) {
  unsigned char in[kChunk];
  unsigned char out[kChunk];
  z_stream strm;
  std::memset(&strm, 0, sizeof strm);
  int ret = inflateInit(&strm);
  if (ret != Z_OK) return ret;

  do {
    size_t got = source.Read(in, kChunk);
    if (got == 0) break;
    strm.avail_in = static_cast<uInt>(got);
    strm.next_in = in;
    do {
      strm.avail_out = kChunk;
      strm.next_out = out;
      ret = inflate(&strm, Z_NO_FLUSH);
      if (ret == Z_NEED_DICT) {
        inflateEnd(&strm);
        return Z_DATA_ERROR;
      }
      // The bytes produced before a damaged spot are kept, like those of the
      // chunks before it.
      size_t have = kChunk - strm.avail_out;
      if (have > 0) {
        if (file) {
          if (std::fwrite(out, 1, have, file) != have || std::ferror(file)) {
            inflateEnd(&strm);
            return -1;
          }
        } else {
          if (memoryFile.size() + have > kMaxInflatedSize) {
            inflateEnd(&strm);
            return Z_MEM_ERROR;
          }
          memoryFile.append(reinterpret_cast<const char*>(out), have);
        }
      }
      if (ret == Z_DATA_ERROR || ret == Z_MEM_ERROR) {
        inflateEnd(&strm);
        return ret;
      }
    } while (strm.avail_out == 0);
  } while (ret != Z_STREAM_END);

  inflateEnd(&strm);
  return ret == Z_STREAM_END ? Z_OK : Z_DATA_ERROR;
}

DescriptionStore::DescriptionStore(const std::string& fileName, bool /*createFlag*/) : fileName_(fileName) {
  if (!platform::CompoundFile::IsCompoundFile(fileName_)) return;
  auto storage = std::make_unique<platform::CompoundFile>();
  if (storage->OpenFile(fileName_) == platform::CompoundFile::Result::Ok) storage_ = std::move(storage);
}

DescriptionStore::~DescriptionStore() { CloseStream(); }

bool DescriptionStore::OpenStream(std::string_view name, unsigned int mode) {
  CloseStream();
  if (!storage_) return false;
  if (mode & (kStgmWrite | kStgmReadWrite)) return false;
  std::vector<char> bytes;
  if (storage_->ReadStream(name, bytes) != platform::CompoundFile::Result::Ok) return false;
  stream_ = std::make_unique<DescriptionStream>(std::move(bytes));
  return true;
}

void DescriptionStore::CloseStream() { stream_.reset(); }

size_t DescriptionStore::ReadStream(std::string_view name, std::string& memoryFile) {
  if (!storage_ || !OpenStream(name, kStgmRead)) return 0;
  // The result does not matter: a damaged stream gives what came before the damage.
  InflateStream(*stream_, nullptr, memoryFile);
  CloseStream();
  return memoryFile.size();
}
