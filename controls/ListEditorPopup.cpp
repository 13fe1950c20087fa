#include "controls/ListEditorPopup.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QStyle>

namespace controls {

namespace {

class EscapeWatch : public QObject {
 public:
  EscapeWatch(QComboBox& box, std::function<void()> onEscape)
      : QObject(&box), box_(box), onEscape_(std::move(onEscape)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    // The list closes on Escape as soon as the key is offered to shortcuts, so the
    // key press itself may find it closed already.
    const bool key = event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress;
    if (key && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && box_.view()->isVisible() && !queued_) {
      queued_ = true;
      // The editing ends once the list has closed.
      QMetaObject::invokeMethod(
          &box_,
          [this] {
            queued_ = false;
            onEscape_();
          },
          Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QComboBox& box_;
  std::function<void()> onEscape_;
  bool queued_ = false;
};

}  // namespace

bool FocusInOwnList(const QComboBox& box) {
  const QAbstractItemView* list = box.view();
  if (list == nullptr) return false;
  if (list->isVisible()) return true;
  const QWidget* focus = QApplication::focusWidget();
  const QWidget* popup = list->window();
  return focus != nullptr && popup != box.window() && (focus == popup || popup->isAncestorOf(focus));
}

void FitListWidth(QComboBox& box) {
  QAbstractItemView* list = box.view();
  const int frame = 2 * list->frameWidth() + 8;
  const int bar = box.count() > box.maxVisibleItems() ? list->style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 0;
  list->setMinimumWidth(list->sizeHintForColumn(0) + frame + bar);
}

void KeepListWide(QComboBox& box) {
  FitListWidth(box);
  QAbstractItemModel* model = box.model();
  const auto refit = [&box] { FitListWidth(box); };
  QObject::connect(model, &QAbstractItemModel::rowsInserted, &box, refit);
  QObject::connect(model, &QAbstractItemModel::rowsRemoved, &box, refit);
  QObject::connect(model, &QAbstractItemModel::modelReset, &box, refit);
  QObject::connect(model, &QAbstractItemModel::dataChanged, &box, refit);
}

void OnListEscape(QComboBox& box, std::function<void()> onEscape) {
  box.view()->installEventFilter(new EscapeWatch(box, std::move(onEscape)));
}

}  // namespace controls
