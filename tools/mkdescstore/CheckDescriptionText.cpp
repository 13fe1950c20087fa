#include "CheckDescriptionText.h"

#include "model/DescriptionParser.h"
#include "platform/Prompter.h"
#include "platform/Text.h"

bool CheckDescriptionText(std::string_view name, std::string_view text, std::vector<std::string>& messages) {
  platform::CollectingPrompter prompter;  // the parser's message boxes are collected, not shown
  DescriptionParser doc;
  bool ok = true;
  std::string failedLine;
  if (!doc.ParseDescriptionText(platform::Cp1251ToUtf8(text), &failedLine)) {
    messages.push_back(std::string(name) + ": the line \"" + failedLine + "\" fails");
    ok = false;
  }
  if (!doc.rootBranch) {
    messages.push_back(std::string(name) + ": no root branch");
    ok = false;
  }
  doc.BuildTrees();
  for (const platform::MessageRequest& box : prompter.requests)
    messages.push_back(std::string(name) + ": " + box.caption + ": " + box.text);
  return ok && prompter.requests.empty();
}
