// Loads arbitrary bytes as a whole configuration file into a document, as opening
// a damaged or foreign ".z580" file does: the document's header, the model byte
// (which rebuilds the tree of that model from the description store) and the
// tree's records. Every input must end in a load result, never in a crash, a hang
// or a leak; what loaded must store again.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "app/CPelmDoc.h"
#include "link/AppState.h"
#include "model/DescriptionStore.h"
#include "platform/Archive.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "support/CompoundFileBuilder.h"

#ifndef Z580_SOURCE_DIR
#define Z580_SOURCE_DIR "."
#endif

namespace {

class QuietPrompter : public platform::Prompter {
 public:
  int Show(const platform::MessageRequest&) override { return platform::kAnswerOk; }
};

std::vector<char> Deflate(const std::string& text) {
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  std::vector<char> out(size);
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
                static_cast<uLong>(text.size()), Z_BEST_SPEED) != Z_OK)
    __builtin_trap();
  out.resize(size);
  return out;
}

// A description store of every model's text in a private folder, which becomes the
// program's directory.
void MakeStore() {
  const char* dir = std::getenv("Z580_SOURCE_DIR");
  const std::string source = std::string(dir ? dir : Z580_SOURCE_DIR) + "/data/descriptions/";
  testsupport::CompoundFileBuilder builder;
  for (int model = 0; model < 23; ++model) {
    const char* stream = DescriptionStreamName(model);
    std::ifstream in(source + stream, std::ios::binary);
    if (!in) __builtin_trap();  // a harness without its descriptions would test nothing
    std::ostringstream text;
    text << in.rdbuf();
    builder.AddStream(stream, Deflate(platform::Utf8ToCp1251(text.str())));
  }
  char pattern[] = "/tmp/z580-fuzz-store-XXXXXX";
  if (mkdtemp(pattern) == nullptr) __builtin_trap();
  static std::string folder;
  folder = pattern;
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  });
  const testsupport::CompoundFileImage image = builder.Build();
  std::ofstream out(folder + "/zt580.dat", std::ios::binary);
  out.write(image.bytes.data(), static_cast<std::streamsize>(image.bytes.size()));
  if (!out) __builtin_trap();
  App().SetProgramDirectory(folder);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static QuietPrompter prompter;
  static const bool ready = [] {
    platform::SetPrompter(&prompter);
    MakeStore();
    return true;
  }();
  (void)ready;

  // The document of a parser: no link, nothing connected.
  CPelmDoc doc;
  App().modelIndex = 22;
  App().firmwareMajor = 2;
  App().firmwareMinor = 14;
  platform::Archive archive = platform::Archive::Loading(std::span<const std::uint8_t>(data, size));
  const DocumentLoad load = doc.Serialize(archive);
  if (BecomesDocument(load)) {
    std::vector<std::uint8_t> stored;
    platform::Archive again = platform::Archive::Storing(stored);
    doc.Serialize(again);
  }
  App().SetDeviceModel(nullptr);
  return 0;
}
