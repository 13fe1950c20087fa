#pragma once
// The document's one view: the parameter tree with the program's six columns, the
// configuration row with the device parameters and the polled parameters under
// it, the start of the link's threads, the refresh after document changes, the
// display of poll results, the navigation to problem parameters and the branch
// commands.
//
// What the main window does with it:
// - construct it with the document (which must outlive it) and make it the
//   central widget; the constructor builds the children and the columns and
//   receives the poll results from then on;
// - forward the document's DocumentViews calls to it (or make it the document's
//   DocumentViews with CPelmDoc::SetViews, and clear that before the view goes);
//   UpdateAllViews fills the rows once the document has its tree (the first time,
//   and again after the tree was replaced), and refreshes them otherwise;
// - route the commands 276, 277 and 279-282 (and, from its own menus, 32808,
//   32809, 32811) to OnCommand. The HTML export 32804 is the main window's own.
#include <memory>

#include "app/DocumentViews.h"
#include "app/TreeViewRows.h"
#include "controls/CNewTreeListCtrlView.h"

class CPelmDoc;
class CPelmTreeListCtrl;

class CPelmTreeListView : public TreeList::CNewTreeListCtrlView, public DocumentViews {
  Q_OBJECT

 public:
  CPelmTreeListView(CPelmDoc& document, QWidget* parent = nullptr);
  ~CPelmTreeListView() override;

  CPelmTreeListCtrl* PelmTree() const { return tree_; }
  CPelmDoc& Document() { return document_; }
  // The rows built by the last fill (empty ones while the control is empty).
  const ViewRows& BuiltRows() const { return built_; }

  // Fills an empty control from the document's tree and starts the link's threads.
  void OnInitialUpdate();
  // Refreshes the texts and colours of every row.
  void OnUpdate();
  // 276/277 problem navigation, 279-282 branch commands, 32808/32809/32811 the
  // parameter commands. False for any other id.
  bool OnCommand(int command);
  // Shows the queued poll results (posted by the polling thread).
  void OnPollResults();

  // DocumentViews.
  void UpdateAllViews() override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void DeleteTreeRows() override;
  bool RunConnectionSetup(Device& link) override;
  bool RunApplyDialog(CPelmDoc& document) override;

 private:
  class PollPoster;

  CPelmDoc& document_;
  CPelmTreeListCtrl* tree_;
  ViewRows built_;
  bool initialUpdateDone_ = false;
  int waitCursors_ = 0;
  std::unique_ptr<PollPoster> poster_;
};
