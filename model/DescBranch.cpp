#include "model/DescBranch.h"

#include <algorithm>
#include <climits>
#include <new>
#include <unordered_map>

#include "model/DeviceModelHooks.h"
#include "model/WalkScope.h"
#include "platform/Archive.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

using platform::EqualsNoCase;

namespace {

constexpr int kSubRowImage = 38;
constexpr int kActuatorImage = 30;
// A model never has more status bits than a reading has bits.
constexpr int kMaxStatusBits = 64;

// Index arithmetic saturates: a hostile text must not overflow.
int Saturate(long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); }

void ReplaceAll(std::string& s, char from, char to) { std::replace(s.begin(), s.end(), from, to); }

// A name ending in <mark><character>: removes both and returns the character's text.
bool TakeSuffix(std::string& name, char mark, std::string& digit) {
  size_t last = name.size();
  if (last == 0) return false;
  --last;
  while (last > 0 && (static_cast<unsigned char>(name[last]) & 0xC0) == 0x80) --last;
  if (last == 0 || name[last - 1] != mark) return false;
  digit = name.substr(last);
  name.erase(last - 1);
  return true;
}

const char* const kDotTypes[] = {"int", "CLK_frm", "stored_dot", "int16", "float"};

}  // namespace

DescBranch::DescBranch() = default;

DescBranch::DescBranch(std::string name, int repeatCount_, int instance_, int image_, int selectedImage_)
    : repeatCount(repeatCount_), instance(instance_), image(image_), selectedImage(selectedImage_) {
  elementName = std::move(name);
}

DescBranch::DescBranch(const DescBranch& other) : DescBranch(other, nullptr, nullptr) {}

DescBranch::DescBranch(const DescBranch& other, const DescBranch* track, DescBranch** trackedCopy)
    : Elements::InvisibleElement(),
      repeatCount(other.repeatCount),
      instance(other.instance),
      image(other.image),
      selectedImage(other.selectedImage),
      descriptions(other.descriptions),
      memberOrder(other.memberOrder),
      origin(other.origin) {
  elementName = other.elementName;
  if (track == &other && trackedCopy) *trackedCopy = this;
  children.reserve(other.children.size());
  for (const auto& child : other.children) children.push_back(std::make_unique<DescBranch>(*child, track, trackedCopy));
}

int DescBranch::BuildParameters(model::BranchBuildContext& document, bool indexed, int base) {
  int b = Saturate(static_cast<long long>(repeatCount) * base + instance - 1);
  std::string digit;
  if (TakeSuffix(elementName, '*', digit)) b = Saturate(static_cast<long long>(b) * platform::Atoi(digit));
  if (TakeSuffix(elementName, '+', digit)) {
    const int g = platform::Atoi(digit);
    b = Saturate(static_cast<long long>(b) + g);
    if (elementName != "K20") instance = Saturate(static_cast<long long>(instance) + g);
  }
  if (repeatCount > 1) {
    if (elementName.find('#') == std::string::npos) {
      if (elementName == "Состояние_дополнительного_ВЭ") instance = Saturate(static_cast<long long>(instance) + 8);
      elementName += "#";
    }
    std::string numbered;
    const std::string number = platform::Format(" %i", instance);
    for (char c : elementName) {
      if (c == '#')
        numbered += number;
      else
        numbered += c;
    }
    elementName = std::move(numbered);
  }
  int multiplicity = 1;
  for (auto& child : children)
    multiplicity = std::max(multiplicity, child->BuildParameters(document, indexed || repeatCount > 1, b));
  ReplaceAll(elementName, '_', ' ');

  for (const DescParameter& d : descriptions) {
    Parameter* p = nullptr;
    try {
      p = &AddParameter(std::make_unique<Parameter>(d.name));
    } catch (const std::bad_alloc&) {
      platform::ShowMessage("Серьезная нехватка памяти", std::string(), platform::MessageIcon::Error);
      continue;
    }
    p->description = d.caption;
    ReplaceAll(p->description, '_', ' ');
    p->type = d.type;
    if (size_t colon = d.type.find(':'); colon != std::string::npos) {
      const std::string head = d.type.substr(0, colon);
      const std::string tail = d.type.substr(colon + 1);
      const bool dotType = std::any_of(std::begin(kDotTypes), std::end(kDotTypes),
                                       [&](const char* t) { return EqualsNoCase(head, t); });
      if (dotType && (tail == "1" || tail == "2" || tail == "3")) {
        p->type = head;
        p->dot = tail[0] - '0';
      }
    }
    p->min = d.lower;
    p->max = d.upper;
    p->attributes = d.attribute;
    p->initialValue = ValueText::OfStoredText(d.initialValue);
    if (!p->name.empty() && p->name[0] == '!') {
      p->name.erase(0, 1);
      p->writable = false;
    } else {
      p->writable = true;
    }
    if (indexed || repeatCount > 1) {
      p->indexed = true;
      p->linearIndex = Saturate(static_cast<long long>(multiplicity) * b);
    } else {
      p->indexed = false;
    }
    p->mode = d.mode;
    if (EqualsNoCase(d.name, "POUt") && p->linearIndex >= 0 && p->linearIndex < model::kOutputTableSize) {
      Parameter*& slot = document.GetOutputTable()[static_cast<size_t>(p->linearIndex)];
      slot = p;
      p->poutSlot = &slot;
    }
  }
  if (IsSingleParameter()) parameters.front()->description = elementName;
  return Saturate(static_cast<long long>(multiplicity) * repeatCount);
}

void DescBranch::WalkChildren(model::WalkResult& total, model::WalkResult (DescBranch::*walk)(model::LinkOps&),
                              model::LinkOps& link) {
  for (auto& child : children) {
    model::WalkResult r = ((*child).*walk)(link);
    total.processed += r.processed;
    total.failed += r.failed;
  }
}

model::WalkResult DescBranch::CompareWithDevice(model::LinkOps& link) {
  const model::WalkScope walk;
  if (link.IsAbortSet()) return {};
  model::WalkResult total = InvisibleElement::CompareWithDevice(link);
  WalkChildren(total, &DescBranch::CompareWithDevice, link);
  return total;
}

model::WalkResult DescBranch::ReadFromDevice(model::LinkOps& link) {
  const model::WalkScope walk;
  if (link.IsAbortSet()) return {};
  model::WalkResult total = InvisibleElement::ReadFromDevice(link);
  WalkChildren(total, &DescBranch::ReadFromDevice, link);
  return total;
}

model::WalkResult DescBranch::WriteToDevice(model::LinkOps& link, int mode) {
  const model::WalkScope walk;
  if (link.IsAbortSet()) return {};
  model::WalkResult total = InvisibleElement::WriteToDevice(link, mode);
  for (auto& child : children) {
    model::WalkResult r = child->WriteToDevice(link, mode);
    total.processed += r.processed;
    total.failed += r.failed;
  }
  return total;
}

void DescBranch::ResetValues() {
  InvisibleElement::ResetValues();
  for (auto& child : children) child->ResetValues();
}

std::optional<bool> DescBranch::HasProblemInSubtree() const {
  const std::string& notInitialised = resources::LoadString(kStrNotInitialised);
  const std::string& difference = resources::LoadString(kStrDeviceValue);
  for (const auto& p : parameters) {
    if (p->IsPolled() || p->note.empty() || p->note == notInitialised) continue;
    if (p->note.find(difference) != std::string::npos) continue;
    return true;
  }
  for (const auto& child : children)
    if (child->HasProblemInSubtree().value_or(false)) return true;
  return false;
}

model::TreeItem DescBranch::InsertTreeItems(model::TreeRows& rows, model::TreeItem parent, int count,
                                            bool showIndex) {
  const model::TreeItem row =
      rows.InsertItem(this, elementName, GetImage(), GetSelectedImage(), model::RowEditor::None, parent, true);
  ShowLinearIndexInTree(rows, row, showIndex);
  if (row == model::kNoItem) return row;
  if (elementName.starts_with("БУИМ") && instance > 8) {
    const model::TreeItem actuator = rows.InsertItem(nullptr, resources::LoadString(kStrActuatorType), kActuatorImage,
                                                     kActuatorImage, model::RowEditor::None, row, true);
    if (actuator != model::kNoItem) rows.SetItemText(actuator, 2, resources::LoadString(kStrTwoPosition));
  }
  size_t nextParameter = 0;
  size_t nextChild = 0;
  auto subRow = [&](model::TreeItem under, const std::string& text) {
    rows.InsertItem(nullptr, text, kSubRowImage, kSubRowImage, model::RowEditor::None, under, true);
  };
  for (bool isChild : memberOrder) {
    if (!isChild) {
      if (nextParameter >= parameters.size()) continue;
      Parameter& p = *parameters[nextParameter++];
      const int pImage = p.GetImageIndex();
      p.InsertTreeItem(rows, row, pImage, pImage, showIndex);
      continue;
    }
    if (nextChild >= children.size()) continue;
    DescBranch& child = *children[nextChild++];
    if (!child.IsSingleParameter()) {
      child.InsertTreeItems(rows, row, count, showIndex);
      continue;
    }
    Parameter& p = *child.parameters.front();
    const int pImage = p.GetImageIndex();
    const model::TreeItem pRow = p.InsertTreeItem(rows, row, pImage, pImage, showIndex);
    child.rowsShown = 1;
    if (pRow == model::kNoItem) continue;
    if (EqualsNoCase(p.name, "CodP")) {
      for (int id = kStrCodPFirst; id > kStrCodPFirst - 5; --id) subRow(pRow, resources::LoadString(id));
    } else if (EqualsNoCase(p.name, "r.cn")) {
      for (int i = 1; i <= 4; ++i) subRow(pRow, platform::Format(resources::LoadString(kStrInput).c_str(), i));
    } else if (EqualsNoCase(p.name, "s.do")) {
      for (int i = 1; i <= 4; ++i) subRow(pRow, platform::Format(resources::LoadString(kStrOutput).c_str(), i));
    } else if (EqualsNoCase(p.name, "Rd.St")) {
      if (const model::DeviceModelHooks* model = model::CurrentDeviceModel()) {
        for (int i = 0; i < kMaxStatusBits; ++i) {
          const int id = model->GetStatusBitCaption(i);
          if (id == 0) break;
          subRow(pRow, resources::LoadString(id));
        }
      }
    }
  }
  rowsShown = static_cast<int>(nextParameter);
  return row;
}

void DescBranch::InsertRemainingParameterItems(model::TreeRows& rows, model::TreeItem parent, bool showIndex) {
  const size_t from = static_cast<size_t>(std::max(rowsShown, 0));
  for (size_t i = from; i < parameters.size(); ++i) {
    Parameter& p = *parameters[i];
    const int pImage = p.GetImageIndex();
    p.InsertTreeItem(rows, parent, pImage, pImage, showIndex);
  }
  rowsShown = static_cast<int>(std::max(from, parameters.size()));
}

Parameter* DescBranch::FindParameter(std::string_view name, std::map<int, Parameter*>* map, int* maximum, int* offset,
                                     int key) {
  const bool collecting = map || maximum;
  for (const auto& p : parameters) {
    if (!EqualsNoCase(p->name, name)) continue;
    if (map) (*map)[p->linearIndex] = p.get();
    if (offset && *offset == 0) *offset = Saturate(static_cast<long long>(p->linearIndex) - (maximum ? *maximum : 0));
    if (maximum) *maximum = std::max(*maximum, p->linearIndex);
    if (!collecting && p->linearIndex == key) return p.get();
    break;
  }
  for (const auto& child : children) {
    Parameter* found = child->FindParameter(name, map, maximum, offset, key);
    if (!collecting && found) return found;
  }
  return nullptr;
}

Parameter* DescBranch::FindParameterAt(std::string_view name, int linearIndex) {
  return FindParameter(name, nullptr, nullptr, nullptr, linearIndex);
}

CObject* DescBranch::GetDisplayedObject() {
  if (IsSingleParameter()) return parameters.front().get();
  return this;
}

int DescBranch::CountParametersToWrite(int mode) const {
  int n = 0;
  for (const auto& p : parameters) {
    if (mode > 0 || (mode == 0 && p->AnyChangeFlag()) || (mode < 0 && !p->initialValue.empty())) ++n;
  }
  for (const auto& child : children) n += child->CountParametersToWrite(mode);
  return n;
}

void DescBranch::PreparePolling() {
  for (auto& p : parameters) p->PreparePolling();
  for (auto& child : children) child->PreparePolling();
}

int DescBranch::CollectPolledParameters(std::vector<Parameter*>& list) const {
  int n = 0;
  for (const auto& p : parameters) {
    if (p->IsPolled()) {
      list.push_back(p.get());
      ++n;
    }
  }
  for (const auto& child : children) n += child->CollectPolledParameters(list);
  return n;
}

int DescBranch::GetPollingState() const {
  int state = -1;
  for (const auto& p : parameters) {
    if (!p->IsPolled()) continue;
    if (p->pollRunning.load()) return 1;
    state = 0;
  }
  for (const auto& child : children) {
    const int s = child->GetPollingState();
    if (s == 1) return 1;
    state = std::max(state, s);
  }
  return state;
}

bool DescBranch::Contains(const DescBranch* node) const {
  if (node == this) return true;
  return std::any_of(children.begin(), children.end(), [&](const auto& c) { return c->Contains(node); });
}

long long DescBranch::CountDescriptions() const {
  long long n = static_cast<long long>(descriptions.size());
  for (const auto& child : children) n += child->CountDescriptions();
  return n;
}

long long DescBranch::CountNodes() const {
  long long n = 1;
  for (const auto& child : children) n += child->CountNodes();
  return n;
}

DescBranch* DescBranch::FindByOrigin(int originId) {
  DescBranch* found = (originId != 0 && origin == originId) ? this : nullptr;
  for (auto& child : children)
    if (DescBranch* f = child->FindByOrigin(originId)) found = f;
  return found;
}

std::uint32_t DescBranch::ArchiveKey(const Parameter& parameter) {
  const std::uint32_t high =
      parameter.indexed ? (static_cast<std::uint32_t>(parameter.linearIndex) & 0xFFFFu) : 0xFFFFu;
  return (high << 16) | parameter.NameHash();
}

void DescBranch::Serialize(platform::Archive& archive) {
  if (archive.IsStoring()) {
    archive.WriteClassTag("DescBranch", 3);
    archive.WriteText(elementName);
    archive.WriteDword(static_cast<std::uint32_t>(parameters.size()));
    for (auto& p : parameters) {
      archive.WriteDword(ArchiveKey(*p));
      p->Serialize(archive, false);
    }
    archive.WriteInt32(repeatCount);
    archive.WriteInt32(instance);
  } else if (archive.ReadClassTag("DescBranch") == 3) {
    // A later parameter with the same key takes the place of an earlier one.
    std::unordered_map<std::uint32_t, Parameter*> byKey;
    for (auto& p : parameters) byKey[ArchiveKey(*p)] = p.get();
    elementName = archive.ReadText();
    const std::uint32_t count = archive.ReadDword();
    for (std::uint32_t i = 0; i < count; ++i) {
      if (!archive.CanRead(4)) break;
      const auto it = byKey.find(archive.ReadDword());
      if (it != byKey.end()) {
        it->second->Serialize(archive, false);
      } else {
        Parameter scratch;  // a parameter the tree no longer has
        scratch.SerializeRecord(archive, false);
      }
    }
    const int storedRepeatCount = archive.ReadInt32();
    const int storedInstance = archive.ReadInt32();
    repeatCount = storedRepeatCount;
    instance = storedInstance;
  }
  for (auto& child : children) child->Serialize(archive);
}
