#pragma once
// A tree-row control that only records: every row with its object, texts,
// images, editor kind, colour, state image and disabled mark.
#include <map>
#include <string>
#include <vector>

#include "model/TreeRows.h"

class FakeTreeRows : public model::TreeRows {
 public:
  struct Row {
    model::TreeItem id = model::kNoItem;
    model::TreeItem parent = model::kNoItem;
    CObject* object = nullptr;
    std::vector<std::string> texts;  // column i at index i
    int image = -1;
    int selectedImage = -1;
    model::RowEditor editor = model::RowEditor::None;
    bool fast = false;
    model::ColorRef colour = 0;
    int stateImage = 0;
    bool disabled = true;  // cleared explicitly, so a test can see the clearing
    std::vector<model::TreeItem> children;

    std::string Text(size_t column) const { return column < texts.size() ? texts[column] : std::string(); }
  };

  // When set, the next insertions fail.
  bool failInserts = false;

  model::TreeItem InsertItem(CObject* object, const std::string& text, int image, int selectedImage,
                             model::RowEditor editor, model::TreeItem parent, bool fast) override;
  void SetItemTexts(model::TreeItem row, const std::string* text1, const std::string* text2,
                    const std::string* text3, const std::string* text4, const std::string* text5,
                    model::ColorRef colour) override;
  void SetItemText(model::TreeItem row, int column, const std::string& text) override;
  void SetItemColor(model::TreeItem row, model::ColorRef colour) override;
  void SetItemStateImage(model::TreeItem row, int image) override;
  void SetItemDisabled(model::TreeItem row, bool disabled) override;
  model::TreeItem GetChildItem(model::TreeItem row) override;
  model::TreeItem GetNextSiblingItem(model::TreeItem row) override;
  CObject* GetItemObject(model::TreeItem row) override;

  // The row (which must exist).
  Row& At(model::TreeItem row);
  // Top-level rows, or the children of a row, in order.
  const std::vector<model::TreeItem>& Children(model::TreeItem row);
  size_t RowCount() const { return rows_.size(); }

 private:
  std::map<model::TreeItem, Row> rows_;
  std::vector<model::TreeItem> topLevel_;
  model::TreeItem next_ = 100;
};
