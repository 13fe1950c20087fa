#pragma once
// The rows of a status word "Rd.St" as data: each row's caption (a string id),
// the bit it tests and its texts for the bit set and clear.
#include <span>
#include <string>

namespace BaseDevice {

struct StatusRow {
  int caption;
  unsigned bit;
  const char* set;
  const char* clear;
};

// The caption of the row, 0 beyond the last.
inline int StatusRowCaption(std::span<const StatusRow> rows, int row) {
  return row >= 0 && static_cast<size_t>(row) < rows.size() ? rows[static_cast<size_t>(row)].caption : 0;
}

// The row's text for the word; empty beyond the last row or without a word.
inline std::string StatusRowText(std::span<const StatusRow> rows, int row, const unsigned* word) {
  if (!word || row < 0 || static_cast<size_t>(row) >= rows.size()) return {};
  const StatusRow& r = rows[static_cast<size_t>(row)];
  return (*word & r.bit) ? r.set : r.clear;
}

}  // namespace BaseDevice
