#include "app/CPelmDoc.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <chrono>
#include <new>
#include <optional>
#include <thread>

#include "app/ApplyCommand.h"
#include "app/CmyCommandLineInfo.h"
#include "app/DocumentViews.h"
#include "devices/CBaseDevice.h"
#include "devices/CreateDeviceModel.h"
#include "devices/SplashWindow.h"
#include "link/AppState.h"
#include "link/Device.h"
#include "link/ExchangeFrame.h"
#include "link/ResultFlags.h"
#include "link/NetworkChecks.h"
#include "model/DescriptionStore.h"
#include "platform/Archive.h"
#include "platform/CFormat.h"
#include "platform/FileBytes.h"
#include "platform/Prompter.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

using platform::EqualsNoCase;
using platform::MessageIcon;

namespace {

constexpr int kStrConstDefined = 439;
constexpr int kStrDescriptionError = 440;
constexpr int kStrUnknownCommand = 441;
constexpr int kStrOpenFileCaption = 166;
constexpr int kStrOldFileVersion = 167;
constexpr int kStrDamagedData = 168;
constexpr int kStrBadFormat = 169;
constexpr int kStrForbiddenCombination = 258;
constexpr int kStrNoTree = 170;
constexpr int kStrTreeNotCreated = 174;
constexpr int kStrNoRootBranch = 175;
constexpr int kStrInitFailed = 179;
constexpr int kStrNoAttributesNotice = 182;
constexpr int kStrInitQuestion = 183;
constexpr int kStrReadError = 185;
constexpr int kStrTreeFileError = 186;
constexpr int kStrAppTitle = 57344;

constexpr const char* kStoreFileName = "zt580.dat";
constexpr const char* kBranchNotDefined = "Ветвь не определена";
// The network settings an APLY copies into the program's port settings, in order.

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

CPelmDoc::CPelmDoc() = default;

CPelmDoc::CPelmDoc(DocumentViews* views, bool connect) : views_(views) {
  link_ = std::make_unique<Device>();
  InitServiceElements();
  WriteRegistryString("devices", "Zt580", Elements::CommonParams::kRegistrationKey);
  const exchange::BatchSettings batch = App().Batch();
  const bool batchRun = (batch.runFlags & exchange::kRunBatch) != 0;
  if (batchRun && !ApplyCommandLineLinkSettings()) {
    // An address no request may go to: nothing is sent, the run ends.
    linkRefused = true;
    return;
  }
  const bool linked = connect && link_->EstablishLink();
  // The command line's link values are kept only when a module answered with them:
  // a value the port refused, or one no module answered, would fail every later run.
  if (!linked) ForgetCommandLineLinkSettings();
  if (connect && !linked && !link_->StoppedForExit() && !batchRun && views_ != nullptr) {
    if (BaseDevice::SplashWindow* splash = BaseDevice::CurrentSplashWindow()) splash->Destroy();
    if (!views_->RunConnectionSetup(*link_)) quitFlag = true;
  }
  // A run asked to end while it connected asks nobody anything more.
  if ((batch.modeFlags & exchange::kModeTest) || link_->StoppedForExit()) quitFlag = true;
}

CPelmDoc::~CPelmDoc() {
  // The windows are gone (or going) by now: nothing of them is touched from here on.
  views_ = nullptr;
  if (link_) link_->StopThreads();
  ClearContents();
}

void CPelmDoc::DropDeviceModel() {
  // Only this document's: a parser's document never takes the program's model.
  if (auto* model = dynamic_cast<BaseDevice::CBaseDevice*>(App().DeviceModel());
      model != nullptr && model->GetDocument() == this)
    App().SetDeviceModel(nullptr);
}

bool CPelmDoc::ParseDescriptionLine(const std::string& line, bool& skip) {
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

bool CPelmDoc::ParseVersionCondition(const std::vector<std::string_view>& t, bool& skip) const {
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

bool CPelmDoc::AddDescConst(const std::string& name, const std::string& valueText) {
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

bool CPelmDoc::FindConst(std::string_view name, double& value) const {
  const auto it = constIndex_.find(platform::ToUpper(name));
  if (it == constIndex_.end() || it->second >= descConsts.size()) return false;
  value = descConsts[it->second].value;
  return true;
}

DescParameter* CPelmDoc::FindDescription(std::string_view name) {
  const auto it = descriptionIndex_.find(platform::ToUpper(name));
  if (it == descriptionIndex_.end() || it->second.empty()) return nullptr;
  return &descParameters[it->second.front()];
}

bool CPelmDoc::ParseParameter(const std::vector<std::string_view>& t) {
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

bool CPelmDoc::ParseRule(const std::vector<std::string_view>& t) {
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

bool CPelmDoc::ParseInit(const std::vector<std::string_view>& t) {
  DescParameter* d = FindDescription(t[1]);
  if (!d) {
    ReportUnknownParameter(t[1], resources::LoadString(kStrDescriptionError));
    return false;
  }
  if (t.size() < 3) return false;
  d->initialValue = Underscores(t[2]);
  return true;
}

bool CPelmDoc::ParseBranch(const std::vector<std::string_view>& t, int kind) {
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

bool CPelmDoc::IsInTree(const DescBranch* node) const {
  if (!node) return false;
  return (rootBranch && rootBranch->Contains(node)) || (scannersBranch && scannersBranch->Contains(node));
}

void CPelmDoc::ReleaseParseLists() {
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

void CPelmDoc::ClearDescriptions() {
  rootBranch = scannersBranch = networkBranch = nullptr;
  if (link_) link_->moduleNetwork = nullptr;
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

// ---------------------------------------------------------------- the document

namespace {

void ShowFileMessage(int textId) {
  platform::ShowMessage(resources::LoadString(textId), resources::LoadString(kStrOpenFileCaption),
                        MessageIcon::Warning, platform::MessageButtons::Ok, true);
}

// A schema-5 header whose model byte names no row of the model table.
bool HasBadModelByte(const std::vector<uint8_t>& bytes) {
  platform::Archive archive = platform::Archive::Loading(bytes);
  try {
    if (archive.ReadClassTag(CPelmDoc::kClassName) != CPelmDoc::kSchema) return false;
    return DescriptionStreamName(static_cast<int8_t>(archive.ReadByte())) == nullptr;
  } catch (const platform::ArchiveError&) {
    return false;
  }
}

}  // namespace

model::LinkOps* CPelmDoc::GetLink() { return link_.get(); }

void CPelmDoc::UpdateAllViews() {
  if (views_) views_->UpdateAllViews();
}

void CPelmDoc::BeginWaitCursor() {
  if (views_) views_->BeginWaitCursor();
}

void CPelmDoc::EndWaitCursor() {
  if (views_) views_->EndWaitCursor();
}

int CPelmDoc::StartInitTask() {
  if (!link_ || !rootBranch) return 0;
  return link_->StartInitTask(*rootBranch);
}

void CPelmDoc::InitServiceElements() {
  // The link's own settings element read the stored port settings (and listed the
  // computer's ports) as the link was made, just before: reading them again would
  // only repeat the same file reads and the same port scan.
  serviceElement_.InitParameters();
}

bool CPelmDoc::ApplyCommandLineLinkSettings() {
  const exchange::BatchSettings b = App().Batch();
  if (!link_ || !(b.runFlags & exchange::kRunLinkSettings)) return true;
  Elements::NetRS485prg& settings = link_->Settings();
  if (!b.address.empty()) {
    const std::string refusal = CommandLineAddressRefusal(b, settings.GetParameterValue("A.Len"));
    if (!refusal.empty()) {
      App().resultFlags |= exchange::kResultConnectFailed;
      App().ReportFailureLine(refusal);
      return false;
    }
  }
  bool any = false;
  commandLineHeld_.clear();
  auto set = [&](const char* name, const std::string& text) {
    if (const Parameter* held = settings.GetParameterByName(name)) commandLineHeld_.emplace_back(name, held->value);
    any |= settings.SetParameterValue(name, text) != 0;
  };
  if (b.addressLength != 0) set("A.Len", platform::Format("%i", b.addressLength));
  // The address as the number it was typed as (hexadecimal and octal forms too).
  if (!b.address.empty()) set("Addr", platform::Format("%i", CommandLineAddressNumber(b.address).value_or(0)));
  if (b.baudRate != 0) set("bPS", platform::Format("%i", static_cast<int>(b.baudRate)));
  if (b.dataLength != 0) set("LEn", platform::Format("%i", b.dataLength));
  if (!b.stopBits.empty()) set("Sbit", b.stopBits);
  static const char* const kParity[] = {"Четность", "Нечетность", "Отсутствует"};
  if (b.parity >= 1 && b.parity <= 3) set("PrtY", kParity[b.parity - 1]);
  if (b.portNumber != 0) set("Port", platform::Format("COM%i", b.portNumber));
  if (any) link_->OpenPort(true);
  return true;
}

void CPelmDoc::ForgetCommandLineLinkSettings() {
  if (!link_) return;
  for (const auto& [name, value] : commandLineHeld_) link_->Settings().SetParameterValue(name, value);
  commandLineHeld_.clear();
}

std::string CommandLineAddressRefusal(const exchange::BatchSettings& batch, const std::string& heldAddressLength) {
  const std::optional<int> address = CommandLineAddressNumber(batch.address);
  if (!address) return platform::Format("\"/addr:%s\": not a number", batch.address.c_str());
  const int addressLength = batch.addressLength != 0 ? batch.addressLength : platform::Atoi(heldAddressLength);
  const exchange::FrameAddressing addressing{addressLength == 11 ? 11 : 8, *address, 0};
  switch (exchange::CheckRequestAddress(addressing)) {
    case exchange::AddressFault::None: return {};
    case exchange::AddressFault::Negative:
      return platform::Format("\"/addr:%s\": an address is not negative", batch.address.c_str());
    case exchange::AddressFault::BeyondAddressing:
      // The rule of the network settings: above 255 only with 11 address bits.
      return addressing.addressLength == 8
                 ? platform::Format("\"/addr:%s\": an address above 255 needs an address length of 11 bits",
                                    batch.address.c_str())
                 : platform::Format("\"/addr:%s\": an address is at most 2047", batch.address.c_str());
    case exchange::AddressFault::Broadcast:
      return platform::Format("\"/addr:%s\": 255 is the broadcast address, which no module answers",
                              batch.address.c_str());
  }
  return {};
}

void CPelmDoc::RegisterBranch(DescBranch* branch) {
  if (!branch) return;
  for (auto& child : branch->children) RegisterBranch(child.get());
  treeList.push_back(branch);
}

void CPelmDoc::ClearContents() {
  // The polling thread and the queued poll records point into the tree that goes.
  if (link_) link_->StopScanThread();
  App().pollResults.NewGeneration();
  // The device-model object belongs to the tree: it caches the tree's parameters
  // and its commands act on them. Whatever replaces the tree makes a new one; a
  // load that fails leaves none, so no command of the old model stays enabled.
  DropDeviceModel();
  selected = nullptr;
  treeList.clear();
  ClearDescriptions();
  if (views_) views_->DeleteTreeRows();
}

std::vector<std::string> CPelmDoc::SplitDescriptionLines(std::string_view text) {
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

bool CPelmDoc::ParseDescriptionText(std::string_view text, std::string* failedLine) {
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

void CPelmDoc::BuildTrees() {
  if (rootBranch) rootBranch->BuildParameters(*this, false, 0);
  if (scannersBranch) {
    scannersBranch->BuildParameters(*this, false, 0);
    scannersBranch->PreparePolling();
  }
}

bool CPelmDoc::LoadTree() {
  const int index = App().modelIndex;
  const char* stream = DescriptionStreamName(index);
  if (!stream) return false;

  std::string bytes;
  {
    DescriptionStore store(App().ProgramDirectory() + kStoreFileName, false);
    if (store.ReadStream(stream, bytes) == 0) {
      platform::ShowMessage(resources::LoadString(kStrTreeFileError), std::string(), MessageIcon::Error);
      return false;
    }
  }

  // The text is one zero-terminated string: whatever follows a zero byte is no part of it.
  if (const size_t zero = bytes.find('\0'); zero != std::string::npos) bytes.resize(zero);

  versionMajor = App().firmwareMajor;
  versionMinor = App().firmwareMinor;
  const bool failed = !ParseDescriptionText(platform::Cp1251ToUtf8(bytes));
  const std::string& title = resources::LoadString(kStrAppTitle);
  if (failed) platform::ShowMessage(resources::LoadString(kStrTreeNotCreated), title, MessageIcon::Error);
  if (!rootBranch) platform::ShowMessage(resources::LoadString(kStrNoRootBranch), title, MessageIcon::Error);
  BuildTrees();
  ReleaseParseLists();
  if (link_) link_->moduleNetwork = networkBranch;

  BeginWaitCursor();
  App().SetDeviceModel(nullptr);
  App().SetDeviceModel(CreateDeviceModel(static_cast<signed char>(index), this));
  EndWaitCursor();
  return true;
}

bool CPelmDoc::OnNewDocument() {
  if (link_) link_->StopThreads();
  ClearContents();
  treeList.clear();
  if (quitFlag) return false;
  DeleteContents();
  pathName.clear();
  modified = false;
  if (!LoadTree()) return false;
  if (link_) {
    link_->Settings().ClearModifiedFlags();
    link_->OpenPort(true);
  }
  return true;
}

void CPelmDoc::DeleteContents() {
  if (!rootBranch) return;
  std::lock_guard lock(App().exchangeLock);
  rootBranch->ResetValues();
}

void CPelmDoc::SetTitle(const std::string& text) {
  if (text != title) title = text;
}

void CPelmDoc::SetPathName(const std::string& path) {
  pathName = path;
  SetTitle(std::filesystem::path(path).filename().string());
}

DocumentLoad CPelmDoc::OnOpenDocument(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!platform::ReadWholeFile(path, bytes, error)) {
    platform::ShowMessage(resources::LoadString(kStrReadError), std::string(), MessageIcon::Error);
    return DocumentLoad::Unreadable;
  }
  if (HasBadModelByte(bytes)) {
    // Refused before anything of the current document changes.
    ShowFileMessage(kStrDamagedData);
    return DocumentLoad::Refused;
  }
  DocumentLoad result = DocumentLoad::Unreadable;
  try {
    DeleteContents();
    modified = true;
    platform::Archive archive = platform::Archive::Loading(bytes);
    result = Serialize(archive);
    trailingBytes = result == DocumentLoad::Loaded ? bytes.size() - archive.Position() : 0;
    modified = false;
  } catch (const std::exception&) {
    platform::ShowMessage(resources::LoadString(kStrReadError), std::string(), MessageIcon::Error);
  }
  // The tree no longer holds the previous file's values: a save must not write
  // what it holds now under that file's name.
  if (!BecomesDocument(result)) {
    pathName.clear();
    title.clear();
  }
  return result;
}

bool CPelmDoc::OnSaveDocument(const std::string& path, std::string& error) {
  std::vector<uint8_t> bytes;
  {
    // The link's threads change values while they run.
    std::lock_guard lock(App().exchangeLock);
    platform::Archive archive = platform::Archive::Storing(bytes);
    Serialize(archive);
  }
  if (!platform::WriteFileAtomically(path, bytes, error)) return false;
  modified = false;
  return true;
}

DocumentLoad CPelmDoc::Serialize(platform::Archive& archive) {
  if (archive.IsStoring()) {
    archive.WriteClassTag(kClassName, kSchema);
    archive.WriteByte(static_cast<uint8_t>(static_cast<int8_t>(App().modelIndex.load())));
    if (rootBranch) rootBranch->Serialize(archive);
    return DocumentLoad::Loaded;
  }
  DocumentLoad result = DocumentLoad::Loaded;
  try {
    result = LoadFromArchive(archive);
  } catch (const platform::ArchiveError& e) {
    if (e.kind() == platform::ArchiveError::Kind::EndOfFile) {
      result = DocumentLoad::Truncated;
      truncatedAfter = archive.Position();
    } else {
      ShowFileMessage(kStrBadFormat);
      result = DocumentLoad::Broken;
    }
  } catch (const std::bad_alloc&) {
    ShowFileMessage(kStrBadFormat);
    result = DocumentLoad::Broken;
  }
  // A silent batch run never goes on with half-loaded values.
  if ((result == DocumentLoad::Truncated || result == DocumentLoad::Broken) &&
      (App().Batch().modeFlags & exchange::kModeSilent))
    RebuildFreshTree();
  return result;
}

DocumentLoad CPelmDoc::LoadFromArchive(platform::Archive& archive) {
  const uint16_t schema = archive.ReadClassTag(kClassName);
  switch (schema) {
    case 3:
      break;
    case 4:
      archive.ReadDword();
      break;
    case 5: {
      const int model = static_cast<int8_t>(archive.ReadByte());
      // Only a row of the model table can name the tree to build.
      if (DescriptionStreamName(model) == nullptr) {
        ShowFileMessage(kStrDamagedData);
        return DocumentLoad::Refused;
      }
      App().modelIndex = model;
      break;
    }
    case 1:
    case 0xFFFF:
      ShowFileMessage(kStrOldFileVersion);
      return DocumentLoad::Refused;
    default:
      ShowFileMessage(kStrDamagedData);
      return DocumentLoad::Refused;
  }
  if (link_) link_->StopThreads();
  ClearContents();
  treeList.clear();
  if (!LoadTree()) return DocumentLoad::NoTree;
  if (rootBranch) rootBranch->Serialize(archive);
  return DocumentLoad::Loaded;
}

void CPelmDoc::RebuildFreshTree() {
  if (link_) link_->StopThreads();
  ClearContents();
  treeList.clear();
  LoadTree();
}

void CPelmDoc::OnCloseDocument() {
  if (link_) {
    // No thread may still ask the device model that goes below.
    link_->StopThreads();
    if (link_->Port().IsOpen()) {
      // The closing exchange tells nothing about the run: its outcome stays out of
      // the result flags and out of the error log (its failure is no failure of the
      // run, which has ended by now).
      std::lock_guard lock(App().exchangeLock);
      const uint32_t flags = App().resultFlags;
      Parameter init("INIT");
      init.type = "void";
      init.value.clear();
      link_->ExchangeParameter(1, &init, nullptr, false);
      App().resultFlags = flags;
    }
  }
  App().SetDeviceModel(nullptr);
  DeleteContents();
}

// ---------------------------------------------------------------- commands

bool CPelmDoc::OnTreeTask(int command) {
  const bool branchCommand = command >= kCmdReadBranch && command <= kCmdCompareBranch;
  DescBranch* target = branchCommand ? dynamic_cast<DescBranch*>(selected) : rootBranch;
  if (!target) {
    platform::ShowMessage(branchCommand ? std::string(kBranchNotDefined) : resources::LoadString(kStrNoTree),
                          resources::LoadString(kStrAppTitle), MessageIcon::Error);
    return false;
  }
  if (!link_) return false;
  BeginWaitCursor();
  bool ran = false;
  switch (command) {
    case kCmdReadTree:
    case kCmdReadBranch: ran = link_->StartReadTask(*target); break;
    case kCmdWriteTree:
    case kCmdWriteBranch: ran = link_->StartWriteTask(*target); break;
    case kCmdWriteChangedTree:
    case kCmdWriteChangedBranch: ran = link_->StartWriteChangedTask(*target); break;
    case kCmdCompareTree:
    case kCmdCompareBranch: ran = link_->StartCompareTask(*target); break;
    default: break;
  }
  EndWaitCursor();
  if (ran) UpdateAllViews();
  return ran;
}

bool CPelmDoc::SendInitCommand(std::string& errorText) {
  if (!link_) return ::SendInitCommand(errorText);
  return link_->SendInitCommand(errorText);
}

void CPelmDoc::OnSendInit() {
  if (platform::ShowMessage(resources::LoadString(kStrInitQuestion), std::string(), MessageIcon::Question,
                            platform::MessageButtons::YesNo) != platform::kAnswerYes)
    return;
  std::string error;
  if (SendInitCommand(error)) {
    // The module restarts; give it the time before the next request.
    std::this_thread::sleep_for(std::chrono::milliseconds(initPauseMs));
  } else {
    platform::ShowMessage(resources::LoadString(kStrInitFailed) + error, std::string(), MessageIcon::Error);
  }
}

void CPelmDoc::CopyNetworkSettingsToProgram() {
  if (!link_ || !networkBranch) return;
  // Only what the module confirmed: a refused or unwritten value would leave the
  // program talking to another address than the module's.
  Dialogs::ApplyCommand::CopyConfirmedSettings(*networkBranch, link_->Settings());
}

void CPelmDoc::OnApply() {
  const exchange::BatchSettings batch = App().Batch();
  if (!(batch.runFlags & exchange::kRunBatch)) {
    if (views_ && views_->RunApplyDialog(*this) && networkBranch) {
      CopyNetworkSettingsToProgram();
      if (link_) link_->OpenPort(true);
    }
  } else if (batch.runFlags & exchange::kRunAply) {
    auto* model = dynamic_cast<BaseDevice::CBaseDevice*>(App().DeviceModel());
    Parameter* aply = model ? model->GetApplyParameter() : nullptr;
    if (aply && link_) {
      if (Dialogs::ApplyCommand(link_.get(), networkBranch, model).NothingTaken()) {
        platform::ShowMessage(Dialogs::kNothingTaken, resources::LoadString(kStrAppTitle), MessageIcon::Error);
        return;
      }
      // An address the frames cannot carry: the module must not switch to it.
      if (networkBranch && !Elements::HeldAddressFits(*networkBranch)) {
        platform::ShowMessage(resources::LoadString(kStrForbiddenCombination), resources::LoadString(kStrAppTitle),
                              MessageIcon::Error);
        return;
      }
      if (link_->WriteParameter(*aply, 1) != 0) {
        platform::ShowMessage(aply->note, resources::LoadString(kStrAppTitle), MessageIcon::Error);
        return;
      }
      CopyNetworkSettingsToProgram();
      link_->OpenPort(true);
    }
  }
  UpdateAllViews();
}

void CPelmDoc::OnModeCommand(int command) {
  AppState& app = App();
  switch (command) {
    case kCmdShowLinearIndexes:
      app.showLinearIndexes = !app.showLinearIndexes;
      UpdateAllViews();
      break;
    case kCmdAutomaticReading: app.automaticReading = !app.automaticReading; break;
    case kCmdImmediateWriting: app.immediateWriting = !app.immediateWriting; break;
    case kCmdNoAttributes:
      app.noAttributeExchange = !app.noAttributeExchange;
      if (app.noAttributeExchange)
        platform::ShowMessage(resources::LoadString(kStrNoAttributesNotice), std::string(), MessageIcon::Information);
      break;
    default: break;
  }
}

void CPelmDoc::OnConverterMode(int command) {
  if (!link_) return;
  if (command == kCmdConverterAuto) link_->SetConverterMode(1);
  if (command == kCmdConverterSemiAuto) link_->SetConverterMode(0);
}

void CPelmDoc::OnResetDevice() {
  if (auto* model = dynamic_cast<BaseDevice::CBaseDevice*>(App().DeviceModel())) model->ResetToDefaults();
}

void CPelmDoc::OnCheckLink() {
  const int before = App().modelIndex;
  if (link_) link_->IdentifyDevice(true);
  FollowModelChange(before);
}

void CPelmDoc::OnPortSetup() {
  const int before = App().modelIndex;
  if (link_ && views_) views_->RunConnectionSetup(*link_);
  FollowModelChange(before);
}

bool CPelmDoc::FollowModelChange(int previousModel) {
  const int model = App().modelIndex;
  if (model == previousModel || DescriptionStreamName(model) == nullptr) return false;
  if (link_) link_->StopThreads();
  if (modified && views_) {
    // The tree still is the old model's: a save now must say so in its model
    // byte, or the file would load as the new model with the old one's records.
    App().modelIndex = previousModel;
    views_->SaveModifiedBeforeModelChange(*this);
    App().modelIndex = model;
  }
  ClearContents();
  // The old file holds another model's tree: a save must not write this one there.
  pathName.clear();
  title.clear();
  modified = false;
  LoadTree();
  if (views_) views_->UpdateAllViews();
  return true;
}
