#include "app/DocumentFiles.h"

#include <cstdint>
#include <vector>

#include "app/CPelmDoc.h"
#include "link/AppState.h"
#include "link/ModelTable.h"
#include "link/ResultFlags.h"
#include "link/WriteGate.h"
#include "model/DescBranch.h"
#include "model/DescriptionStore.h"
#include "platform/Archive.h"
#include "platform/CFormat.h"
#include "platform/FileBytes.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"

namespace {

constexpr const char* kSaveFailed = "Не удалось сохранить файл \"%s\":\n%s";

OpenCheck Unreadable() {
  platform::ShowMessage(resources::LoadString(kStrReadError), std::string(), platform::MessageIcon::Error);
  return OpenCheck::KeepCurrent;
}

}  // namespace

OpenCheck CheckModelBeforeOpening(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!platform::ReadWholeFile(path, bytes, error)) return Unreadable();
  platform::Archive archive = platform::Archive::Loading(bytes);
  int model = -1;
  uint16_t schema = 0;
  try {
    schema = archive.ReadClassTag(CPelmDoc::kClassName);
    if (schema <= 4) return OpenCheck::Open;
    model = static_cast<int8_t>(archive.ReadByte());
  } catch (const platform::ArchiveError&) {
    return Unreadable();
  }
  const bool known = DescriptionStreamName(model) != nullptr;
  if (schema == CPelmDoc::kSchema && !known) {
    platform::ShowMessage(resources::LoadString(kStrDamagedData), resources::LoadString(kStrOpenFileCaption),
                          platform::MessageIcon::Warning, platform::MessageButtons::Ok, true);
    return OpenCheck::KeepCurrent;
  }
  // Other schemas are refused by the load itself.
  const int current = App().modelIndex;
  if (known && model != current && current != -1) {
    const std::string text =
        platform::Format(resources::LoadString(kStrOtherModel).c_str(), exchange::ModelDisplayName(model).c_str(),
                         exchange::ModelDisplayName(current).c_str());
    if (platform::ShowMessage(text, std::string(), platform::MessageIcon::Information,
                              platform::MessageButtons::YesNo, true) != platform::kAnswerYes)
      return OpenCheck::KeepCurrent;
  }
  return OpenCheck::Open;
}

OpenOutcome OpenDocumentFile(CPelmDoc& document, const std::string& path) {
  OpenOutcome outcome;
  if (CheckModelBeforeOpening(path) != OpenCheck::Open) return outcome;
  const DocumentLoad load = document.OnOpenDocument(path);
  outcome.opened = load != DocumentLoad::Unreadable;
  if (BecomesDocument(load)) {
    document.SetPathName(path);
    outcome.becameDocument = true;
  }
  return outcome;
}

bool SaveDocumentFile(CPelmDoc& document, const std::string& path) {
  std::string error;
  if (!document.OnSaveDocument(path, error)) {
    platform::ShowMessage(platform::Format(kSaveFailed, path.c_str(), error.c_str()),
                          resources::LoadString(kStrAppTitle), platform::MessageIcon::Error);
    return false;
  }
  document.SetPathName(path);
  return true;
}

bool SaveToCommandLineFile(CPelmDoc& document, const std::string& path, std::string* reason) {
  std::string error;
  if (path.empty() || !document.OnSaveDocument(path, error)) {
    if (reason != nullptr) *reason = error;
    App().resultFlags |= exchange::kResultMissingConfigFile;
    return false;
  }
  document.SetPathName(path);
  document.modified = false;
  return true;
}

std::string TruncatedFileLine(const std::string& path, size_t loadedBytes) {
  return platform::Format("the file \"%s\" ends early: only its first %zu bytes were loaded", path.c_str(),
                          loadedBytes);
}

namespace {

// Values a read that failed midway (or a file of another model) leaves: nothing to write.
void CollectMissingValues(const DescBranch& branch, const std::string& path, std::vector<std::string>& lines) {
  for (const auto& p : branch.parameters) {
    if (!ObjectWithParameters::TakesPartInWrite(*p, 1) || p->linearIndex < 0) continue;
    if (!p->value.HasNoData()) continue;
    const std::string name = p->indexed ? platform::Format("%s:%d", p->name.c_str(), p->linearIndex) : p->name;
    lines.push_back("the file \"" + path + "\": " + name + " - \"" + p->value +
                    "\": the file holds no value to write; nothing is written");
  }
  for (const auto& child : branch.children) CollectMissingValues(*child, path, lines);
}

}  // namespace

std::vector<std::string> BatchWriteValueProblems(const DescBranch& root, const std::string& path) {
  std::vector<std::string> lines;
  CollectMissingValues(root, path, lines);
  // Everything else is the write gate's, as for every other write.
  for (const exchange::WriteRefusal& r : exchange::CheckWrite(exchange::WriteTaskOf(root, 1)))
    lines.push_back("the file \"" + path + "\": " + exchange::RefusalLine(r) + "; nothing is written");
  return lines;
}
