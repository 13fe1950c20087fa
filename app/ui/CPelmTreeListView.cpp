#include "app/ui/CPelmTreeListView.h"

#include <QApplication>
#include <QThread>
#include <algorithm>

#include "app/CPelmDoc.h"
#include "app/PollDrain.h"
#include "app/TreeControlLogic.h"
#include "app/TreeNavigation.h"
#include "app/ui/CPelmTreeListCtrl.h"
#include "app/ui/CSetupCarrier.h"
#include "app/ui/ServiceDialogs.h"
#include "controls/CTreeListHeaderCtrl.h"
#include "link/AppState.h"
#include "link/PollWindow.h"
#include "resources/StringTable.h"

// Receives the polling thread's posts and queues the drain on the window thread.
class CPelmTreeListView::PollPoster : public exchange::PollWindow {
 public:
  explicit PollPoster(CPelmTreeListView* view) : view_(view) {}
  void PostPollResults() override {
    // Queued with the view as context: a view that is gone drops the call.
    QMetaObject::invokeMethod(view_, [view = view_] { view->OnPollResults(); }, Qt::QueuedConnection);
  }

 private:
  CPelmTreeListView* view_;
};

CPelmTreeListView::CPelmTreeListView(CPelmDoc& document, QWidget* parent)
    : CNewTreeListCtrlView(parent, new CPelmTreeListCtrl(document)),
      document_(document),
      tree_(static_cast<CPelmTreeListCtrl*>(Tree())) {
  Create();
  for (size_t i = 0; i < kViewColumns.size(); ++i) {
    const ViewColumn& column = kViewColumns[i];
    const QString caption = QString::fromStdString(resources::LoadString(column.titleId));
    // The designed width, or what the caption needs in the font it is drawn in.
    tree_->InsertColumn(static_cast<int>(i), caption, column.alignment,
                        std::max(column.width, tree_->Header()->CaptionWidth(caption)));
  }
  UpdateLayout();
  poster_ = std::make_unique<PollPoster>(this);
  exchange::SetPollWindow(poster_.get());
}

CPelmTreeListView::~CPelmTreeListView() {
  // Another view may have taken the poll results over since; that one stays.
  if (exchange::PollWindow* previous = exchange::SetPollWindow(nullptr); previous != poster_.get())
    exchange::SetPollWindow(previous);
  // The tree stays with the document: its parameters must not keep rows that go.
  ForgetTreeRows(document_.rootBranch);
  ForgetTreeRows(document_.scannersBranch);
  while (waitCursors_ > 0) EndWaitCursor();
}

void CPelmTreeListView::OnInitialUpdate() {
  initialUpdateDone_ = true;
  OnUpdate();
  if (tree_->Rows().GetRootItem() != model::kNoItem) return;
  built_ = BuildViewRows(tree_->Rows(), document_);
}

void CPelmTreeListView::OnUpdate() {
  BeginWaitCursor();
  RefreshRows(tree_->Rows(), App().showLinearIndexes);
  EndWaitCursor();
}

bool CPelmTreeListView::OnCommand(int command) {
  switch (command) {
    case kCmdPreviousProblem:
    case kCmdNextProblem:
      BeginWaitCursor();
      NavigateToProblem(tree_->Rows(), &document_, command == kCmdNextProblem);
      EndWaitCursor();
      return true;
    default: return tree_->OnCommand(command);
  }
}

void CPelmTreeListView::OnPollResults() { DrainPollResults(App().pollResults, tree_->Rows(), &document_); }

void CPelmTreeListView::UpdateAllViews() {
  // An empty control gets its rows: the first time, and after the tree was replaced.
  if (tree_->Rows().GetRootItem() == model::kNoItem)
    OnInitialUpdate();
  else
    OnUpdate();
}

void CPelmTreeListView::BeginWaitCursor() {
  if (QThread::currentThread() != thread()) return;
  QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  ++waitCursors_;
}

void CPelmTreeListView::EndWaitCursor() {
  if (QThread::currentThread() != thread() || waitCursors_ == 0) return;
  QApplication::restoreOverrideCursor();
  --waitCursors_;
}

void CPelmTreeListView::DeleteTreeRows() {
  // The document may have freed its tree already (then both branches are null):
  // the rows go without their objects being looked at.
  ForgetTreeRows(document_.rootBranch);
  ForgetTreeRows(document_.scannersBranch);
  tree_->DeleteAllItems();
  built_ = {};
}

bool CPelmTreeListView::RunConnectionSetup(Device& link) { return RunConnectionSetupDialog(link, this); }

bool CPelmTreeListView::RunApplyDialog(CPelmDoc& document) { return ::RunApplyDialog(document, this); }
