#include "controls/core/TableCells.h"

#include <algorithm>

#include "devices/TableControl.h"
#include "model/CObject.h"

namespace myClass::table {

TableCells::~TableCells() { Clear(); }

void TableCells::InsertRow(int row) {
  const int at = std::clamp(row, 0, RowCount());
  rows_.insert(rows_.begin() + at, nullptr);
}

void TableCells::RemoveRow(int row) {
  if (row < 0 || row >= RowCount()) return;
  std::vector<std::unique_ptr<Record>> gone;
  gone.push_back(std::move(rows_[row]));
  rows_.erase(rows_.begin() + row);
  ReleaseOwned(std::move(gone));
}

void TableCells::Clear() {
  std::vector<std::unique_ptr<Record>> gone = std::move(rows_);
  rows_.clear();
  ReleaseOwned(std::move(gone));
}

TableCells::Record* TableCells::RecordOf(int row) const {
  if (row < 0 || row >= RowCount()) return nullptr;
  return rows_[row].get();
}

bool TableCells::HasRecord(int row) const { return RecordOf(row) != nullptr; }

bool TableCells::Referenced(const CObject* object) const {
  for (const auto& r : rows_)
    if (r && std::find(r->cells.begin(), r->cells.end(), object) != r->cells.end()) return true;
  return false;
}

void TableCells::ReleaseOwned(std::vector<std::unique_ptr<Record>> gone) {
  std::vector<CObject*> owned;
  for (const auto& r : gone) {
    if (!r) continue;
    for (size_t c = 0; c < r->cells.size(); ++c) {
      CObject* object = r->cells[c];
      if (object && c < r->flags.size() && (r->flags[c] & TableControl::kCellOwnsObject) &&
          std::find(owned.begin(), owned.end(), object) == owned.end())
        owned.push_back(object);
    }
  }
  for (CObject* object : owned)
    if (!Referenced(object)) delete object;
}

bool TableCells::SetCell(int row, int column, int columnCount, CObject* object, std::uint16_t flags) {
  if (row < 0 || row >= RowCount() || column < -1 || column >= columnCount) return false;
  auto& record = rows_[row];
  if (!record) record = std::make_unique<Record>();
  const size_t count = static_cast<size_t>(std::max(columnCount, 0));
  if (record->cells.size() < count) record->cells.resize(count, nullptr);
  if (record->flags.size() < count) record->flags.resize(count, 0);
  // An owned object that no cell holds any more is released here, not leaked.
  auto replaced = std::make_unique<Record>();
  for (size_t c = 0; c < count; ++c) {
    if (column >= 0 && static_cast<size_t>(column) != c) continue;
    if (record->cells[c] != object) {
      replaced->cells.push_back(record->cells[c]);
      replaced->flags.push_back(record->flags[c]);
    }
    record->cells[c] = object;
    record->flags[c] = flags;
  }
  std::vector<std::unique_ptr<Record>> gone;
  gone.push_back(std::move(replaced));
  ReleaseOwned(std::move(gone));
  return true;
}

CObject* TableCells::GetCell(int row, int column) const {
  const Record* r = RecordOf(row);
  if (!r || column < 0 || column >= static_cast<int>(r->cells.size())) return nullptr;
  return r->cells[column];
}

std::vector<CObject*> TableCells::GetRowCells(int row) const {
  const Record* r = RecordOf(row);
  return r ? r->cells : std::vector<CObject*>();
}

std::uint16_t TableCells::GetFlags(int row, int column) const {
  const Record* r = RecordOf(row);
  if (!r) return 0;
  if (column < 0) {
    std::uint16_t all = 0;
    for (std::uint16_t f : r->flags) all |= f;
    return all;
  }
  return column < static_cast<int>(r->flags.size()) ? r->flags[column] : 0;
}

bool TableCells::SetFlags(int row, int column, int columnCount, std::uint16_t value, std::uint16_t mask) {
  Record* r = RecordOf(row);
  if (!r || column < -1 || column >= columnCount) return false;
  if (r->flags.size() < static_cast<size_t>(columnCount)) r->flags.resize(columnCount, 0);
  bool changed = false;
  for (size_t c = 0; c < r->flags.size(); ++c) {
    if (column >= 0 && static_cast<size_t>(column) != c) continue;
    const auto next = static_cast<std::uint16_t>((r->flags[c] & ~mask) | value);
    if (next != r->flags[c]) {
      r->flags[c] = next;
      changed = true;
    }
  }
  return changed;
}

bool TableCells::SetRowColor(int row, std::uint32_t colour) {
  Record* r = RecordOf(row);
  if (!r) return false;
  r->colour = colour;
  return true;
}

std::uint32_t TableCells::RowColor(int row) const {
  const Record* r = RecordOf(row);
  return r ? r->colour : 0;
}

}  // namespace myClass::table
