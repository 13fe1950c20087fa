#include "controls/CSetupTableCtrl.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <mutex>

#include "controls/ListEditorPopup.h"
#include "link/AppState.h"
#include "link/NetRS485prg.h"
#include "model/Parameter.h"
#include "platform/Sio.h"
#include "platform/Text.h"

namespace myClass {

void CSetupTableCtrl::OnEndEdit(const std::string& text) {
  if (auto* parameter = dynamic_cast<Parameter*>(GetCell(EditRow(), EditColumn()))) {
    ValueText shown;
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

// A path typed into the port's list is taken by every end that takes the shown item
// (Enter, Tab, a click elsewhere): it becomes the list's current item first, so that
// the list ends with it as with a chosen one.
class TypedPortWatch : public QObject {
 public:
  explicit TypedPortWatch(QComboBox& list) : QObject(&list), list_(list) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab || key == Qt::Key_Backtab) TakeTyped();
    } else if (event->type() == QEvent::FocusOut) {
      // Opening the list, or another window for a while, is no end of the editing.
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
          !controls::FocusInOwnList(list_))
        TakeTyped();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  void TakeTyped() {
    if (list_.lineEdit() == nullptr) return;
    const QString typed = list_.lineEdit()->text().trimmed();
    if (typed.isEmpty() || typed == list_.itemText(list_.currentIndex())) return;
    int item = list_.findText(typed);
    if (item < 0) {
      list_.addItem(typed);
      item = list_.count() - 1;
    }
    list_.setCurrentIndex(item);
  }

  QComboBox& list_;
};

const Parameter* PortParameter(CObject* object) {
  const auto* parameter = dynamic_cast<const Parameter*>(object);
  return parameter && platform::EqualsNoCase(parameter->name, "Port") ? parameter : nullptr;
}
}  // namespace

bool CSetupTableCtrl::SetItemText(int row, int column, const ValueText& text) {
  if (column > 0 && PortParameter(GetCell(row, column)))
    return CTableCtrl::SetItemText(row, column, Elements::NetRS485prg::PortShownText(text));
  return CTableCtrl::SetItemText(row, column, text);
}

void CSetupTableCtrl::OnBeginEdit(CObject* object) {
  const Parameter* port = PortParameter(object);
  if (CmyComboBox* list = ListBox(); port && list) {
    // The list names devices: "COM1" is found as the device it opens.
    const QString value = QString::fromStdString(port->value);
    int item = list->findText(value);
    if (item < 0) item = list->findText(QString::fromStdString(ResolvePortPath(port->value)));
    // A port the system does not list (a pseudo-terminal, a /dev/serial/by-id/ link)
    // stays one of the items: a look at the list must not lose the working port.
    if (item < 0 && !value.isEmpty()) {
      list->insertItem(0, value);
      item = 0;
    }
    // Any device path can be typed; it is taken as a chosen item.
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setCurrentIndex(item);
    auto* watch = new TypedPortWatch(*list);
    list->installEventFilter(watch);
    list->lineEdit()->installEventFilter(watch);
    controls::FitListWidth(*list);
    list->setFocus(Qt::OtherFocusReason);
    list->lineEdit()->selectAll();
  }
  CTableCtrl::OnBeginEdit(object);
}

}  // namespace myClass
