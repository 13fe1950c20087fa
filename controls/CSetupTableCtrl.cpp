#include "controls/CSetupTableCtrl.h"

#include <mutex>

#include "link/AppState.h"
#include "link/NetRS485prg.h"
#include "model/Parameter.h"
#include "platform/Sio.h"
#include "platform/Text.h"

namespace myClass {

void CSetupTableCtrl::OnEndEdit(const std::string& text) {
  if (auto* parameter = dynamic_cast<Parameter*>(GetCell(EditRow(), EditColumn()))) {
    std::string shown;
    bool refused = false;
    {
      // The link reads these settings under the exchange lock.
      std::lock_guard lock(App().exchangeLock);
      refused = acceptEdit && !acceptEdit(*parameter, text);
      if (!refused) parameter->CheckAndSetValue(text, false);
      shown = parameter->value;
    }
    SetItemText(EditRow(), EditColumn(), shown);
    if (refused && onRefused) onRefused();
  }
  CTableCtrl::OnEndEdit(text);
}

namespace {
const Parameter* PortParameter(CObject* object) {
  const auto* parameter = dynamic_cast<const Parameter*>(object);
  return parameter && platform::EqualsNoCase(parameter->name, "Port") ? parameter : nullptr;
}
}  // namespace

bool CSetupTableCtrl::SetItemText(int row, int column, const std::string& text) {
  if (column > 0 && PortParameter(GetCell(row, column)))
    return CTableCtrl::SetItemText(row, column, Elements::NetRS485prg::PortShownText(text));
  return CTableCtrl::SetItemText(row, column, text);
}

void CSetupTableCtrl::OnBeginEdit(CObject* object) {
  const Parameter* port = PortParameter(object);
  if (port && ListBox()) {
    // The list names devices: "COM1" is found as the device it opens.
    int item = ListBox()->findText(QString::fromStdString(port->value));
    if (item < 0) item = ListBox()->findText(QString::fromStdString(ResolvePortPath(port->value)));
    ListBox()->setCurrentIndex(item);
  }
  CTableCtrl::OnBeginEdit(object);
}

}  // namespace myClass
