#pragma once
// The parameter tree control as the view's and the control's plain logic use it:
// the rows the model inserts, plus reading cells, moving about, selecting,
// expanding and the state icon. The tree-list widget implements it; tests fake it.
// Every call comes on the window thread.
#include <string>

#include "model/TreeRows.h"

class PelmTreeRows : public model::TreeRows {
 public:
  // The cell's text; "" for a row without record or a column beyond its texts.
  virtual std::string GetItemText(model::TreeItem row, int column) = 0;
  virtual model::TreeItem GetParentItem(model::TreeItem row) = 0;
  virtual model::TreeItem GetPrevSiblingItem(model::TreeItem row) = 0;
  // The first top-level row; kNoItem while the control is empty.
  virtual model::TreeItem GetRootItem() = 0;
  virtual model::TreeItem GetSelectedItem() = 0;
  virtual void SelectItem(model::TreeItem row) = 0;
  virtual void Expand(model::TreeItem row) = 0;
  virtual int GetItemStateImage(model::TreeItem row) = 0;
  virtual void SetItemBold(model::TreeItem row, bool bold) = 0;
  // Like InsertItem, but as the first child of parent.
  virtual model::TreeItem InsertItemFirst(CObject* object, const std::string& text, int image, int selectedImage,
                                          model::TreeItem parent) = 0;
};
