#include "app/ui/CStateTableCtrl.h"

#include <mutex>

#include "app/StateInOutLogic.h"
#include "devices/CBaseDevice.h"
#include "link/AppState.h"
#include "model/Parameter.h"

namespace myClass {

CStateTableCtrl::CStateTableCtrl(QWidget* parent) : CTableCtrl(parent) { SetRowHeight(kRowHeight); }

void CStateTableCtrl::Attach(std::function<model::LinkOps*()> link, std::function<std::atomic<bool>*(int)> mark) {
  link_ = std::move(link);
  mark_ = std::move(mark);
}

std::atomic<bool>* CStateTableCtrl::Mark(int row) const { return mark_ ? mark_(row) : nullptr; }

void CStateTableCtrl::OnButtonCell(int row, int) {
  auto* parameter = dynamic_cast<Parameter*>(GetCell(row, 0));
  model::LinkOps* link = link_ ? link_() : nullptr;
  if (parameter && link) Dialogs::ResetCounter(*parameter, *link, Mark(row));
}

void CStateTableCtrl::OnBeginEdit(CObject*) {
  markedRow_ = EditRow();
  if (std::atomic<bool>* mark = Mark(markedRow_)) mark->store(true);
}

void CStateTableCtrl::OnEndEdit(const std::string& text) {
  const int row = EditRow(), column = EditColumn();
  markedRow_ = -1;
  auto* parameter = dynamic_cast<Parameter*>(GetCell(row, column));
  model::LinkOps* link = link_ ? link_() : nullptr;
  if (!parameter || !link) {
    if (std::atomic<bool>* mark = Mark(row)) mark->store(false);
    return;
  }
  const auto* model = dynamic_cast<const BaseDevice::CBaseDevice*>(App().DeviceModel());
  const Dialogs::OutputEdit edit = Dialogs::WriteEditedOutput(*parameter, text, *link, model, Mark(row));
  // A failed write leaves the typed value in the cell until the next read; a refused
  // text gives way to the value held.
  if (edit != Dialogs::OutputEdit::Written && edit != Dialogs::OutputEdit::Refused) return;
  ValueText value;
  {
    std::lock_guard lock(App().exchangeLock);
    value = parameter->value;
  }
  SetItemText(row, column, value);
}

void CStateTableCtrl::OnCancelEdit() {
  // Without this the worker would never read the row again.
  if (std::atomic<bool>* mark = Mark(markedRow_)) mark->store(false);
  markedRow_ = -1;
}

}  // namespace myClass
