#include "app/TreeControlLogic.h"

#include "app/CPelmDoc.h"
#include "link/AppState.h"
#include "link/Device.h"
#include "model/DescBranch.h"
#include "model/LinkOps.h"
#include "model/Parameter.h"
#include "model/WalkScope.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"

using resources::LoadString;

int ReadOnExpand(model::LinkOps* link, Parameter* parameter) {
  if (parameter == nullptr) return -3;
  if (link == nullptr) return -1;
  if (!parameter->value.HasNoData() || !parameter->note.empty() || !App().automaticReading)
    return -2;
  // Time-outs count: on a silent line the walk of the branch stops at the limit.
  return link->ReadParameter(*parameter, 1);
}

void ExpandRows(PelmTreeRows& rows, model::TreeItem row, BaseDevice::DeviceDocument* document) {
  CObject* object = rows.GetItemObject(row);
  if (object == nullptr) return;
  if (document) document->BeginWaitCursor();
  if (auto* branch = dynamic_cast<DescBranch*>(object); branch != nullptr && branch->rowsShown != -1)
    branch->InsertRemainingParameterItems(rows, row, App().showLinearIndexes);
  if (auto* element = dynamic_cast<Elements::InvisibleElement*>(object)) {
    model::LinkOps* link = document ? document->GetLink() : nullptr;
    // A walk of its own: the link stops it after the consecutive time-outs of a
    // dead line (with its one message) instead of trying every parameter.
    const model::WalkScope walk;
    for (model::TreeItem child = rows.GetChildItem(row); child != model::kNoItem;
         child = rows.GetNextSiblingItem(child)) {
      if (model::WalkScope::CurrentWalkStopped()) break;
      auto* p = dynamic_cast<Parameter*>(rows.GetItemObject(child));
      if (p == nullptr || p->IsPolled() || p->name == "    ") continue;
      ReadOnExpand(link, p);
      p->RefreshTreeItem(rows);
    }
    // The branch's own row shows at once whether reads under it failed.
    element->ShowLinearIndexInTree(rows, row, App().showLinearIndexes);
  }
  if (document) document->EndWaitCursor();
}

void PollSwitch(PelmTreeRows& rows, model::TreeItem row) {
  auto* p = dynamic_cast<Parameter*>(rows.GetItemObject(row));
  if (p == nullptr) return;
  const int state = rows.GetItemStateImage(row);
  if (state == 1) {
    rows.SetItemStateImage(row, 3);
    if (p->IsPolled()) p->StartPolling();
  } else if (state >= 2) {
    rows.SetItemStateImage(row, 1);
    if (p->IsPolled()) p->StopPolling();
  }
}

RowPopup ChoosePopup(CObject* object, const DescBranch* polledBranch) {
  if (auto* branch = dynamic_cast<DescBranch*>(object)) {
    if (branch != polledBranch && branch->GetPollingState() == -1) return RowPopup::BranchMenu;
    return RowPopup::None;
  }
  if (auto* p = dynamic_cast<Parameter*>(object); p != nullptr && !p->IsPolled()) return RowPopup::ParameterMenu;
  return RowPopup::None;
}

std::vector<PopupItem> PopupItems(RowPopup popup, CObject* object) {
  switch (popup) {
    case RowPopup::BranchMenu:
      return {{kCmdReadBranchRows, "Прочитать параметры ветви"},
              {kCmdWriteBranchRows, "Записать параметры ветви"},
              {kCmdWriteChangedBranchRows, "Записать только измененные"},
              {kCmdCompareBranchRows, "Сравнить с реальными значениями"}};
    case RowPopup::ParameterMenu: {
      std::vector<PopupItem> items{{kCmdReadParameter, "Прочитать параметр"},
                                   {kCmdWriteParameter, "Записать параметр"},
                                   {0, ""},
                                   {kCmdSetNoData, "Установить значение в \"" + LoadString(kStrNoData) + "\""}};
      if (auto* p = dynamic_cast<Parameter*>(object); p != nullptr && !p->writable) items.erase(items.begin() + 1);
      return items;
    }
    case RowPopup::None:
      break;
  }
  return {};
}

bool RunParameterCommand(CPelmDoc& document, int command) {
  auto* p = dynamic_cast<Parameter*>(document.selected);
  if (p == nullptr) {
    platform::ShowMessage(LoadString(kStrNothingSelected), std::string(), platform::MessageIcon::Warning);
    return false;
  }
  switch (command) {
    case kCmdReadParameter:
    case kCmdWriteParameter: {
      Device* link = document.GetDevice();
      if (link == nullptr) return false;
      const bool ran = command == kCmdReadParameter ? link->StartReadOneTask(*p) : link->StartWriteOneTask(*p);
      if (ran) document.UpdateAllViews();
      return ran;
    }
    case kCmdSetNoData:
      p->value.SetNoData();
      p->note.clear();
      p->valueChanged = p->editableChanged = p->ownerChanged = false;
      document.UpdateAllViews();
      return true;
    default:
      return false;
  }
}

bool RunBranchCommand(PelmTreeRows& rows, CPelmDoc& document, int command) {
  if (command < kCmdReadBranchRows || command > kCmdCompareBranchRows) return false;
  const model::TreeItem selected = rows.GetSelectedItem();
  document.selected = selected != model::kNoItem ? dynamic_cast<DescBranch*>(rows.GetItemObject(selected)) : nullptr;
  return document.OnTreeTask(CPelmDoc::kCmdReadBranch + (command - kCmdReadBranchRows));
}

namespace {

model::TreeItem FindBelow(PelmTreeRows& rows, const CObject* object, model::TreeItem row) {
  for (model::TreeItem child = rows.GetChildItem(row); child != model::kNoItem;
       child = rows.GetNextSiblingItem(child)) {
    if (model::TreeItem found = FindBelow(rows, object, child); found != model::kNoItem) return found;
    if (rows.GetItemObject(child) == object) return child;
  }
  return model::kNoItem;
}

}  // namespace

model::TreeItem FindItemByObject(PelmTreeRows& rows, const CObject* object, model::TreeItem start) {
  if (start == model::kNoItem) start = rows.GetRootItem();
  if (start == model::kNoItem) return model::kNoItem;
  return FindBelow(rows, object, start);
}

bool HasProblemParameters(const ObjectWithParameters& element) {
  const std::string& notInitialised = LoadString(kStrNotInitialised);
  const std::string& difference = LoadString(kStrDeviceValue);
  for (const auto& p : element.parameters) {
    if (p->IsPolled() || p->note.empty() || p->note == notInitialised) continue;
    if (p->note.find(difference) != std::string::npos) continue;
    return true;
  }
  if (auto* branch = dynamic_cast<const DescBranch*>(&element))
    for (const auto& child : branch->children)
      if (HasProblemParameters(*child)) return true;
  return false;
}
