#pragma once
// The multi-column tree: one record (CTLItem) per row with the texts of all columns,
// painted by the control's own delegate under its owner-drawn header. It is the
// window layer's implementation of the model's tree rows, so the elements and
// branches insert their rows through it. The parameter tree derives from it and
// overrides the editor choice, the end of editing and the clicks.
#include <QTreeWidget>
#include <QVector>
#include <QPixmap>
#include <string>
#include <unordered_map>
#include <vector>

#include "controls/core/CTLItem.h"
#include "controls/core/EditorChoice.h"
#include "model/TreeRows.h"

namespace TreeList {

class CTreeListEditBox;
class CTreeListComboBox;
class CTreeListHeaderCtrl;
class RowItem;

using ImageList = QVector<QPixmap>;

// The end of one in-place editing as the editor reports it.
struct EditEnd {
  model::TreeItem row = model::kNoItem;
  int column = 0;
  std::string text;
  bool hasText = true;
  bool cancelled = false;  // Escape: the cell keeps its text
  bool endedByTab = false;
};

class CTreeListCtrl : public QTreeWidget, public model::TreeRows {
  Q_OBJECT

 public:
  explicit CTreeListCtrl(QWidget* parent = nullptr);
  ~CTreeListCtrl() override;

  // Columns. alignment: 0 left, 1 right, 2 centre; width -1 keeps the default.
  int InsertColumn(int index, const QString& text, int alignment, int width);
  int GetColumnCount() const { return columnCount_; }
  int GetColumnWidth(int i) const;
  int GetColumnAlignment(int i) const;
  void RecalcTotalWidth();
  int TotalWidth() const { return totalWidth_; }
  CTreeListHeaderCtrl* Header() const { return header_; }

  // Rows. parent kNoItem: the top level. Null on failure.
  model::TreeItem InsertItem(const std::string& text, int image, int selectedImage, bool editByText, bool editByList,
                             model::TreeItem parent);
  model::TreeItem InsertItemFast(CObject* object, const std::string& text, int image, int selectedImage,
                                 bool editByText, bool editByList, model::TreeItem parent);
  // Like InsertItemFast, but as the first child of parent: a heading row, which
  // stays first whatever the rows are sorted by.
  model::TreeItem InsertItemFirst(CObject* object, const std::string& text, int image, int selectedImage,
                                  model::TreeItem parent);
  // Removes the row with everything beneath it; false for a row without record.
  bool DeleteItem(model::TreeItem row);
  // Removes the rows beneath the row; true when any removal failed.
  bool DeleteChildren(model::TreeItem row);
  // Discards open editors without storing their text, then removes every row.
  void DeleteAllItems();
  int RowCount() const { return rowCount_; }

  // The model's tree rows.
  model::TreeItem InsertItem(CObject* object, const std::string& text, int image, int selectedImage,
                             model::RowEditor editor, model::TreeItem parent, bool fast) override;
  void SetItemTexts(model::TreeItem row, const std::string* text1, const std::string* text2, const std::string* text3,
                    const std::string* text4, const std::string* text5, model::ColorRef colour) override;
  void SetItemText(model::TreeItem row, int column, const std::string& text) override;
  void SetItemColor(model::TreeItem row, model::ColorRef colour) override { SetItemColor(row, colour, true); }
  void SetItemStateImage(model::TreeItem row, int image) override;
  void SetItemDisabled(model::TreeItem row, bool disabled) override { SetItemDisabled(row, disabled, true, false); }
  model::TreeItem GetChildItem(model::TreeItem row) override;
  model::TreeItem GetNextSiblingItem(model::TreeItem row) override;
  CObject* GetItemObject(model::TreeItem row) override;

  // Row attributes; false for a row without record.
  std::string GetItemText(model::TreeItem row, int column) const;
  bool SetItemObject(model::TreeItem row, CObject* object);
  bool SetItemDisabled(model::TreeItem row, bool disabled, bool redraw, bool recursive);
  bool SetItemColor(model::TreeItem row, model::ColorRef colour, bool redraw);
  bool SetItemBold(model::TreeItem row, bool bold, bool redraw);
  bool SetEditByText(model::TreeItem row, bool v);
  bool SetEditByList(model::TreeItem row, bool v);
  int GetItemStateImage(model::TreeItem row) const;
  const CTLItem* Record(model::TreeItem row) const;
  model::TreeItem ParentItem(model::TreeItem row) const;
  model::TreeItem PrevSiblingItem(model::TreeItem row) const;

  // The selected row (kNoItem: none); selecting a row also scrolls it into view.
  model::TreeItem SelectedItem() const;
  void SelectRow(model::TreeItem row);
  // Opens or closes a row from the program: unlike the user's opening, this does
  // not run OnItemExpanding.
  void ExpandRow(model::TreeItem row, bool expand);

  void SetGridLines(bool on);
  bool GetGridLines() const { return gridLines_; }
  void SetGridColour(model::ColorRef c);
  model::ColorRef GetGridColour() const { return gridColour_; }
  void SetGridStyle(int style) { gridStyle_ = style; }

  // Normal and state images of the rows (not owned).
  void SetImageList(const ImageList* images);
  void SetStateImageList(const ImageList* images);

  // The top level and the children of every row that has children.
  void SortTree(int column, bool ascending);

  // The row under the last click, or the selected row after a key.
  model::TreeItem CurrentRow() const { return current_; }
  model::TreeItem RowAt(const QPoint& viewportPoint) const;
  // The cell rectangle in viewport coordinates; for column 0 it starts at the label.
  QRect CellRect(model::TreeItem row, int column) const;
  // The state image's place in viewport coordinates (empty without state images).
  QRect StateImageRect(model::TreeItem row) const;

  // In-place editing at a viewport point of the current row.
  virtual void BeginEdit(int x, int y);
  // In-place editing of the current row from the keyboard: its value, or else the
  // first of its other cells that can be edited.
  void BeginEditByKey();
  // Destroys open editors without storing anything.
  virtual void CloseEditors();
  // Ends open editors through their end notification (their text is stored).
  void EndEditors();
  // EndEditors of every tree in the window: what a command does before it acts, so
  // that a value being typed is taken as Enter would take it.
  static void EndEditorsIn(const QWidget& window);
  // CloseEditors of every tree in the window: a close the program makes on its own
  // writes nothing a person typed and did not confirm.
  static void CloseEditorsIn(const QWidget& window);
  CTreeListEditBox* OpenEditBox() const { return editBox_; }
  CTreeListComboBox* OpenListEditor() const { return listEditor_; }

  // The end notifications: the base stores the text into the cell; the parameter tree
  // also commits it to the parameter.
  virtual void OnEndLabelEdit(const EditEnd& end);
  virtual void OnComboItemChanged(const EditEnd& end);

  // Painting helpers for the delegate.
  RowItem* RowOf(const QModelIndex& index) const;
  const ImageList* Images() const { return images_; }
  const ImageList* StateImages() const { return stateImages_; }
  int GridStyle() const { return gridStyle_; }

 signals:
  // The host view places the tree and its scroll bar again.
  void layoutRequested();

 protected:
  // Hooks that the parameter tree overrides.
  // The editor for a cell; the base knows no device model (no readings are locked).
  virtual EditorChoice ChooseEditor(model::TreeItem row, int column, const std::string& cellText);
  EditorRequest MakeEditorRequest(model::TreeItem row, int column, const std::string& cellText) const;
  // True when the row's column-1 text is not to be replaced by SetItemTexts (the rows
  // of the program's own port settings).
  virtual bool KeepsColumn1(model::TreeItem /*row*/) { return false; }
  // A click on a row's state image, delivered once, after the click's handling.
  virtual void OnStateImageClick(model::TreeItem row);
  // A right click (row may be kNoItem); the owner decides the menu.
  virtual void OnRightClick(model::TreeItem /*row*/, const QPoint& /*globalPos*/) {}
  // The user opened a row (its button, a key, a double click).
  virtual void OnItemExpanding(model::TreeItem /*row*/) {}

  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The width that shows the column's widest text of the shown rows whole (the
  // fit of a double click on the column's border). The texts are the records', not
  // the native items'.
  int sizeHintForColumn(int column) const override;

 private:
  RowItem* Row(model::TreeItem row) const;
  // Opens the cell's editor when the cell can be edited; false when it cannot.
  bool BeginEditCell(model::TreeItem row, int column);
  model::TreeItem Insert(CObject* object, const std::string& text, int image, int selectedImage, bool editByText,
                         bool editByList, model::TreeItem parent, bool first = false);
  void Forget(QTreeWidgetItem* item);  // unregisters the row and its descendants
  void Redraw(model::TreeItem row);
  // Puts open editors over their cells again.
  void PlaceEditors();

  CTreeListHeaderCtrl* header_;
  int columnCount_ = 0;
  int totalWidth_ = 0;
  int rowCount_ = 0;
  std::vector<int> alignments_;
  CTreeListEditBox* editBox_ = nullptr;
  CTreeListComboBox* listEditor_ = nullptr;
  bool gridLines_ = false;
  model::ColorRef gridColour_ = 0xE4E4E4;
  int gridStyle_ = 2;
  model::TreeItem current_ = model::kNoItem;
  bool expandingFromProgram_ = false;
  const ImageList* images_ = nullptr;
  const ImageList* stateImages_ = nullptr;
  std::unordered_map<model::TreeItem, RowItem*> rows_;
  model::TreeItem nextHandle_ = 1;
  // The order of the last sort, which the rows compare by.
  int sortColumn_ = 0;
  bool sortAscending_ = true;
  friend class RowItem;
};

// QColor of a COLORREF (0x00BBGGRR).
QColor ToQColor(model::ColorRef c);

}  // namespace TreeList
