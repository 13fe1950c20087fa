#pragma once
// The row records of the table control: per row the object and flags of each cell
// and the row's text colour. A row gets its record from the first SetCell; rows
// without one ignore flag and colour changes. Cells with the "owns its object"
// flag delete their object when their row goes or the table ends, each distinct
// object once, and only when no remaining cell still holds it.
#include <cstdint>
#include <memory>
#include <vector>

class CObject;

namespace myClass::table {

class TableCells {
 public:
  TableCells() = default;
  ~TableCells();
  TableCells(const TableCells&) = delete;
  TableCells& operator=(const TableCells&) = delete;

  int RowCount() const { return static_cast<int>(rows_.size()); }
  // A new row without a record at row (appended when beyond the last).
  void InsertRow(int row);
  // Frees the row's record (and the objects it owns).
  void RemoveRow(int row);
  void Clear();

  bool HasRecord(int row) const;
  // Sets object and flags of a cell, or of every one of columnCount cells for
  // column -1; creates the row's record. False for a row or column out of range.
  bool SetCell(int row, int column, int columnCount, CObject* object, std::uint16_t flags);
  // The cell's object, null beyond the row's cells or without a record.
  CObject* GetCell(int row, int column) const;
  std::vector<CObject*> GetRowCells(int row) const;
  // The cell's flags; for column -1 the OR of all cells; 0 without a record.
  std::uint16_t GetFlags(int row, int column) const;
  // flags := (flags & ~mask) | value for the cell or every cell (the flags grow to
  // columnCount first). True when a cell changed; nothing on a row without a record.
  bool SetFlags(int row, int column, int columnCount, std::uint16_t value, std::uint16_t mask);
  // False (and nothing done) on a row without a record.
  bool SetRowColor(int row, std::uint32_t colour);
  std::uint32_t RowColor(int row) const;

 private:
  struct Record {
    std::vector<CObject*> cells;
    std::vector<std::uint16_t> flags;
    std::uint32_t colour = 0;
  };
  Record* RecordOf(int row) const;
  bool Referenced(const CObject* object) const;
  // Deletes the owned objects of the records that went, unless still referenced.
  void ReleaseOwned(std::vector<std::unique_ptr<Record>> gone);

  std::vector<std::unique_ptr<Record>> rows_;  // null: no record yet
};

}  // namespace myClass::table
