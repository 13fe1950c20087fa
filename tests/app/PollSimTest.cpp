// The parameter tree's logic end to end against the simulated module: the view's
// rows, an edit written with "write changed", and a polled row updated live.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "SimDocumentTest.h"
#include "Simulator.h"
#include "TreeTestSupport.h"
#include "app/PollDrain.h"
#include "app/TreeCommit.h"
#include "app/TreeControlLogic.h"
#include "app/TreeViewRows.h"
#include "link/Device.h"
#include "link/PollWindow.h"
#include "platform/Prompter.h"
#include "support/FakePollWindow.h"
#include "support/FakeTaskWindow.h"

namespace {

using PollSimTest = SimDocumentTest<FakeViews>;

TEST_F(PollSimTest, ReadEditWriteChangedAndPoll) {
  ASSERT_NO_FATAL_FAILURE(StartModule(4));
  doc_ = std::make_unique<CPelmDoc>(&views_, true);
  doc_->GetDevice()->finishPauseMs = 0;
  ASSERT_TRUE(doc_->OnNewDocument());
  ASSERT_NE(doc_->scannersBranch, nullptr);
  // The model classes tell whether a model polls; this one does.
  App().SetDeviceModel(std::make_unique<StatusModel>());
  FakePollWindow window;

  FakePelmTreeRows rows;
  const ViewRows made = BuildViewRows(rows, *doc_);
  ASSERT_NE(made.polledParameters, model::kNoItem);
  EXPECT_TRUE(doc_->GetDevice()->ScanThreadRunning());
  EXPECT_TRUE(doc_->GetDevice()->TransmitThreadRunning());

  // Read all, then edit one value: green until "write changed" sends that frame only.
  ASSERT_TRUE(doc_->OnTreeTask(CPelmDoc::kCmdReadTree));
  { std::lock_guard wait(App().exchangeLock); }
  RefreshRows(rows, false);
  Parameter* edited = nullptr;
  ForEachParameter(*doc_->rootBranch, [&](Parameter& p) {
    if (!edited && p.writable && p.type == "int" && p.treeItem != model::kNoItem && p.owner == 0 &&
        !model::IsBaseNetworkParameter(p.name) && p.note.empty())
      edited = &p;
  });
  ASSERT_NE(edited, nullptr);
  const std::string typed = edited->value == "1" ? "0" : "1";
  DeviceEditLink link(doc_->GetDevice());
  CommitContext context{rows, doc_.get(), link};
  App().immediateWriting = false;
  ASSERT_EQ(CommitEdit(context, edited->treeItem, 2, rows.Text(edited->treeItem, 2), typed), CommitOutcome::Taken)
      << prompter_.Texts();
  EXPECT_EQ(rows.At(edited->treeItem).colour, model::kChangedGreen);
  const size_t before = sim_->Requests().size();
  ASSERT_TRUE(doc_->OnTreeTask(CPelmDoc::kCmdWriteChangedTree));
  { std::lock_guard wait(App().exchangeLock); }
  std::vector<std::string> writes;
  const auto requests = sim_->Requests();
  for (size_t i = before; i < requests.size(); ++i)
    if (!requests[i].read) writes.push_back(requests[i].name);
  // The value's frame, with the attribute frame of the same parameter before it.
  ASSERT_FALSE(writes.empty());
  EXPECT_EQ(writes.back(), edited->name);
  for (const std::string& name : writes)
    EXPECT_TRUE(name == edited->name || name.ends_with(":" + edited->name)) << name;

  // Poll the first polled parameter of the module's own channel every 100 ms.
  Parameter* polled = nullptr;
  for (const auto& p : doc_->scannersBranch->children.empty() ? doc_->scannersBranch->parameters
                                                                : doc_->scannersBranch->children[0]->parameters)
    if (!polled && p->requestIndex == 0 && p->treeItem != model::kNoItem) polled = p.get();
  ASSERT_NE(polled, nullptr);
  ASSERT_EQ(CommitEdit(context, polled->treeItem, 1, rows.Text(polled->treeItem, 1), "100"), CommitOutcome::Taken);
  PollSwitch(rows, polled->treeItem);
  EXPECT_EQ(rows.GetItemStateImage(polled->treeItem), 3);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (App().pollResults.Size() < 2 && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_GE(window.posts.load(), 1);
  EXPECT_GE(DrainPollResults(App().pollResults, rows, doc_.get()), 2);
  EXPECT_EQ(rows.Text(polled->treeItem, 5), "");
  EXPECT_NE(rows.Text(polled->treeItem, 2), "");
  EXPECT_EQ(rows.At(polled->treeItem).colour, model::kBlack);

  // Closing the document stops the polling thread; nothing of the old tree stays queued.
  doc_.reset();
  EXPECT_EQ(App().pollResults.PopFront(), nullptr);
}

}  // namespace
