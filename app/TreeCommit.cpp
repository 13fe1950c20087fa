#include "app/TreeCommit.h"

#include <climits>
#include <cmath>
#include <vector>

#include "app/CPelmDoc.h"
#include "link/AppState.h"
#include "link/Device.h"
#include "link/NetRS485prg.h"
#include "link/NetworkChecks.h"
#include "model/Parameter.h"
#include "model/TypedNumber.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

using platform::EqualsNoCase;
using platform::Format;
using platform::MessageIcon;
using resources::LoadString;

namespace {

constexpr const char* kNetworkNameNote = "(Значение не удовлетворяет требованиям к формату сетевого имени)";

void ShowError(const std::string& text, const std::string& caption = std::string()) {
  platform::ShowMessage(text, caption, MessageIcon::Error);
}

// Trailing zeros go only from a fraction, and the '.' with them when nothing is
// left after it: "100" stays "100", "0.500000" becomes "0.5".
std::string TrimLimit(std::string text) {
  if (text.find('.') == std::string::npos) return text;
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

void Restore(PelmTreeRows& rows, model::TreeItem row, int column, const std::string& oldText) {
  rows.SetItemText(row, column, oldText);
}

// The branch rows above a written row show the write's result at once, as they
// do after a read: a refusal reddens them, a success may clear them.
void ShowBranchProblems(PelmTreeRows& rows, model::TreeItem row) {
  for (model::TreeItem up = rows.GetParentItem(row); up != model::kNoItem; up = rows.GetParentItem(up)) {
    const auto* element = dynamic_cast<const ObjectWithParameters*>(rows.GetItemObject(up));
    if (element == nullptr) continue;
    if (const std::optional<bool> problem = element->HasProblemInSubtree())
      rows.SetItemColor(up, *problem ? model::kRed : model::kBlack);
  }
}

CommitOutcome CommitPolled(CommitContext& c, Parameter& p, model::TreeItem row, int column,
                           const std::string& oldText, const std::string& text) {
  if (column == 1) {
    const std::optional<int> period = ParsePollPeriod(text);
    if (!period) {
      ShowError(LoadString(kStrPeriodTooShort));
      Restore(c.rows, row, column, oldText);
      return CommitOutcome::Refused;
    }
    const bool running = p.pollRunning.load();
    if (running) p.StopPolling();
    p.pollPeriod = *period;
    if (running) p.StartPolling();
    // The cell shows the period in force, not the fraction that was dropped.
    c.rows.SetItemText(row, 1, Format("%i", *period));
    return CommitOutcome::Taken;
  }
  if (column != 2) return CommitOutcome::Ignored;
  {
    // The polling thread stores into the same value under this lock.
    std::lock_guard lock(App().exchangeLock);
    if (p.CheckAndSetValue(text, false) == 0) {
      ShowError(RejectedValueMessage(p, text, true));
      Restore(c.rows, row, column, oldText);
      return CommitOutcome::Refused;
    }
    p.note.clear();
  }
  const int result = c.link.WriteParameter(p);
  ShowWriteResult(c.rows, row, p, result);
  if (result != 0) {
    ShowError(p.note);
    return CommitOutcome::WriteFailed;
  }
  return CommitOutcome::Taken;
}

bool IsAddressSetting(const std::string& name) {
  return name == "A.Len" || name == "Addr" || EqualsNoCase(name, "Prot");
}
bool IsFrameSetting(const std::string& name) { return name == "PrtY" || name == "LEn" || name == "Sbit"; }

CommitOutcome CommitValue(CommitContext& c, Parameter& p, model::TreeItem row, const std::string& oldText,
                          const std::string& text) {
  if (p.owner == 1) {
    Restore(c.rows, row, 2, oldText);
    return CommitOutcome::Refused;
  }
  auto* element = dynamic_cast<ObjectWithParameters*>(c.rows.GetItemObject(c.rows.GetParentItem(row)));
  const bool ownSettings = dynamic_cast<Elements::NetRS485prg*>(element) != nullptr;
  // The program's own settings skip the frame combinations, not the address
  // check: an address its frames cannot carry would reach another module.
  if (element != nullptr) {
    bool accepted = true;
    if (IsAddressSetting(p.name))
      accepted = Elements::CheckAddressSettings(*element, p.name, text);
    else if (IsFrameSetting(p.name) && !ownSettings)
      accepted = Elements::CheckFrameSettings(*element, p.name, text);
    if (!accepted) {
      ShowError(LoadString(kStrForbiddenCombination));
      Restore(c.rows, row, 2, oldText);
      return CommitOutcome::Refused;
    }
  }
  if (p.CheckAndSetValue(text, false) == 0) {
    ShowError(RejectedValueMessage(p, text, false));
    Restore(c.rows, row, 2, oldText);
    return CommitOutcome::Refused;
  }

  std::vector<Parameter*> toWrite{&p};
  if (EqualsNoCase(p.name, "Log")) {
    if (model::DeviceModelHooks* model = model::CurrentDeviceModel()) {
      if (Parameter* companion = model->OnParameterEdited(p); companion != nullptr && companion != &p) {
        companion->valueChanged = true;
        toWrite.push_back(companion);
      }
    }
  }

  if (ownSettings) {
    c.rows.SetItemText(row, 2, p.value);
    element->ClearModifiedFlags();
    c.link.ReopenPort();
    c.document->UpdateAllViews();
    return CommitOutcome::Taken;
  }

  CommitOutcome outcome = CommitOutcome::Taken;
  for (Parameter* q : toWrite) {
    const model::TreeItem qRow = q == &p ? row : q->treeItem;
    if (qRow != model::kNoItem) c.rows.SetItemText(qRow, 2, q->value);
    const int result = c.link.WriteParameterIfImmediate(*q);
    ShowWriteResult(c.rows, qRow, *q, result);
    if (result != 0 && result != Device::kNotWritten) {
      outcome = CommitOutcome::WriteFailed;
      ShowError(q->note, LoadString(kStrValueNotWritten));
    }
  }
  return outcome;
}

}  // namespace

void ShowWriteResult(PelmTreeRows& rows, model::TreeItem row, const Parameter& parameter, int result) {
  if (row == model::kNoItem) return;
  if (result == Device::kNotWritten) {
    rows.SetItemColor(row, model::kChangedGreen);
    return;
  }
  rows.SetItemColor(row, result == 0 ? model::kBlack : model::kRed);
  rows.SetItemText(row, 5, parameter.note);
  rows.SetItemText(row, 2, parameter.value);
  ShowBranchProblems(rows, row);
}

int DeviceEditLink::WriteParameter(Parameter& parameter) { return ::WriteParameter(parameter, 1); }

int DeviceEditLink::WriteParameterIfImmediate(Parameter& parameter) {
  return ::WriteParameterIfImmediate(parameter);
}

void DeviceEditLink::ReopenPort() {
  if (device_ != nullptr) device_->OpenPort(true);
}

std::optional<int> ParsePollPeriod(const std::string& text) {
  // The fraction of a period is dropped: 100.7 gives 100 ms.
  const std::optional<double> value = model::ReadTypedNumber(text, {100.0, static_cast<double>(INT_MAX), false, false});
  if (!value) return std::nullopt;
  return static_cast<int>(*value);
}

std::string RejectedValueMessage(const Parameter& p, const std::string& text, bool polled) {
  std::string message =
      Format(LoadString(kStrRejectedValue).c_str(), p.name.c_str(), p.description.c_str(), text.c_str());
  if (EqualsNoCase(p.name, "CHAr*")) message += kNetworkNameNote;
  if (p.min != 0 || p.max != 0) {
    const char* format = polled ? "%.f" : "%f";
    const std::string low = TrimLimit(Format(format, p.min));
    const std::string high = TrimLimit(Format(format, p.max));
    std::string range = LoadString(kStrValueRange);
    const std::optional<std::string> kind = p.GetNumberKindText();
    if (!kind) {
      // No word for this kind of value: the sentence goes on without one.
      if (size_t at = range.find("%s "); at != std::string::npos) range.erase(at, 3);
      message += Format(range.c_str(), low.c_str(), high.c_str());
    } else {
      message += Format(range.c_str(), kind->c_str(), low.c_str(), high.c_str());
    }
  }
  return message;
}

CommitOutcome CommitEdit(CommitContext& c, model::TreeItem row, int column, const std::string& oldText,
                         const std::string& newText) {
  if (newText == oldText || c.document == nullptr) return CommitOutcome::Unchanged;
  c.document->modified = true;
  auto* p = dynamic_cast<Parameter*>(c.rows.GetItemObject(row));
  if (p == nullptr) return CommitOutcome::NotParameter;
  if (p->IsPolled()) return CommitPolled(c, *p, row, column, oldText, newText);

  switch (column) {
    case 2:
      return CommitValue(c, *p, row, oldText, newText);
    case 3:
      if (p->owner == 1) {
        Restore(c.rows, row, 3, oldText);
        return CommitOutcome::Refused;
      }
      p->editable = newText == LoadString(kStrEditable) ? 1 : 0;
      p->editableChanged = true;
      c.rows.SetItemColor(row, model::kChangedGreen);
      return CommitOutcome::Taken;
    case 4:
      p->owner = newText == LoadString(kStrMaker) ? 1 : 0;
      p->ownerChanged = true;
      c.rows.SetItemColor(row, model::kChangedGreen);
      return CommitOutcome::Taken;
    default:
      return CommitOutcome::Ignored;
  }
}
