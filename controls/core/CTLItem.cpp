#include "controls/core/CTLItem.h"

namespace TreeList {

CTLItem::CTLItem(const CTLItem& other)
    : CObject(other),
      object(other.object),
      mark(other.mark),
      bold(other.bold),
      disabled(other.disabled),
      colour(other.colour),
      texts_(other.texts_) {}

const std::string& CTLItem::GetText(int i) const {
  static const std::string kEmpty;
  return i >= 0 && i < TextCount() ? texts_[static_cast<size_t>(i)] : kEmpty;
}

void CTLItem::SetText(int i, std::string text) {
  if (i < 0) return;
  if (i >= TextCount()) texts_.resize(static_cast<size_t>(i) + 1);
  texts_[static_cast<size_t>(i)] = std::move(text);
}

}  // namespace TreeList
