#include "CheckDescriptionText.h"

#include "app/CPelmDoc.h"
#include "platform/Prompter.h"
#include "platform/Text.h"

namespace {

// Collects the parser's message boxes instead of showing them.
class CollectingPrompter : public platform::Prompter {
 public:
  explicit CollectingPrompter(std::vector<std::string>& out) : out_(out) {}
  int Show(const platform::MessageRequest& request) override {
    out_.push_back(request.caption + ": " + request.text);
    return platform::kAnswerOk;
  }

 private:
  std::vector<std::string>& out_;
};

class PrompterGuard {
 public:
  explicit PrompterGuard(platform::Prompter* p) : previous_(platform::SetPrompter(p)) {}
  ~PrompterGuard() { platform::SetPrompter(previous_); }
  PrompterGuard(const PrompterGuard&) = delete;
  PrompterGuard& operator=(const PrompterGuard&) = delete;

 private:
  platform::Prompter* previous_;
};

}  // namespace

bool CheckDescriptionText(std::string_view name, std::string_view text, std::vector<std::string>& messages) {
  std::vector<std::string> boxes;
  CollectingPrompter prompter(boxes);
  PrompterGuard guard(&prompter);

  const std::string utf8 = platform::Cp1251ToUtf8(text);
  CPelmDoc doc;
  bool skip = false;
  bool ok = true;
  size_t pos = 0;
  // Lines end at CR or LF; empty lines vanish, as when the program loads the text.
  while (pos < utf8.size()) {
    size_t end = utf8.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = utf8.size();
    const std::string line = utf8.substr(pos, end - pos);
    pos = end + 1;
    if (line.empty()) continue;
    if (!doc.ParseDescriptionLine(line, skip)) {
      messages.push_back(std::string(name) + ": the line \"" + line + "\" fails");
      ok = false;
      break;
    }
  }
  if (doc.rootBranch) {
    doc.rootBranch->BuildParameters(doc, false, 0);
  } else {
    messages.push_back(std::string(name) + ": no root branch");
    ok = false;
  }
  if (doc.scannersBranch) doc.scannersBranch->BuildParameters(doc, false, 0);
  for (const std::string& box : boxes) messages.push_back(std::string(name) + ": " + box);
  return ok && boxes.empty();
}
