#include "app/ui/CPelmTreeListCtrl.h"

#include <QAction>
#include <QMenu>

#include "app/CPelmDoc.h"
#include "app/TreeCommit.h"
#include "controls/core/EditorChoice.h"
#include "link/AppState.h"
#include "link/NetRS485prg.h"

// The control behind the plain logic's interface. A separate object, because the
// control already is the model's TreeRows and PelmTreeRows is another one.
class CPelmTreeListCtrl::RowsAdapter : public PelmTreeRows {
 public:
  explicit RowsAdapter(CPelmTreeListCtrl& tree) : tree_(tree) {}

  model::TreeItem InsertItem(CObject* object, const std::string& text, int image, int selectedImage,
                             model::RowEditor editor, model::TreeItem parent, bool fast) override {
    return tree_.InsertItem(object, text, image, selectedImage, editor, parent, fast);
  }
  void SetItemTexts(model::TreeItem row, const std::string* t1, const std::string* t2, const std::string* t3,
                    const std::string* t4, const std::string* t5, model::ColorRef colour) override {
    tree_.SetItemTexts(row, t1, t2, t3, t4, t5, colour);
  }
  void SetItemText(model::TreeItem row, int column, const std::string& text) override {
    tree_.SetItemText(row, column, text);
  }
  void SetItemColor(model::TreeItem row, model::ColorRef colour) override { tree_.SetItemColor(row, colour, true); }
  void SetItemStateImage(model::TreeItem row, int image) override { tree_.SetItemStateImage(row, image); }
  void SetItemDisabled(model::TreeItem row, bool disabled) override {
    tree_.SetItemDisabled(row, disabled, true, false);
  }
  model::TreeItem GetChildItem(model::TreeItem row) override { return tree_.GetChildItem(row); }
  model::TreeItem GetNextSiblingItem(model::TreeItem row) override { return tree_.GetNextSiblingItem(row); }
  CObject* GetItemObject(model::TreeItem row) override { return tree_.GetItemObject(row); }

  std::string GetItemText(model::TreeItem row, int column) override { return tree_.GetItemText(row, column); }
  model::TreeItem GetParentItem(model::TreeItem row) override { return tree_.ParentItem(row); }
  model::TreeItem GetPrevSiblingItem(model::TreeItem row) override { return tree_.PrevSiblingItem(row); }
  model::TreeItem GetRootItem() override { return tree_.GetChildItem(model::kNoItem); }
  model::TreeItem GetSelectedItem() override { return tree_.SelectedItem(); }
  void SelectItem(model::TreeItem row) override { tree_.SelectRow(row); }
  void Expand(model::TreeItem row) override { tree_.ExpandRow(row, true); }
  int GetItemStateImage(model::TreeItem row) override { return tree_.GetItemStateImage(row); }
  void SetItemBold(model::TreeItem row, bool bold) override { tree_.SetItemBold(row, bold, true); }
  model::TreeItem InsertItemFirst(CObject* object, const std::string& text, int image, int selectedImage,
                                  model::TreeItem parent) override {
    return tree_.InsertItemFirst(object, text, image, selectedImage, parent);
  }

 private:
  CPelmTreeListCtrl& tree_;
};

namespace {

int RunMenu(QWidget* owner, const std::vector<PopupItem>& items, const QPoint& globalPos) {
  QMenu menu(owner);
  for (const PopupItem& item : items) {
    if (item.id == 0) {
      menu.addSeparator();
      continue;
    }
    menu.addAction(QString::fromStdString(item.text))->setData(item.id);
  }
  const QAction* chosen = menu.exec(globalPos);
  return chosen ? chosen->data().toInt() : 0;
}

}  // namespace

CPelmTreeListCtrl::CPelmTreeListCtrl(CPelmDoc& document, QWidget* parent)
    : CTreeListCtrl(parent), document_(document), rows_(std::make_unique<RowsAdapter>(*this)) {
  runPopup = [this](const std::vector<PopupItem>& items, const QPoint& globalPos) {
    return RunMenu(this, items, globalPos);
  };
}

CPelmTreeListCtrl::~CPelmTreeListCtrl() = default;

PelmTreeRows& CPelmTreeListCtrl::Rows() { return *rows_; }

void CPelmTreeListCtrl::OnEndLabelEdit(const TreeList::EditEnd& end) { EndEdit(end, false); }

void CPelmTreeListCtrl::OnComboItemChanged(const TreeList::EditEnd& end) { EndEdit(end, true); }

void CPelmTreeListCtrl::EndEdit(const TreeList::EditEnd& end, bool list) {
  const model::TreeItem row = end.row;
  const int column = end.column;
  const std::string oldText = column >= 1 && column <= 4 ? GetItemText(row, column) : std::string();
  if (list)
    CTreeListCtrl::OnComboItemChanged(end);
  else
    CTreeListCtrl::OnEndLabelEdit(end);
  const std::string newText = column >= 0 && column <= 4 ? GetItemText(row, column) : std::string();
  DeviceEditLink link(document_.GetDevice());
  CommitContext context{*rows_, &document_, link};
  CommitEdit(context, row, column, oldText, newText);
}

TreeList::EditorChoice CPelmTreeListCtrl::ChooseEditor(model::TreeItem row, int column, const std::string& cellText) {
  TreeList::EditorRequest request = MakeEditorRequest(row, column, cellText);
  request.readingsLocked = TreeList::LocksPolledReadings(App().DeviceModel());
  return TreeList::ChooseEditor(request);
}

bool CPelmTreeListCtrl::KeepsColumn1(model::TreeItem row) {
  return dynamic_cast<Elements::NetRS485prg*>(GetItemObject(ParentItem(row))) != nullptr;
}

void CPelmTreeListCtrl::OnStateImageClick(model::TreeItem row) { PollSwitch(*rows_, row); }

void CPelmTreeListCtrl::OnItemExpanding(model::TreeItem row) { ExpandRows(*rows_, row, &document_); }

void CPelmTreeListCtrl::OnRightClick(model::TreeItem row, const QPoint& globalPos) {
  // The base has selected the row under the cursor; its object becomes current.
  const model::TreeItem selected = row != model::kNoItem ? row : SelectedItem();
  CObject* object = selected != model::kNoItem ? GetItemObject(selected) : nullptr;
  document_.selected = object;
  const RowPopup popup = ChoosePopup(object, document_.scannersBranch);
  if (popup == RowPopup::None) return;
  const int command = runPopup ? runPopup(PopupItems(popup, object), globalPos) : 0;
  if (command != 0) OnCommand(command);
}

bool CPelmTreeListCtrl::OnCommand(int command) {
  switch (command) {
    case kCmdReadParameter:
    case kCmdWriteParameter:
    case kCmdSetNoData: RunParameterCommand(document_, command); return true;
    case kCmdReadBranchRows:
    case kCmdWriteBranchRows:
    case kCmdWriteChangedBranchRows:
    case kCmdCompareBranchRows: RunBranchCommand(*rows_, document_, command); return true;
    default: return false;
  }
}
