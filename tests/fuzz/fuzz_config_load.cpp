// Loads arbitrary bytes as the root branch record of a tree built from a real model
// description, as opening a damaged configuration file does. A bad stream must end
// in an archive error, never in a crash, a hang or a leak.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <span>
#include <string>

#include "app/CPelmDoc.h"
#include "platform/Archive.h"
#include "platform/Prompter.h"

#ifndef Z580_SOURCE_DIR
#define Z580_SOURCE_DIR "."
#endif

namespace {

class QuietPrompter : public platform::Prompter {
 public:
  int Show(const platform::MessageRequest&) override { return platform::kAnswerOk; }
};

// The tree is built once: loading changes values and names, never the structure.
CPelmDoc* BuildTree() {
  const char* dir = std::getenv("Z580_SOURCE_DIR");
  const std::string path = std::string(dir ? dir : Z580_SOURCE_DIR) + "/data/descriptions/z580-12.tree";
  std::ifstream in(path);
  if (!in) __builtin_trap();  // a harness without its tree would test nothing
  static QuietPrompter prompter;
  platform::SetPrompter(&prompter);
  auto* doc = new CPelmDoc;
  bool skip = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!doc->ParseDescriptionLine(line, skip)) __builtin_trap();
  }
  if (doc->rootBranch == nullptr) __builtin_trap();
  doc->rootBranch->BuildParameters(*doc, false, 0);
  doc->ReleaseParseLists();
  return doc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static CPelmDoc* const doc = BuildTree();
  platform::Archive archive = platform::Archive::Loading(std::span<const std::uint8_t>(data, size));
  try {
    doc->rootBranch->Serialize(archive);
  } catch (const platform::ArchiveError&) {
  }
  return 0;
}
