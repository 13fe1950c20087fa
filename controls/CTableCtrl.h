#pragma once
// The table control: a report list whose cells carry an object (as a rule a
// Parameter) and 16-bit flags that decide colour, focus, editing and push-button
// cells. Cells are edited in place with a number edit box or a drop-down list,
// chosen by the parameter's type. Owners derive from it and override the hooks.
// Window thread only.
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QTableView>
#include <cstdint>
#include <string>
#include <vector>

#include "controls/core/TableCells.h"
#include "devices/TableControl.h"

class CObject;
class Parameter;
class QLabel;
class QStandardItemModel;

namespace myClass {

// The number edit box: Enter hands the text over, Escape drops it; both move the
// focus back to the table, whose loss-of-focus handling ends the editing.
class CmyEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit CmyEdit(QWidget* parent);
  ~CmyEdit() override;

  // Places the box over rect with the table's font; with a range tip that tells the
  // parameter's limits. Sets the commit flag.
  virtual bool Create(const QRect& rect, QWidget* owner, int id, const Parameter* parameter, bool showRangeTip);
  // Hides the box; the range tip goes first.
  void Close();
  bool commit = true;
  // The tip while it exists (null without one).
  QLabel* RangeTip() const { return tip_; }
  QString RangeTipTitle() const { return tipTitle_; }
  QString RangeTipText() const { return tipText_; }

 signals:
  void focusLost();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  void PlaceTip();
  QWidget* owner_ = nullptr;
  QLabel* tip_ = nullptr;
  bool tipOver_ = false;  // its showing time is up
  QString tipTitle_;
  QString tipText_;
};

// The drop-down list: the arrow keys, Home, End and typed letters only change the
// shown item; a click in the open list, Enter, Tab or a click elsewhere end the
// editing with the shown item; Escape ends it without a change. The list opens by
// a click on its arrow, F4 or Alt+Down.
class CmyComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit CmyComboBox(QWidget* parent);

 signals:
  // The editing ends with this item.
  void chosen(int item);
  // The focus went elsewhere (a click) while the box showed this item (-1: none).
  void left(int item);
  void cancelled();

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  bool moving_ = false;  // the closed box's own keys change the shown item
};

class CTableCtrl : public QTableView, public TableControl {
  Q_OBJECT

 public:
  // The item role that holds whether a cell's value has no data.
  static constexpr int kNoDataRole = Qt::UserRole + 1;
  static constexpr int kEditId = 106;
  static constexpr int kListId = 105;

  explicit CTableCtrl(QWidget* parent = nullptr);
  ~CTableCtrl() override;

  // TableControl.
  void SetExtendedStyle(unsigned style) override;
  int GetClientWidth() override;
  int InsertColumn(int column, const std::string& heading, int format, int width) override;
  int InsertItem(int row, const std::string& text) override;
  bool SetItemText(int row, int column, const ValueText& text) override;
  bool SetCell(int row, int column, CObject* object, std::uint16_t flags) override;
  bool SetFlags(int row, int column, std::uint16_t value, std::uint16_t mask) override;
  bool AutoSizeColumns(const std::vector<int>* widths) override;

  CObject* GetCell(int row, int column) const;
  void GetRowCells(int row, std::vector<CObject*>& cells) const;
  // For column -1 the OR of the row's flags; 0 when the list has no rows.
  std::uint16_t GetFlags(int row, int column) const;
  void SetRowColor(int row, std::uint32_t colour);
  std::string GetItemText(int row, int column) const;
  int GetItemCount() const;
  int GetColumnCount() const;
  // Removing rows frees their records (and the objects their cells own).
  bool DeleteItem(int row);
  void DeleteAllItems();
  // The first selected row, -1 when none.
  int GetSelectedRow() const;
  // The row with the list's focus, -1 when none.
  int GetFocusRow() const;
  void SetRowHeight(int pixels);
  // Column 0 is drawn left-aligned with an ellipsis, unless a table of numbers
  // asks for it centred like the others.
  void SetCentredFirstColumn(bool centred) { centredFirstColumn_ = centred; }
  // Height for min(rows, 16) rows, the header and 10 pixels; the width stays.
  void FitHeightToRows();
  // The width a column needs to show its caption and every cell's text whole.
  int ContentWidth(int column) const;
  // The table's width for its columns (and the scroll bar when the rows need
  // one); the height stays. Owners that can make room call it after the columns
  // were sized.
  void FitWidthToColumns();

  // Opens the cell's editor when its row and flags allow.
  virtual void BeginEdit(int row, int column);
  int EditRow() const { return editRow_; }
  int EditColumn() const { return editColumn_; }
  // Closes an open editor without handing its text over, as Escape does.
  void DropEditors();
  // The open editors (null while closed).
  CmyEdit* EditBox() const { return edit_; }
  CmyComboBox* ListBox() const { return list_; }

  // Hooks.
  virtual void OnButtonCell(int row, int column);
  virtual void OnBeginEdit(CObject* object);
  virtual void OnEndEdit(const std::string& text);
  // The editing ended without a text handed over (Escape, an untouched "Н/Д", a
  // list closed without a choice, or the editor dropped for another one).
  virtual void OnCancelEdit();
  virtual int SetCellText(int row, int column, const std::string& text);

  // Drawing of one cell (the delegate calls it).
  void PaintCell(QPainter* painter, const QRect& rect, int row, int column) const;

 protected:
  virtual void DrawButtonCell(QPainter* painter, const QRect& rect, int row, int column, const QString& text) const;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void focusInEvent(QFocusEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  bool RowDisabled(int row) const;
  int AllowedRow(int requested) const;
  void UpdateRow(int row);
  void CloseEditors();
  // Makes the editor (null: none) the scroll bars' focus proxy.
  void KeepFocusOnBars(QWidget* editor);
  void EndEditBox();
  void EndList(int item);
  void CancelList();
  void LeaveList(int item);

  QStandardItemModel* model_ = nullptr;
  table::TableCells cells_;
  std::vector<int> widths_;
  int editRow_ = -1;
  int editColumn_ = -1;
  int pressedRow_ = -1;
  int pressedColumn_ = -1;
  int focusRow_ = -1;
  bool editCellNoData_ = false;  // the edited cell shows a value with no data
  QPointer<CmyEdit> edit_;
  QPointer<CmyComboBox> list_;
  int listStart_ = -1;  // the item the list showed when it opened
  bool ending_ = false;
  bool centredFirstColumn_ = false;
};

}  // namespace myClass
