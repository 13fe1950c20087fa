#pragma once
// One table of the input/output state dialog: the device model fills its rows,
// each bound to a parameter (the object of column 0). A button cell resets the
// row's counter, an edited value is written to the module at once, and while a
// row is being edited the dialog's worker leaves it alone (the row's edit mark).
#include <atomic>
#include <functional>
#include <string>

#include "controls/CTableCtrl.h"

namespace model {
class LinkOps;
}

namespace myClass {

class CStateTableCtrl : public CTableCtrl {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 20;

  explicit CStateTableCtrl(QWidget* parent);

  // Where the writes go (null while there is no link) and the edit mark of a row
  // (null beyond the rows).
  void Attach(std::function<model::LinkOps*()> link, std::function<std::atomic<bool>*(int row)> mark);

  // The object of a row's first cell, or null.
  CObject* RowObject(int row) const { return GetCell(row, 0); }

  void OnButtonCell(int row, int column) override;
  void OnBeginEdit(CObject* object) override;
  void OnEndEdit(const std::string& text) override;
  void OnCancelEdit() override;

 private:
  std::atomic<bool>* Mark(int row) const;

  std::function<model::LinkOps*()> link_;
  std::function<std::atomic<bool>*(int)> mark_;
  // The row whose mark the open editor holds; -1 when none.
  int markedRow_ = -1;
};

}  // namespace myClass
