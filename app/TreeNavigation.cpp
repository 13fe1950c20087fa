#include "app/TreeNavigation.h"

#include <algorithm>
#include <vector>

#include "app/CPelmDoc.h"
#include "app/TreeControlLogic.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"

namespace {

model::TreeItem NoMore() {
  platform::ShowMessage(resources::LoadString(kStrNoMoreProblems), std::string(),
                        platform::MessageIcon::Information);
  return model::kNoItem;
}

bool IsProblemRow(PelmTreeRows& rows, model::TreeItem row) {
  auto* p = dynamic_cast<Parameter*>(rows.GetItemObject(row));
  return p != nullptr && !p->note.empty();
}

model::TreeItem Step(PelmTreeRows& rows, model::TreeItem row, bool forward) {
  return forward ? rows.GetNextSiblingItem(row) : rows.GetPrevSiblingItem(row);
}

model::TreeItem Select(PelmTreeRows& rows, model::TreeItem row) {
  rows.SelectItem(row);
  return row;
}

}  // namespace

model::TreeItem NavigateToProblem(PelmTreeRows& rows, CPelmDoc* document, bool forward) {
  model::TreeItem row = rows.GetSelectedItem();
  if (row == model::kNoItem) {
    if (document == nullptr || document->rootBranch == nullptr) return model::kNoItem;
    row = FindItemByObject(rows, document->rootBranch, model::kNoItem);
    if (row == model::kNoItem) return model::kNoItem;
    rows.Expand(row);
  }

  // From a branch down to its first parameter.
  if (dynamic_cast<DescBranch*>(rows.GetItemObject(row)) != nullptr) {
    while (dynamic_cast<DescBranch*>(rows.GetItemObject(row)) != nullptr) {
      rows.Expand(row);
      const model::TreeItem child = rows.GetChildItem(row);
      if (child == model::kNoItem || rows.GetItemObject(child) == nullptr) return NoMore();
      row = child;
    }
    if (IsProblemRow(rows, row)) return Select(rows, row);
  }

  auto* start = dynamic_cast<Parameter*>(rows.GetItemObject(row));
  if (start == nullptr || start->IsPolled()) return model::kNoItem;
  for (model::TreeItem r = Step(rows, row, forward); r != model::kNoItem; r = Step(rows, r, forward))
    if (IsProblemRow(rows, r)) return Select(rows, r);

  // On through the branches in list order (every branch after its sub-branches).
  if (document == nullptr) return NoMore();
  if (document->treeList.empty()) document->RegisterBranch(document->rootBranch);
  const std::vector<DescBranch*>& list = document->treeList;
  auto* owner = dynamic_cast<DescBranch*>(rows.GetItemObject(rows.GetParentItem(row)));
  const auto at = std::find(list.begin(), list.end(), owner);
  if (owner == nullptr || at == list.end()) return NoMore();
  long i = at - list.begin();
  DescBranch* found = nullptr;
  if (forward) {
    for (++i; i < static_cast<long>(list.size()) && !found; ++i)
      if (list[i]->HasProblemParameter(true)) found = list[i];
  } else {
    --i;
    // Its single-parameter sub-branches show as its own rows, searched above.
    auto ownSingle = [&](const DescBranch* b) {
      return b->IsSingleParameter() && std::any_of(owner->children.begin(), owner->children.end(),
                                                   [&](const auto& c) { return c.get() == b; });
    };
    while (i >= 0 && ownSingle(list[i])) --i;
    for (; i >= 0 && !found; --i)
      if (list[i]->HasProblemParameter(true)) found = list[i];
  }
  if (found == nullptr) return NoMore();

  model::TreeItem target = FindItemByObject(rows, found->GetDisplayedObject(), model::kNoItem);
  if (target == model::kNoItem) return model::kNoItem;
  rows.Expand(target);
  if (model::TreeItem child = rows.GetChildItem(target); child != model::kNoItem) target = child;
  model::TreeItem answer = model::kNoItem;
  for (model::TreeItem r = target; r != model::kNoItem; r = rows.GetNextSiblingItem(r)) {
    if (!IsProblemRow(rows, r)) continue;
    answer = r;
    if (forward) break;
  }
  return answer != model::kNoItem ? Select(rows, answer) : model::kNoItem;
}
