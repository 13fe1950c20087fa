#pragma once
// The in-place editors of the tree-list control: an edit box and a drop-down list
// over one cell. Each reports the end of its editing once to the control (which
// stores the text, and the parameter tree commits it); the control then dismisses it.
#include <QComboBox>
#include <QLineEdit>
#include <string>

#include "model/TreeRows.h"

namespace TreeList {

class CTreeListCtrl;

class CTreeListEditBox : public QLineEdit {
  Q_OBJECT

 public:
  CTreeListEditBox(CTreeListCtrl* tree, model::TreeItem row, int column, std::string initialText,
                   Qt::Alignment alignment);

  // Shows the initial text, takes the focus and selects everything.
  void Open();
  // Reports the end of the editing to the control (once).
  void ReportEnd();
  // Reports the end now when the loss of focus has put it off (see focusOutEvent).
  void ReportPendingEnd();
  // The press that took the focus was no end (a click on the scroll bar): the end
  // it put off is dropped and the focus comes back.
  void KeepEditing();
  // Hides the box and frees it later; it reports nothing more.
  void Dismiss();

  model::TreeItem Row() const { return row_; }
  int Column() const { return column_; }
  bool EndedByTab() const { return endedByTab_; }
  bool Cancelled() const { return cancelled_; }

 protected:
  bool event(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void Widen();

  CTreeListCtrl* tree_;
  bool endedByTab_ = false;
  bool cancelled_ = false;
  model::TreeItem row_;
  int column_;
  std::string initialText_;
  bool reported_ = false;
  bool endPending_ = false;
  QMetaObject::Connection awayWatch_;  // while the focus is with the menu bar or another program
};

class CTreeListComboBox : public QComboBox {
  Q_OBJECT

 public:
  // An empty cell text is shown as one blank.
  CTreeListComboBox(CTreeListCtrl* tree, model::TreeItem row, int column, const std::string& initialText);

  // Adds the initial text first when the list lacks it, selects it, takes the focus.
  void Open();
  void ReportEnd();
  void ReportPendingEnd();
  void KeepEditing();
  void Dismiss();

  model::TreeItem Row() const { return row_; }
  model::TreeItem GetItem() const { return row_; }
  int Column() const { return column_; }
  bool EndedByTab() const { return endedByTab_; }
  bool Cancelled() const { return cancelled_; }

 protected:
  bool event(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  CTreeListCtrl* tree_;
  bool endedByTab_ = false;
  bool cancelled_ = false;
  model::TreeItem row_;
  int column_;
  std::string initialText_;
  bool reported_ = false;
  bool endPending_ = false;
  QMetaObject::Connection awayWatch_;  // while the focus is with the menu bar or another program
  bool inKeyPress_ = false;  // the list's own key handling moves the selection
};

}  // namespace TreeList
