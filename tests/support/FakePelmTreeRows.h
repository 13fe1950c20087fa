#pragma once
// The parameter tree control's fake: the recording rows plus selection, expansion,
// bold rows and first-child insertion.
#include <set>

#include "app/PelmTreeRows.h"
#include "support/FakeTreeRows.h"

class FakePelmTreeRows : public PelmTreeRows {
 public:
  FakeTreeRows recorded;  // the rows themselves
  model::TreeItem selected = model::kNoItem;
  std::set<model::TreeItem> expanded, bold;

  FakeTreeRows::Row& At(model::TreeItem row) { return recorded.At(row); }
  std::string Text(model::TreeItem row, int column) { return recorded.At(row).Text(static_cast<size_t>(column)); }

  model::TreeItem InsertItem(CObject* object, const std::string& text, int image, int selectedImage,
                             model::RowEditor editor, model::TreeItem parent, bool fast) override {
    return recorded.InsertItem(object, text, image, selectedImage, editor, parent, fast);
  }
  void SetItemTexts(model::TreeItem row, const std::string* t1, const std::string* t2, const std::string* t3,
                    const std::string* t4, const std::string* t5, model::ColorRef colour) override {
    recorded.SetItemTexts(row, t1, t2, t3, t4, t5, colour);
  }
  void SetItemText(model::TreeItem row, int column, const std::string& text) override {
    recorded.SetItemText(row, column, text);
  }
  void SetItemColor(model::TreeItem row, model::ColorRef colour) override { recorded.SetItemColor(row, colour); }
  void SetItemStateImage(model::TreeItem row, int image) override { recorded.SetItemStateImage(row, image); }
  void SetItemDisabled(model::TreeItem row, bool disabled) override { recorded.SetItemDisabled(row, disabled); }
  model::TreeItem GetChildItem(model::TreeItem row) override { return recorded.GetChildItem(row); }
  model::TreeItem GetNextSiblingItem(model::TreeItem row) override { return recorded.GetNextSiblingItem(row); }
  CObject* GetItemObject(model::TreeItem row) override { return recorded.GetItemObject(row); }

  std::string GetItemText(model::TreeItem row, int column) override;
  model::TreeItem GetParentItem(model::TreeItem row) override;
  model::TreeItem GetPrevSiblingItem(model::TreeItem row) override;
  model::TreeItem GetRootItem() override;
  model::TreeItem GetSelectedItem() override { return selected; }
  void SelectItem(model::TreeItem row) override { selected = row; }
  void Expand(model::TreeItem row) override { expanded.insert(row); }
  int GetItemStateImage(model::TreeItem row) override { return recorded.At(row).stateImage; }
  void SetItemBold(model::TreeItem row, bool on) override;
  model::TreeItem InsertItemFirst(CObject* object, const std::string& text, int image, int selectedImage,
                                  model::TreeItem parent) override;
};
