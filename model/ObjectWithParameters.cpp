#include "model/ObjectWithParameters.h"

#include <algorithm>

#include "model/WalkScope.h"
#include "platform/Archive.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

Parameter& ObjectWithParameters::AddParameter(std::unique_ptr<Parameter> parameter) {
  parameters.push_back(std::move(parameter));
  return *parameters.back();
}

void ObjectWithParameters::InitParameters() { parameters.clear(); }

Parameter* ObjectWithParameters::GetParameterByName(std::string_view name) const {
  for (const auto& p : parameters)
    if (platform::EqualsNoCase(p->name, name)) return p.get();
  return nullptr;
}

std::string ObjectWithParameters::GetParameterValue(std::string_view name) {
  Parameter* p = GetParameterByName(name);
  return p ? p->value : resources::LoadString(kStrNoData);
}

int ObjectWithParameters::SetParameterValue(std::string_view name, const ValueText& text) {
  Parameter* p = GetParameterByName(name);
  if (!p) return 0;
  if (!platform::EqualsNoCase(text, p->value)) p->valueChanged = true;
  p->value = text;
  return 1;
}

void ObjectWithParameters::ResetValues() {
  for (auto& p : parameters) {
    p->value.SetNoData();
    p->note.clear();
    p->editable = 1;
    p->owner = 0;
    p->valueChanged = p->editableChanged = p->ownerChanged = false;
    p->confirmedOnLink = 0;
  }
}

int ObjectWithParameters::GetChangeState() {
  for (const auto& p : parameters)
    if (p->AnyChangeFlag()) return 2;
  return 0;
}

void ObjectWithParameters::ClearModifiedFlags() {
  for (auto& p : parameters) p->valueChanged = p->editableChanged = p->ownerChanged = false;
}

bool ObjectWithParameters::HasProblemParameter(bool any) const {
  const std::string& difference = resources::LoadString(kStrDeviceValue);
  for (const auto& p : parameters) {
    if (p->note.empty()) continue;
    if (any || !p->note.starts_with(difference)) return true;
  }
  return false;
}

int ObjectWithParameters::GetLinearIndex() {
  if (elementIndex == -1) {
    for (const auto& p : parameters) {
      if (p->indexed) {
        elementIndex = p->linearIndex;
        return elementIndex;
      }
    }
    return -1;
  }
  for (const auto& p : parameters) {
    if (p->indexed && p->linearIndex != elementIndex) {
      platform::ShowMessage("Параметр '" + p->name + "' (" + p->description + ") имеет подозрительный линейный индекс.",
                            "Предупреждение", platform::MessageIcon::Warning);
    }
  }
  return elementIndex;
}

void ObjectWithParameters::SetLinearIndex(int index) {
  for (auto& p : parameters)
    if (p->indexed) p->linearIndex = index;
  elementIndex = index;
}

model::WalkResult ObjectWithParameters::CompareWithDevice(model::LinkOps& link) {
  const model::WalkScope walk;
  model::WalkResult r;
  if (link.IsAbortSet()) return r;
  for (size_t i = 0; i < parameters.size(); ++i) {
    int code = link.CompareParameter(*parameters[i]);
    link.StepProgress();
    if (code != 0) ++r.failed;
    if (link.IsAbortSet()) {
      r.processed = static_cast<int>(i);
      return r;
    }
  }
  r.processed = static_cast<int>(parameters.size());
  return r;
}

model::WalkResult ObjectWithParameters::ReadFromDevice(model::LinkOps& link) {
  const model::WalkScope walk;
  model::WalkResult r;
  if (link.IsAbortSet()) return r;
  for (size_t i = 0; i < parameters.size(); ++i) {
    if (link.ReadParameter(*parameters[i], 1) != 0) ++r.failed;
    // Tested after every parameter, so that an abort stops a long read that succeeds.
    if (link.IsAbortSet()) {
      r.processed = static_cast<int>(i);
      return r;
    }
  }
  r.processed = static_cast<int>(parameters.size());
  return r;
}

bool ObjectWithParameters::TakesPartInWrite(const Parameter& p, int mode) {
  if (!p.writable) return false;
  if (mode > 0) return true;
  if (mode == 0) return p.AnyChangeFlag();
  return !p.initialValue.empty();
}

model::WalkResult ObjectWithParameters::WriteToDevice(model::LinkOps& link, int mode) {
  const model::WalkScope walk;
  model::WalkResult r;
  if (link.IsAbortSet()) return r;
  for (auto& p : parameters) {
    if (!TakesPartInWrite(*p, mode)) continue;
    ++r.processed;
    if (link.WriteParameter(*p, mode) != 0) ++r.failed;
    if (link.IsAbortSet()) return r;
  }
  return r;
}

model::TreeItem ObjectWithParameters::InsertTreeItems(model::TreeRows& rows, model::TreeItem parent, int count,
                                                      bool showIndex) {
  ShowLinearIndexInTree(rows, parent, showIndex);
  const size_t n = count < 0 ? parameters.size() : std::min(parameters.size(), static_cast<size_t>(count));
  for (size_t i = 0; i < n; ++i) {
    Parameter& p = *parameters[i];
    int image = p.GetImageIndex();
    p.InsertTreeItem(rows, parent, image, image, showIndex);
  }
  rowsShown = static_cast<int>(n);
  return parent;
}

void ObjectWithParameters::ShowLinearIndexInTree(model::TreeRows& rows, model::TreeItem row, bool showIndex) {
  if (row == model::kNoItem) return;
  int index = GetLinearIndex();
  if (index >= 0) rows.SetItemText(row, 1, showIndex ? platform::Format("(%i)", index) : std::string());
  if (auto* element = dynamic_cast<ObjectWithParameters*>(rows.GetItemObject(row))) {
    if (std::optional<bool> problem = element->HasProblemInSubtree())
      rows.SetItemColor(row, *problem ? model::kRed : model::kBlack);
  }
}

void ObjectWithParameters::Serialize(platform::Archive& archive) {
  const bool keepValue = KeepsValuesWhenLoading();
  for (auto& p : parameters) p->Serialize(archive, keepValue);
}
