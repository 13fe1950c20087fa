#pragma once
// The record of one tree-list row: the texts of all its columns, how it is painted
// and how its cells may be edited. The row shows an object of the model (not owned).
#include <cstdint>
#include <string>
#include <vector>

#include "model/CObject.h"
#include "model/TreeRows.h"

namespace TreeList {

class CTLItem : public CObject {
 public:
  CTLItem() = default;
  // Copies everything but the edit flags: a copied row is not editable until told.
  CTLItem(const CTLItem& other);
  CTLItem& operator=(const CTLItem&) = delete;

  // The text of column i; "" beyond the texts.
  const std::string& GetText(int i) const;
  // Grows the texts as needed.
  void SetText(int i, std::string text);
  int TextCount() const { return static_cast<int>(texts_.size()); }

  // The two edit flags exclude each other: setting one sets the other to its negation.
  void SetEditByText(bool v) { editByText_ = v, editByList_ = !v; }
  void SetEditByList(bool v) { editByList_ = v, editByText_ = !v; }
  bool EditByText() const { return editByText_; }
  bool EditByList() const { return editByList_; }

  CObject* object = nullptr;
  std::uint8_t mark = 0xB6;
  bool bold = false;
  bool disabled = false;
  model::ColorRef colour = model::kBlack;  // the window-text colour

 private:
  std::vector<std::string> texts_;
  bool editByText_ = false;
  bool editByList_ = false;
};

}  // namespace TreeList
