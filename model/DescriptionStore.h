#pragma once
// The store of the device-model descriptions: one compound file ("zt580.dat")
// whose root storage holds one zlib-compressed stream per model. Read-only.
#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/CompoundFile.h"

// Access modes of OpenStream. Only reading is supported.
constexpr unsigned int kStgmRead = 0x0;
constexpr unsigned int kStgmWrite = 0x1;
constexpr unsigned int kStgmReadWrite = 0x2;

// Name of the description stream of a device model (index 0 to 22); null for
// any other index.
const char* DescriptionStreamName(int modelIndex);

// An open stream: its bytes and a read position.
class DescriptionStream {
 public:
  DescriptionStream() = default;
  explicit DescriptionStream(std::vector<char> bytes) : bytes_(std::move(bytes)) {}
  // Copies up to count bytes from the read position; 0 at the end.
  size_t Read(void* buffer, size_t count);

 private:
  std::vector<char> bytes_;
  size_t position_ = 0;
};

// Inflates one zlib stream from source, writing the output to file when given,
// else appending it to memoryFile. Returns 0 when the zlib stream ended,
// -3 (Z_DATA_ERROR) when the input ended first, asked for a preset dictionary or
// was damaged, -4 (Z_MEM_ERROR) when zlib ran out of memory or the output would
// pass kMaxInflatedSize, -1 when writing to file failed. Output produced before
// a failure is kept.
int InflateStream(DescriptionStream& source, std::FILE* file, std::string& memoryFile);

// More than any description text needs; bounds what a hostile stream can inflate to.
constexpr size_t kMaxInflatedSize = size_t{64} << 20;

class DescriptionStore {
 public:
  // Opens fileName when it is a compound file. The store never writes: with
  // createFlag set, a missing or foreign file is not created and the store
  // stays closed, as without it.
  DescriptionStore(const std::string& fileName, bool createFlag);
  ~DescriptionStore();
  DescriptionStore(const DescriptionStore&) = delete;
  DescriptionStore& operator=(const DescriptionStore&) = delete;

  bool IsOpen() const { return storage_ != nullptr; }

  // Opens a stream of the root storage (name without regard to case), closing
  // any stream open before. False when no storage is open, the mode asks for
  // writing, or the stream is missing or damaged.
  bool OpenStream(std::string_view name, unsigned int mode);
  void CloseStream();

  // Inflates the named stream, appending the text to memoryFile, and returns
  // memoryFile's length; 0 when no storage is open or the stream cannot be
  // opened. A damaged zlib stream yields what was inflated before the damage.
  size_t ReadStream(std::string_view name, std::string& memoryFile);

 private:
  std::string fileName_;
  std::unique_ptr<platform::CompoundFile> storage_;
  std::unique_ptr<DescriptionStream> stream_;
};
