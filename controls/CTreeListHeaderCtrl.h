#pragma once
// The column header of the tree-list control: owner-drawn items that show a sort
// mark (image 0 ascending, 1 descending) beside the caption. A press on it discards
// the control's open editors before the header reacts.
#include <QHeaderView>
#include <QPixmap>
#include <QVector>
#include <map>

namespace TreeList {

class CTreeListCtrl;

class CTreeListHeaderCtrl : public QHeaderView {
  Q_OBJECT

 public:
  explicit CTreeListHeaderCtrl(QWidget* parent = nullptr);

  void SetTree(CTreeListCtrl* tree) { tree_ = tree; }
  // mark: -1 none, 0 ascending, 1 descending.
  void SetSortMark(int column, int mark);
  int GetSortMark(int column) const;
  // The images of the marks (not owned); returns the previous list.
  const QVector<QPixmap>* SetMarkImages(const QVector<QPixmap>* images);
  // Keeps the marks with their columns when a column is inserted before them.
  void InsertedColumn(int index);
  // The width an item needs to show its caption whole, with room for a sort mark.
  int CaptionWidth(const QString& caption) const;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

 private:
  CTreeListCtrl* tree_ = nullptr;
  const QVector<QPixmap>* markImages_ = nullptr;
  std::map<int, int> marks_;
};

// The host view's tooltip: one tool (the tree) with a fixed text; a left click on
// the tool hides the tip.
class CTreeToolTipCtrl : public QObject {
  Q_OBJECT

 public:
  explicit CTreeToolTipCtrl(QObject* parent = nullptr) : QObject(parent) {}
  void AddTool(QWidget* tool, const QString& text, int delayMs);
  void Pop();
  QString ToolText() const { return text_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* tool_ = nullptr;
  QString text_;
  int delayMs_ = 0;
};

}  // namespace TreeList
