// Feeds arbitrary description texts (Windows-1251 bytes) to the parser line by line,
// as the tree loader does, then builds and walks what was parsed. The first byte
// picks the module's firmware version, so that both sides of "#if ver" run.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/CPelmDoc.h"
#include "platform/Prompter.h"
#include "platform/Text.h"

namespace {

class QuietPrompter : public platform::Prompter {
 public:
  int Show(const platform::MessageRequest& request) override {
    shown += request.text.size() > 0 ? 1 : 0;
    return platform::kAnswerOk;
  }
  size_t shown = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  QuietPrompter prompter;
  platform::Prompter* previous = platform::SetPrompter(&prompter);
  {
    CPelmDoc doc;
    doc.versionMajor = (data[0] >> 4) - 1;
    doc.versionMinor = (data[0] & 0x0F) - 1;
    const std::string text =
        platform::Cp1251ToUtf8(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    doc.ParseDescriptionText(text);
    doc.BuildTrees();
    doc.ReleaseParseLists();
    if (doc.rootBranch) {
      std::map<int, Parameter*> map;
      int maximum = 0;
      int offset = 0;
      doc.rootBranch->FindParameter("Addr", &map, &maximum, &offset, 0);
      doc.rootBranch->FindParameterAt("POUt", 3);
      doc.rootBranch->CountParametersToWrite(0);
      doc.rootBranch->GetPollingState();
    }
    if (doc.networkBranch && !doc.IsInTree(doc.networkBranch)) __builtin_trap();
  }
  platform::SetPrompter(previous);
  return 0;
}
