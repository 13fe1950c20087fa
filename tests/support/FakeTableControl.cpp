#include "support/FakeTableControl.h"

#include <algorithm>

int FakeTableControl::InsertColumn(int column, const std::string& heading, int format, int width) {
  const int at = std::clamp(column, 0, static_cast<int>(columns.size()));
  columns.insert(columns.begin() + at, Column{heading, format, width});
  for (auto& r : rows)
    if (static_cast<int>(r.texts.size()) > at) r.texts.insert(r.texts.begin() + at, std::string());
  return at;
}

int FakeTableControl::InsertItem(int row, const std::string& text) {
  if (row < 0) return -1;
  const int at = std::min(row, static_cast<int>(rows.size()));
  Row r;
  r.texts.assign(std::max<size_t>(columns.size(), 1), std::string());
  r.texts[0] = text;
  rows.insert(rows.begin() + at, std::move(r));
  return at;
}

bool FakeTableControl::SetItemText(int row, int column, const ValueText& text) {
  if (!ValidRow(row) || column < 0 || column >= static_cast<int>(columns.size())) return false;
  auto& texts = rows[row].texts;
  if (texts.size() <= static_cast<size_t>(column)) texts.resize(column + 1);
  texts[column] = text;
  return true;
}

void FakeTableControl::EnsureRecord(Row& row) {
  if (row.objects.size() < columns.size()) row.objects.resize(columns.size(), nullptr);
  if (row.flags.size() < columns.size()) row.flags.resize(columns.size(), 0);
}

bool FakeTableControl::SetCell(int row, int column, CObject* object, std::uint16_t flags) {
  if (!ValidRow(row) || column < -1 || column >= static_cast<int>(columns.size())) return false;
  Row& r = rows[row];
  EnsureRecord(r);
  for (size_t c = 0; c < columns.size(); ++c) {
    if (column >= 0 && static_cast<size_t>(column) != c) continue;
    r.objects[c] = object;
    r.flags[c] = flags;
  }
  return true;
}

bool FakeTableControl::SetFlags(int row, int column, std::uint16_t value, std::uint16_t mask) {
  if (!ValidRow(row) || column < -1 || column >= static_cast<int>(columns.size())) return false;
  Row& r = rows[row];
  EnsureRecord(r);
  for (size_t c = 0; c < columns.size(); ++c) {
    if (column >= 0 && static_cast<size_t>(column) != c) continue;
    r.flags[c] = static_cast<std::uint16_t>((r.flags[c] & ~mask) | value);
  }
  return true;
}

bool FakeTableControl::AutoSizeColumns(const std::vector<int>* widths) {
  autoSizeCalls.push_back(widths ? *widths : std::vector<int>());
  return notAllFit;
}

std::vector<std::string> FakeTableControl::Headings() const {
  std::vector<std::string> out;
  for (const auto& c : columns) out.push_back(c.heading);
  return out;
}

std::vector<std::string> FakeTableControl::ColumnTexts(size_t column) const {
  std::vector<std::string> out;
  for (const auto& r : rows) out.push_back(r.Text(column));
  return out;
}
