#include "support/FakeTreeRows.h"

#include <algorithm>
#include <stdexcept>

model::TreeItem FakeTreeRows::InsertItem(CObject* object, const std::string& text, int image, int selectedImage,
                                         model::RowEditor editor, model::TreeItem parent, bool fast) {
  if (failInserts) return model::kNoItem;
  if (parent != model::kNoItem && !rows_.count(parent)) throw std::logic_error("insert under an unknown row");
  Row row;
  row.id = next_++;
  row.parent = parent;
  row.object = object;
  row.texts = {text};
  row.image = image;
  row.selectedImage = selectedImage;
  row.editor = editor;
  row.fast = fast;
  rows_[row.id] = row;
  if (parent == model::kNoItem)
    topLevel_.push_back(row.id);
  else
    rows_[parent].children.push_back(row.id);
  return row.id;
}

FakeTreeRows::Row& FakeTreeRows::At(model::TreeItem row) {
  auto it = rows_.find(row);
  if (it == rows_.end()) throw std::logic_error("no such row");
  return it->second;
}

const std::vector<model::TreeItem>& FakeTreeRows::Children(model::TreeItem row) {
  return row == model::kNoItem ? topLevel_ : At(row).children;
}

void FakeTreeRows::SetItemTexts(model::TreeItem row, const std::string* t1, const std::string* t2,
                                const std::string* t3, const std::string* t4, const std::string* t5,
                                model::ColorRef colour) {
  const std::string* texts[] = {t1, t2, t3, t4, t5};
  for (int i = 0; i < 5; ++i)
    if (texts[i]) SetItemText(row, i + 1, *texts[i]);
  At(row).colour = colour;
}

void FakeTreeRows::SetItemText(model::TreeItem row, int column, const std::string& text) {
  Row& r = At(row);
  if (r.texts.size() <= static_cast<size_t>(column)) r.texts.resize(static_cast<size_t>(column) + 1);
  r.texts[static_cast<size_t>(column)] = text;
}

void FakeTreeRows::SetItemColor(model::TreeItem row, model::ColorRef colour) { At(row).colour = colour; }

void FakeTreeRows::SetItemStateImage(model::TreeItem row, int image) { At(row).stateImage = image; }

void FakeTreeRows::SetItemDisabled(model::TreeItem row, bool disabled) { At(row).disabled = disabled; }

model::TreeItem FakeTreeRows::GetChildItem(model::TreeItem row) {
  const auto& c = Children(row);
  return c.empty() ? model::kNoItem : c.front();
}

model::TreeItem FakeTreeRows::GetNextSiblingItem(model::TreeItem row) {
  const auto& siblings = Children(At(row).parent);
  auto it = std::find(siblings.begin(), siblings.end(), row);
  if (it == siblings.end() || ++it == siblings.end()) return model::kNoItem;
  return *it;
}

CObject* FakeTreeRows::GetItemObject(model::TreeItem row) {
  auto it = rows_.find(row);
  return it == rows_.end() ? nullptr : it->second.object;
}
