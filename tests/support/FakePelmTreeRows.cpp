#include "support/FakePelmTreeRows.h"

#include <algorithm>

std::string FakePelmTreeRows::GetItemText(model::TreeItem row, int column) {
  if (row == model::kNoItem || column < 0) return {};
  return recorded.At(row).Text(static_cast<size_t>(column));
}

model::TreeItem FakePelmTreeRows::GetParentItem(model::TreeItem row) {
  return row == model::kNoItem ? model::kNoItem : recorded.At(row).parent;
}

model::TreeItem FakePelmTreeRows::GetPrevSiblingItem(model::TreeItem row) {
  const auto& siblings = recorded.Children(recorded.At(row).parent);
  auto it = std::find(siblings.begin(), siblings.end(), row);
  if (it == siblings.end() || it == siblings.begin()) return model::kNoItem;
  return *(it - 1);
}

model::TreeItem FakePelmTreeRows::GetRootItem() { return recorded.GetChildItem(model::kNoItem); }

void FakePelmTreeRows::SetItemBold(model::TreeItem row, bool on) {
  if (on)
    bold.insert(row);
  else
    bold.erase(row);
}

model::TreeItem FakePelmTreeRows::InsertItemFirst(CObject* object, const std::string& text, int image,
                                                  int selectedImage, model::TreeItem parent) {
  const model::TreeItem row =
      recorded.InsertItem(object, text, image, selectedImage, model::RowEditor::None, parent, false);
  if (row == model::kNoItem || parent == model::kNoItem) return row;
  auto& children = recorded.At(parent).children;
  std::rotate(children.begin(), children.end() - 1, children.end());
  return row;
}
