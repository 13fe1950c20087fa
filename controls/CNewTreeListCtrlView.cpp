#include "controls/CNewTreeListCtrlView.h"

#include <QContextMenuEvent>
#include <QScrollBar>

#include "controls/CTreeListCtrl.h"
#include "controls/CTreeListHeaderCtrl.h"
#include "controls/TreeListImages.h"

namespace TreeList {

namespace {
constexpr model::ColorRef kGridColour = 0xC8C8C8;
}

CNewTreeListCtrlView::CNewTreeListCtrlView(QWidget* parent, CTreeListCtrl* tree)
    : QWidget(parent), tree_(tree ? tree : new CTreeListCtrl) {
  tree_->setParent(this);
}

CNewTreeListCtrlView::~CNewTreeListCtrlView() = default;

void CNewTreeListCtrlView::Create() {
  if (created_) return;
  tree_->Header()->setObjectName("header-337");
  markImages_ = MakeMarkImages();
  tree_->Header()->SetMarkImages(&markImages_);
  tree_->setObjectName("tree-373");
  tree_->show();
  bar_ = new QScrollBar(Qt::Horizontal, this);
  bar_->setObjectName("hscroll-377");
  bar_->setFocusPolicy(Qt::NoFocus);  // as the tree's own bar: an open editor keeps the focus
  bar_->setEnabled(false);
  bar_->setSingleStep(kScrollStep);
  tree_->SortTree(0, true);

  rowImages_ = MakeRowImages();
  stateImages_ = MakeStateImages();
  tree_->SetImageList(&rowImages_);
  tree_->SetStateImageList(&stateImages_);
  toolTip_ = new CTreeToolTipCtrl(this);
  toolTip_->AddTool(tree_, "whatever", 1500);

  // Every request of the bar goes through the view's own steps.
  connect(bar_, &QScrollBar::actionTriggered, this, [this](int action) {
    ScrollRequest request = ScrollRequest::Thumb;
    switch (action) {
      case QAbstractSlider::SliderSingleStepSub: request = ScrollRequest::LineLeft; break;
      case QAbstractSlider::SliderSingleStepAdd: request = ScrollRequest::LineRight; break;
      case QAbstractSlider::SliderPageStepSub: request = ScrollRequest::PageLeft; break;
      case QAbstractSlider::SliderPageStepAdd: request = ScrollRequest::PageRight; break;
      case QAbstractSlider::SliderToMinimum: request = ScrollRequest::LeftEnd; break;
      case QAbstractSlider::SliderToMaximum: request = ScrollRequest::RightEnd; break;
      case QAbstractSlider::SliderMove: request = ScrollRequest::Thumb; break;
      default: return;
    }
    bar_->setSliderPosition(HorizontalScrollTarget(request, bar_->value(), bar_->maximum(),
                                                   tree_->viewport()->width(), bar_->sliderPosition()));
  });
  connect(bar_, &QScrollBar::valueChanged, tree_->horizontalScrollBar(), &QScrollBar::setValue);
  connect(tree_->horizontalScrollBar(), &QScrollBar::valueChanged, bar_, &QScrollBar::setValue);
  connect(tree_->horizontalScrollBar(), &QScrollBar::rangeChanged, this, [this] { UpdateLayout(); });
  connect(tree_, &CTreeListCtrl::layoutRequested, this, &CNewTreeListCtrlView::UpdateLayout);
  connect(tree_->Header(), &QHeaderView::sectionClicked, this, &CNewTreeListCtrlView::OnHeaderItemClick);
  connect(tree_->Header(), &QHeaderView::sectionResized, this, [this] { OnColumnResized(); });

  created_ = true;
  tree_->SetGridLines(true);
  tree_->SetGridColour(kGridColour);
  UpdateLayout();
}

void CNewTreeListCtrlView::UpdateLayout() {
  if (!created_ || placing_) return;
  placing_ = true;
  const int total = tree_->TotalWidth();
  const int barHeight = bar_->sizeHint().height();
  const QScrollBar* vertical = tree_->verticalScrollBar();
  const int verticalWidth = vertical->isVisible() ? vertical->width() : 0;
  // The tree's client width at the view's full width, without resizing it to find out.
  const int client = width() - 2 * tree_->frameWidth() - verticalWidth;
  if (client < total) {
    tree_->setGeometry(0, 0, width(), height() - barHeight);
    bar_->setGeometry(0, height() - barHeight, width() - verticalWidth, barHeight);
    bar_->setRange(0, total - client);
    bar_->setPageStep(client);
    bar_->setEnabled(true);
    bar_->show();
  } else {
    tree_->setGeometry(0, 0, width(), height());
    bar_->setRange(0, 0);
    bar_->setEnabled(false);
    bar_->hide();
    tree_->viewport()->update();
  }
  tree_->horizontalScrollBar()->setValue(bar_->value());
  placing_ = false;
}

void CNewTreeListCtrlView::Scroll(ScrollRequest request, int thumb) {
  bar_->setValue(
      HorizontalScrollTarget(request, bar_->value(), bar_->maximum(), tree_->viewport()->width(), thumb));
}

void CNewTreeListCtrlView::OnHeaderItemClick(int column) {
  CTreeListHeaderCtrl* header = tree_->Header();
  const bool ascending = ClickSortsAscending(header->GetSortMark(column));
  for (int i = 0; i < tree_->GetColumnCount(); ++i) header->SetSortMark(i, kNoMark);
  header->SetSortMark(column, ascending ? kMarkAscending : kMarkDescending);
  tree_->SortTree(column, ascending);
  tree_->viewport()->update();
}

void CNewTreeListCtrlView::OnColumnResized() {
  tree_->RecalcTotalWidth();
  UpdateLayout();
  tree_->viewport()->update();
}

void CNewTreeListCtrlView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  UpdateLayout();
}

void CNewTreeListCtrlView::contextMenuEvent(QContextMenuEvent* event) {
  // The window that holds the view decides the menu.
  event->ignore();
}

}  // namespace TreeList
