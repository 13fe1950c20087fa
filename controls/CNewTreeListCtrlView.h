#pragma once
// The view that hosts the tree-list control with its header, a horizontal scroll
// bar of its own (6-pixel steps) and a tooltip. The columns may be wider than the
// window; the view scrolls the tree and its header sideways.
#include <QPixmap>
#include <QVector>
#include <QWidget>

#include "controls/core/TreeListRules.h"

class QScrollBar;

namespace TreeList {

class CTreeListCtrl;
class CTreeToolTipCtrl;

class CNewTreeListCtrlView : public QWidget {
  Q_OBJECT

 public:
  // tree: the control to host (the parameter tree); null hosts a plain control.
  explicit CNewTreeListCtrlView(QWidget* parent = nullptr, CTreeListCtrl* tree = nullptr);
  ~CNewTreeListCtrlView() override;

  // Builds the children: header, marks, tree, scroll bar, images, tooltip, grid.
  void Create();
  bool IsCreated() const { return created_; }

  CTreeListCtrl* Tree() const { return tree_; }
  QScrollBar* HorizontalBar() const { return bar_; }
  CTreeToolTipCtrl* ToolTip() const { return toolTip_; }

  // Places the tree and the scroll bar for the current column widths.
  void UpdateLayout();
  // A request of the horizontal scroll bar (thumb: the dragged position).
  void Scroll(ScrollRequest request, int thumb = 0);
  // The sorting of a header click: marks, then the whole tree.
  void OnHeaderItemClick(int column);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void OnColumnResized();

  CTreeListCtrl* tree_;
  QScrollBar* bar_ = nullptr;
  CTreeToolTipCtrl* toolTip_ = nullptr;
  QVector<QPixmap> rowImages_;
  QVector<QPixmap> stateImages_;
  QVector<QPixmap> markImages_;
  bool created_ = false;
  bool placing_ = false;
};

}  // namespace TreeList
