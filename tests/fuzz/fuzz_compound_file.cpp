// Reads a compound file from memory and inflates every stream of its root
// storage, as the description store does with zt580.dat.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/DescriptionStore.h"
#include "platform/CompoundFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::CompoundFile file;
  if (file.OpenMemory(data, size) != platform::CompoundFile::Result::Ok) return 0;
  std::vector<std::string> names = file.StreamNames();
  names.push_back("z580-01.tree");
  for (const std::string& name : names) {
    std::vector<char> bytes;
    if (file.ReadStream(name, bytes) != platform::CompoundFile::Result::Ok) continue;
    DescriptionStream source(std::move(bytes));
    std::string text;
    InflateStream(source, nullptr, text);
  }
  return 0;
}
