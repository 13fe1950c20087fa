#include "model/DescriptionParser.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "model/DescriptionStore.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

using platform::EqualsNoCase;
using platform::MessageIcon;

namespace {

enum BranchKind { kBranch, kRoot, kScanners };

std::vector<std::string_view> Tokenise(std::string_view line) {
  std::vector<std::string_view> tokens;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) tokens.push_back(line.substr(start, i - start));
  }
  return tokens;
}

std::string Underscores(std::string_view text) {
  std::string s(text);
  std::replace(s.begin(), s.end(), '_', ' ');
  return s;
}

void ShowDescriptionError(const std::string& text, MessageIcon icon, bool owned, const std::string& caption) {
  platform::ShowMessage(text, caption, icon, platform::MessageButtons::Ok, owned);
}

void ReportUnknownParameter(std::string_view name, const std::string& caption) {
  ShowDescriptionError("Параметр '" + std::string(name) + "' не определен.", MessageIcon::Warning, true, caption);
}

}  // namespace

bool DescriptionParser::ParseDescriptionLine(const std::string& line, bool& skip) {
  const std::vector<std::string_view> t = Tokenise(line);
  if (t.empty()) return true;
  if (t[0] == ";" || t[0] == "'") return true;
  if (EqualsNoCase(t[0], "#endif")) {
    skip = false;
    return true;
  }
  if (EqualsNoCase(t[0], "#else")) {
    skip = !skip;
    return true;
  }
  if (skip || t.size() < 2) return true;
  if (EqualsNoCase(t[0], "#if")) return ParseVersionCondition(t, skip);
  if (EqualsNoCase(t[0], "parameter")) return ParseParameter(t);
  if (EqualsNoCase(t[0], "rule")) return ParseRule(t);
  if (EqualsNoCase(t[0], "init")) return ParseInit(t);
  if (EqualsNoCase(t[0], "branch")) return ParseBranch(t, kBranch);
  if (EqualsNoCase(t[0], "root")) return ParseBranch(t, kRoot);
  if (EqualsNoCase(t[0], "scanners")) return ParseBranch(t, kScanners);
  if (EqualsNoCase(t[0], "const")) {
    if (t.size() < 3) return false;
    return AddDescConst(std::string(t[1]), std::string(t[2]));
  }
  if (EqualsNoCase(t[0], "type")) {
    if (!TakeDefinition()) return false;
    DescType type{std::string(t[1]), std::string()};
    for (size_t i = 2; i < t.size(); ++i) {
      if (i > 2) type.type += ':';
      type.type += Underscores(t[i]);
    }
    typeIndex_[platform::ToUpper(t[1])] = descTypes.size();
    descTypes.push_back(std::move(type));
    return true;
  }
  ShowDescriptionError(platform::Format(resources::LoadString(kStrUnknownCommand).c_str(), line.c_str()),
                       MessageIcon::Error, false, resources::LoadString(kStrDescriptionError));
  return false;
}

bool DescriptionParser::ParseVersionCondition(const std::vector<std::string_view>& t, bool& skip) const {
  if (t[1] != "ver") return true;
  if (versionMajor < 0 && versionMinor < 0) {
    skip = true;
    return true;
  }
  if (t.size() < 4) return false;
  int line[2] = {-1, -1};
  size_t piece = 0;
  std::string_view rest = t[3];
  while (!rest.empty() && piece < 2) {
    const size_t dot = rest.find('.');
    const std::string_view part = rest.substr(0, dot);
    rest = dot == std::string_view::npos ? std::string_view() : rest.substr(dot + 1);
    if (part.empty()) continue;
    line[piece++] = platform::ScanInt(part).value_or(-1);
  }
  const std::pair<int, int> d{versionMajor, versionMinor};
  const std::pair<int, int> l{line[0], line[1]};
  const std::string_view op = t[2];
  bool include = true;
  if (op == "<")
    include = d < l;
  else if (op == ">")
    include = d > l;
  else if (op == "<=")
    include = d <= l;
  else if (op == ">=")
    include = d >= l;
  skip = !include;
  return true;
}

bool DescriptionParser::AddDescConst(const std::string& name, const std::string& valueText) {
  double existing = 0;
  if (FindConst(name, existing)) {
    ShowDescriptionError(platform::Format(resources::LoadString(kStrConstDefined).c_str(), name.c_str()),
                         MessageIcon::Error, true, resources::LoadString(kStrDescriptionError));
    return false;
  }
  if (!TakeDefinition()) return false;
  constIndex_.emplace(platform::ToUpper(name), descConsts.size());
  descConsts.push_back({name, platform::Atof(valueText)});
  return true;
}

bool DescriptionParser::FindConst(std::string_view name, double& value) const {
  const auto it = constIndex_.find(platform::ToUpper(name));
  if (it == constIndex_.end() || it->second >= descConsts.size()) return false;
  value = descConsts[it->second].value;
  return true;
}

DescParameter* DescriptionParser::FindDescription(std::string_view name) {
  const auto it = descriptionIndex_.find(platform::ToUpper(name));
  if (it == descriptionIndex_.end() || it->second.empty()) return nullptr;
  return &descParameters[it->second.front()];
}

bool DescriptionParser::ParseParameter(const std::vector<std::string_view>& t) {
  if (t.size() < 4) return false;
  DescParameter d;
  if (!TakeDefinition()) return false;
  d.type = std::string(t[2]);
  if (const auto it = typeIndex_.find(platform::ToUpper(t[2])); it != typeIndex_.end() && it->second < descTypes.size())
    d.type = descTypes[it->second].type;
  if (t.size() >= 5) {
    if (EqualsNoCase(t[4], "noattr")) {
      d.attribute = 0;
    } else if (t.size() >= 6) {
      d.number = platform::Atoi(t[5]);
      std::string_view table = t[4];
      if (table.ends_with('+')) {
        table.remove_suffix(1);
        d.mode = 1;
      } else if (table.ends_with('*')) {
        table.remove_suffix(1);
        d.mode = 2;
      }
      static const char* const kTables[] = {"table1", "table2", "table3", "table4", "table5"};
      for (int i = 0; i < 5; ++i)
        if (EqualsNoCase(table, kTables[i])) d.table = i + 1;
    }
  }
  std::string_view name = t[1];
  if (name.starts_with('@')) name.remove_prefix(1);
  d.name = std::string(name);
  d.caption = std::string(t[3]);
  descriptionIndex_[platform::ToUpper(d.name)].push_back(descParameters.size());
  descParameters.push_back(std::move(d));
  return true;
}

bool DescriptionParser::ParseRule(const std::vector<std::string_view>& t) {
  DescParameter* d = FindDescription(t[1]);
  if (!d) {
    ReportUnknownParameter(t[1], "Ошибка описателя");
    return false;
  }
  if (t.size() < 4) return false;
  d->lower = platform::Atof(t[2]);
  d->upper = platform::Atof(t[3]);
  return true;
}

bool DescriptionParser::ParseInit(const std::vector<std::string_view>& t) {
  DescParameter* d = FindDescription(t[1]);
  if (!d) {
    ReportUnknownParameter(t[1], resources::LoadString(kStrDescriptionError));
    return false;
  }
  if (t.size() < 3) return false;
  d->initialValue = Underscores(t[2]);
  return true;
}

bool DescriptionParser::ParseBranch(const std::vector<std::string_view>& t, int kind) {
  if (t.size() < 3) return false;
  int count = platform::Atoi(t[2]);
  if (count == 0) {
    double value = 0;
    if (FindConst(t[2], value) && !std::isnan(value))
      count = static_cast<int>(std::clamp(value, -2e9, 2e9));
  }
  if (count < 1) return true;
  if (t.size() < 5) return false;

  // The members are looked up once for all instances; only the line's own earlier
  // instances (a member naming the branch itself) are added per instance.
  struct Member {
    std::vector<const DescParameter*> descriptions;
    std::vector<const DescBranch*> branches;
    bool self = false;
  };
  std::vector<Member> members(t.size() - 5);
  long long descriptionsPerInstance = 0;
  long long nodesPerInstance = 1;
  for (size_t m = 5; m < t.size(); ++m) {
    Member& member = members[m - 5];
    const std::string key = platform::ToUpper(t[m]);
    if (auto it = descriptionIndex_.find(key); it != descriptionIndex_.end())
      for (size_t d : it->second) member.descriptions.push_back(&descParameters[d]);
    if (auto it = branchIndex_.find(key); it != branchIndex_.end()) {
      for (const DescBranch* b : it->second) {
        member.branches.push_back(b);
        descriptionsPerInstance += b->CountDescriptions();
        nodesPerInstance += b->CountNodes();
      }
    }
    member.self = EqualsNoCase(t[m], t[1]);
    descriptionsPerInstance += static_cast<long long>(member.descriptions.size());
    // Already more than one instance may hold: the first one would fail before it is made.
    if (descriptionsPerInstance > kMaxTreeParameters || nodesPerInstance > kMaxTreeParameters) return false;
  }

  const bool network = kind == kBranch && (EqualsNoCase(t[1], "Сетевые_параметры") ||
                                           EqualsNoCase(t[1], "Network_parametres"));
  const std::string key = platform::ToUpper(t[1]);
  long long otherTreeDescriptions = 0;
  long long otherTreeNodes = 0;
  if (const DescBranch* other = kind == kRoot ? scannersBranch : kind == kScanners ? rootBranch : nullptr) {
    otherTreeDescriptions = other->CountDescriptions();
    otherTreeNodes = other->CountNodes();
  }
  std::vector<DescBranch*> madeHere;
  long long selfDescriptions = 0;
  long long selfNodes = 0;
  for (int i = 1; i <= count; ++i) {
    // What this instance will hold, counted before anything is made: a damaged
    // count must not exhaust memory.
    long long descriptions = descriptionsPerInstance;
    long long nodes = nodesPerInstance;
    for (const Member& member : members) {
      if (!member.self) continue;
      descriptions += selfDescriptions;
      nodes += selfNodes;
    }
    // No instance may hold more than a whole tree; a root or scanners instance
    // together with the other tree as it stands.
    if (descriptions + otherTreeDescriptions > kMaxTreeParameters || nodes + otherTreeNodes > kMaxTreeParameters)
      return false;
    if (madeDescriptions_ + descriptions > kMaxParseCopies || madeNodes_ + nodes > kMaxParseCopies) return false;
    madeDescriptions_ += descriptions;
    madeNodes_ += nodes;

    ownedBranches_.push_back(std::make_unique<DescBranch>(std::string(t[1]), count, i, platform::Atoi(t[3]),
                                                          platform::Atoi(t[4])));
    DescBranch* instance = ownedBranches_.back().get();
    instance->origin = nextOrigin_++;
    if (kind == kRoot) rootBranch = instance;
    if (kind == kScanners) scannersBranch = instance;
    if (network) networkBranch = instance;
    auto copyBranch = [&](const DescBranch* b) {
      // The network branch, or a branch that holds it, is copied: the pointer
      // follows into the copy.
      const DescBranch* track = networkBranch && b->Contains(networkBranch) ? networkBranch : nullptr;
      DescBranch* trackedCopy = nullptr;
      instance->children.push_back(std::make_unique<DescBranch>(*b, track, &trackedCopy));
      instance->memberOrder.push_back(true);
      if (trackedCopy) networkBranch = trackedCopy;
    };
    for (size_t m = 0; m < members.size(); ++m) {
      const Member& member = members[m];
      for (const DescParameter* d : member.descriptions) {
        instance->descriptions.push_back(*d);
        instance->memberOrder.push_back(false);
      }
      for (const DescBranch* b : member.branches) copyBranch(b);
      if (member.self)
        for (const DescBranch* b : madeHere) copyBranch(b);
      if (member.descriptions.empty() && member.branches.empty() && !(member.self && !madeHere.empty())) {
        ShowDescriptionError("Что такое '" + std::string(t[m + 5]) + "', не ясно!", MessageIcon::Error, true,
                             resources::LoadString(kStrDescriptionError));
        return false;
      }
    }
    branchList.push_back(instance);
    branchIndex_[key].push_back(instance);
    madeHere.push_back(instance);
    selfDescriptions += instance->CountDescriptions();
    selfNodes += instance->CountNodes();
  }
  return true;
}

bool DescriptionParser::IsInTree(const DescBranch* node) const {
  if (!node) return false;
  return (rootBranch && rootBranch->Contains(node)) || (scannersBranch && scannersBranch->Contains(node));
}

void DescriptionParser::ReleaseParseLists() {
  if (networkBranch && !IsInTree(networkBranch)) {
    const int origin = networkBranch->origin;
    DescBranch* inTree = rootBranch ? rootBranch->FindByOrigin(origin) : nullptr;
    if (!inTree && scannersBranch) inTree = scannersBranch->FindByOrigin(origin);
    networkBranch = inTree;
  }
  descConsts.clear();
  descTypes.clear();
  constIndex_.clear();
  typeIndex_.clear();
  branchList.clear();
  branchIndex_.clear();
  std::erase_if(ownedBranches_, [&](const std::unique_ptr<DescBranch>& b) {
    return b.get() != rootBranch && b.get() != scannersBranch;
  });
}

void DescriptionParser::ClearDescriptions() {
  rootBranch = scannersBranch = networkBranch = nullptr;
  branchList.clear();
  branchIndex_.clear();
  ownedBranches_.clear();
  descConsts.clear();
  descTypes.clear();
  descParameters.clear();
  descriptionIndex_.clear();
  constIndex_.clear();
  typeIndex_.clear();
  madeDescriptions_ = madeNodes_ = definitions_ = 0;
}

std::vector<std::string> DescriptionParser::SplitDescriptionLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    if (end > pos) lines.emplace_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return lines;
}

bool DescriptionParser::ParseDescriptionText(std::string_view text, std::string* failedLine) {
  bool skip = false;
  for (const std::string& line : SplitDescriptionLines(text)) {
    bool ok = false;
    try {
      ok = ParseDescriptionLine(line, skip);
    } catch (const std::exception&) {
      ok = false;
    }
    if (!ok) {
      if (failedLine) *failedLine = line;
      return false;
    }
  }
  return true;
}

void DescriptionParser::BuildTrees() {
  if (rootBranch) rootBranch->BuildParameters(*this, false, 0);
  if (scannersBranch) {
    scannersBranch->BuildParameters(*this, false, 0);
    scannersBranch->PreparePolling();
  }
}

bool DescriptionParser::LoadTreeFromStore(const std::string& storePath, const char* stream, int major, int minor) {
  std::string bytes;
  {
    DescriptionStore store(storePath, false);
    if (store.ReadStream(stream, bytes) == 0) {
      platform::ShowMessage(resources::LoadString(kStrTreeFileError), std::string(), MessageIcon::Error);
      return false;
    }
  }

  // The text is one zero-terminated string: whatever follows a zero byte is no part of it.
  if (const size_t zero = bytes.find('\0'); zero != std::string::npos) bytes.resize(zero);

  versionMajor = major;
  versionMinor = minor;
  const bool failed = !ParseDescriptionText(platform::Cp1251ToUtf8(bytes));
  const std::string& title = resources::LoadString(kStrAppTitle);
  if (failed) platform::ShowMessage(resources::LoadString(kStrTreeNotCreated), title, MessageIcon::Error);
  if (!rootBranch) platform::ShowMessage(resources::LoadString(kStrNoRootBranch), title, MessageIcon::Error);
  BuildTrees();
  ReleaseParseLists();
  return true;
}
