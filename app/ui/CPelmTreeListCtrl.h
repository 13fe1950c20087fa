#pragma once
// The parameter tree: the tree-list control tied to the document's parameters.
// Edits are committed into their parameter (and written at once where that is
// asked), an opened branch reads its unread parameters, the state icon of a
// polled row starts and stops its polling, and a right click offers the branch or
// parameter menu. The rules live in app/TreeCommit and app/TreeControlLogic; this
// class only connects them to the widget.
#include <QPoint>
#include <functional>
#include <memory>
#include <vector>

#include "app/PelmTreeRows.h"
#include "app/TreeControlLogic.h"
#include "controls/CTreeListCtrl.h"

class CPelmDoc;

class CPelmTreeListCtrl : public TreeList::CTreeListCtrl {
  Q_OBJECT

 public:
  // The document outlives the control.
  explicit CPelmTreeListCtrl(CPelmDoc& document, QWidget* parent = nullptr);
  ~CPelmTreeListCtrl() override;

  // The control as the plain logic sees it.
  PelmTreeRows& Rows();
  CPelmDoc& Document() { return document_; }

  // The commands of the popups: 32808, 32809, 32811 on the document's current
  // object, 279-282 on the selected branch. False for any other id.
  bool OnCommand(int command);

  // Shows a popup at a screen point and returns the chosen id (0: none). A plain
  // menu by default; tests replace it so that no menu blocks them.
  std::function<int(const std::vector<PopupItem>& items, const QPoint& globalPos)> runPopup;

  void OnEndLabelEdit(const TreeList::EditEnd& end) override;
  void OnComboItemChanged(const TreeList::EditEnd& end) override;

 protected:
  TreeList::EditorChoice ChooseEditor(model::TreeItem row, int column, const std::string& cellText) override;
  bool KeepsColumn1(model::TreeItem row) override;
  void OnStateImageClick(model::TreeItem row) override;
  void OnRightClick(model::TreeItem row, const QPoint& globalPos) override;
  void OnItemExpanding(model::TreeItem row) override;

 private:
  class RowsAdapter;
  // The end of either editor: the base stores the text, then the commit runs.
  void EndEdit(const TreeList::EditEnd& end, bool list);

  CPelmDoc& document_;
  std::unique_ptr<RowsAdapter> rows_;
};
