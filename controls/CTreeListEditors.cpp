#include "controls/CTreeListEditors.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QWheelEvent>

#include "controls/CTreeListCtrl.h"
#include "controls/ListEditorPopup.h"

namespace TreeList {

namespace {

// Keys that belong to an open editor, not to the main window's shortcuts. A key
// with Ctrl is the box's only when it edits by it (Ctrl+A, C, V, X, Z: its own
// handling claims those); any other (Ctrl+S) is the window's, whose commands end
// the edit first.
bool IsEditorKey(const QKeyEvent* key, bool withArrows) {
  switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return !(key->modifiers() & Qt::AltModifier);
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Delete: return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_F4: return withArrows;  // F4 and Alt+Down open the list
    default: return false;
  }
}

// Alt+Tab is the desktop's window switch (when no window manager takes it, its
// keys still reach the box): no Tab of the editor.
bool IsTab(const QKeyEvent* key) {
  return (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) && !(key->modifiers() & Qt::AltModifier);
}
bool IsEnter(const QKeyEvent* key) { return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter; }

// The box is widened to its text and 5 pixels, never past the control's right edge.
void WidenTo(QWidget* editor, int textWidth) {
  const QWidget* parent = editor->parentWidget();
  const int wanted = textWidth + 5;
  if (editor->width() >= wanted || !parent) return;
  editor->resize(std::min(wanted, parent->width() - editor->x()), editor->height());
}

// The modal window (a message box the link posted) that has come over the editor's.
QWidget* ModalOver(const QWidget* editor) {
  QWidget* modal = QApplication::activeModalWidget();
  return modal != nullptr && modal != editor->window() ? modal : nullptr;
}

// Losses of focus that confirm nothing: the menu bar taking the keys (Alt, F10, a
// menu left with Escape), the program's windows losing the activation to another
// program (Alt+Tab), and a message box coming up by itself. The focus comes back to
// the editor after them; should it go to another widget of the program instead,
// that ends the editing as a click there would.
template <class Editor>
bool KeepOpenWhileAway(Editor* editor, const QFocusEvent* event, QMetaObject::Connection& watch) {
  const bool away = event->reason() == Qt::MenuBarFocusReason ||
                    (event->reason() == Qt::ActiveWindowFocusReason &&
                     (QApplication::activeWindow() == nullptr || ModalOver(editor) != nullptr));
  if (!away) return false;
  QObject::disconnect(watch);
  watch = QObject::connect(qApp, &QApplication::focusChanged, editor, [editor, &watch](QWidget*, QWidget* now) {
    if (now == nullptr || qobject_cast<QMenuBar*>(now) || qobject_cast<QMenu*>(now)) return;
    if (const QWidget* modal = ModalOver(editor); modal != nullptr && now->window() == modal) return;
    QObject::disconnect(watch);
    if (now != editor) editor->ReportEnd();
  });
  return true;
}

// A press of the mouse elsewhere takes the focus before the press itself is handled.
// A press on the header discards the edit, so the end is put off until that press
// has run; any other loss of focus ends the editing at once.
template <class Editor>
void EndOnFocusLoss(Editor* editor, const QFocusEvent* event, bool& pending, QMetaObject::Connection& watch) {
  if (KeepOpenWhileAway(editor, event, watch)) return;
  if (event->reason() != Qt::MouseFocusReason) {
    editor->ReportEnd();
    return;
  }
  pending = true;
  QMetaObject::invokeMethod(editor, [editor] { editor->ReportPendingEnd(); }, Qt::QueuedConnection);
}

}  // namespace

CTreeListEditBox::CTreeListEditBox(CTreeListCtrl* tree, model::TreeItem row, int column, std::string initialText,
                                   Qt::Alignment alignment)
    : QLineEdit(tree->viewport()), tree_(tree), row_(row), column_(column), initialText_(std::move(initialText)) {
  setObjectName("treelist-editbox");
  setFont(tree->font());
  setAlignment(alignment | Qt::AlignVCenter);
}

void CTreeListEditBox::Open() {
  setText(QString::fromStdString(initialText_));
  show();
  setFocus(Qt::OtherFocusReason);
  selectAll();
}

void CTreeListEditBox::ReportEnd() {
  if (reported_) return;
  reported_ = true;
  endPending_ = false;
  EditEnd end;
  end.row = row_;
  end.column = column_;
  end.text = text().toStdString();
  end.cancelled = cancelled_;
  end.endedByTab = endedByTab_;
  // The keys that end the editing hand the focus back to the tree.
  if (hasFocus()) tree_->setFocus(Qt::OtherFocusReason);
  tree_->OnEndLabelEdit(end);
}

void CTreeListEditBox::ReportPendingEnd() {
  if (endPending_) ReportEnd();
}

void CTreeListEditBox::KeepEditing() {
  if (!endPending_) return;
  endPending_ = false;
  setFocus(Qt::OtherFocusReason);
}

void CTreeListEditBox::Dismiss() {
  reported_ = true;
  endPending_ = false;
  hide();
  deleteLater();
}

void CTreeListEditBox::Widen() { WidenTo(this, fontMetrics().horizontalAdvance(text()) + textMargins().left() + 8); }

bool CTreeListEditBox::event(QEvent* e) {
  if (e->type() == QEvent::ShortcutOverride && IsEditorKey(static_cast<QKeyEvent*>(e), false)) {
    e->accept();
    return true;
  }
  if (e->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(e);
    endedByTab_ = cancelled_ = false;
    if (IsTab(key)) {
      endedByTab_ = true;
      ReportEnd();
      return true;
    }
    if (IsEnter(key)) {
      ReportEnd();
      return true;
    }
    if (key->key() == Qt::Key_Escape) {
      cancelled_ = true;
      ReportEnd();
      return true;
    }
    const bool handled = QLineEdit::event(e);
    if (!reported_) Widen();
    return handled;
  }
  return QLineEdit::event(e);
}

void CTreeListEditBox::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // The box's own context menu takes the focus only for a moment.
  if (event->reason() != Qt::PopupFocusReason && !reported_) EndOnFocusLoss(this, event, endPending_, awayWatch_);
}

CTreeListComboBox::CTreeListComboBox(CTreeListCtrl* tree, model::TreeItem row, int column,
                                     const std::string& initialText)
    : QComboBox(tree->viewport()),
      tree_(tree),
      row_(row),
      column_(column),
      initialText_(initialText.empty() ? " " : initialText) {
  setObjectName("treelist-combobox");
  setFont(tree->font());
  // A confirmed choice ends the editing; keys that only move the selection do not.
  connect(this, &QComboBox::activated, this, [this](int) {
    if (!inKeyPress_) ReportEnd();
  });
  // Escape in the open list closes it and ends the editing, as Escape in the box does.
  controls::OnListEscape(*this, [this] {
    cancelled_ = true;
    ReportEnd();
  });
}

void CTreeListComboBox::Open() {
  const QString initial = QString::fromStdString(initialText_);
  if (findText(initial, Qt::MatchExactly) < 0) insertItem(0, initial);
  setCurrentIndex(findText(initial, Qt::MatchExactly));
  show();
  setFocus(Qt::OtherFocusReason);
}

void CTreeListComboBox::ReportEnd() {
  if (reported_) return;
  reported_ = true;
  endPending_ = false;
  EditEnd end;
  end.row = row_;
  end.column = column_;
  end.text = currentText().toStdString();
  end.cancelled = cancelled_;
  end.endedByTab = endedByTab_;
  if (hasFocus()) tree_->setFocus(Qt::OtherFocusReason);
  tree_->OnComboItemChanged(end);
}

void CTreeListComboBox::ReportPendingEnd() {
  if (endPending_) ReportEnd();
}

void CTreeListComboBox::KeepEditing() {
  if (!endPending_) return;
  endPending_ = false;
  setFocus(Qt::OtherFocusReason);
}

void CTreeListComboBox::Dismiss() {
  reported_ = true;
  endPending_ = false;
  hidePopup();
  hide();
  deleteLater();
}

bool CTreeListComboBox::event(QEvent* e) {
  if (e->type() == QEvent::ShortcutOverride && IsEditorKey(static_cast<QKeyEvent*>(e), true)) {
    e->accept();
    return true;
  }
  if (e->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(e);
    endedByTab_ = false;
    if (IsTab(key)) {
      endedByTab_ = true;
      ReportEnd();
      return true;
    }
    // Enter ends with the shown item; Escape ends without a change (the arrows may
    // have moved the shown item, which nobody confirmed).
    if (IsEnter(key) || key->key() == Qt::Key_Escape) {
      cancelled_ = key->key() == Qt::Key_Escape;
      ReportEnd();
      return true;
    }
    inKeyPress_ = true;
    const bool handled = QComboBox::event(e);
    inKeyPress_ = false;
    if (!reported_) WidenTo(this, fontMetrics().horizontalAdvance(currentText()) + 30);
    return handled;
  }
  return QComboBox::event(e);
}

void CTreeListComboBox::focusOutEvent(QFocusEvent* event) {
  QComboBox::focusOutEvent(event);
  // Opening the list's own popup, and the list taking the focus, are not the end of
  // the editing.
  if (event->reason() == Qt::PopupFocusReason || controls::FocusInOwnList(*this) || reported_) return;
  EndOnFocusLoss(this, event, endPending_, awayWatch_);
}

void CTreeListComboBox::wheelEvent(QWheelEvent* event) {
  // Each notch would pick the next item and end the editing with it (in immediate-
  // write mode a write to the module): the wheel picks nothing. The open list is a
  // window of its own and scrolls by itself.
  event->accept();
}

}  // namespace TreeList
