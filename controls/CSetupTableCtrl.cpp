#include "controls/CSetupTableCtrl.h"

#include <mutex>

#include "link/AppState.h"
#include "model/Parameter.h"

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

}  // namespace myClass
