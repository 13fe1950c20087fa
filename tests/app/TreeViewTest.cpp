// The view's rows, their refresh and the problem navigation.
#include <gtest/gtest.h>

#include "TreeTestSupport.h"
#include "app/CPelmDoc.h"
#include "app/TreeNavigation.h"
#include "app/TreeViewRows.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"

using resources::LoadString;

namespace {

class TreeViewTest : public DocumentTestBase {
 protected:
  void SetUp() override {
    DocumentTestBase::SetUp();
    document_.SetViews(&views_);
    document_.SetTitle("плита.z580");
  }
  void TearDown() override {
    document_.rootBranch = document_.scannersBranch = nullptr;
    App().SetDeviceModel(nullptr);
    DocumentTestBase::TearDown();
  }

  FakeViews views_;
  CPelmDoc document_;
  FakePelmTreeRows rows_;
  platform::CollectingPrompter prompter_;
};

TEST_F(TreeViewTest, ColumnsAndTheRowsOfADocumentWithoutTree) {
  for (const ViewColumn& column : kViewColumns) EXPECT_FALSE(LoadString(column.titleId).empty());
  const ViewRows made = BuildViewRows(rows_, document_);
  EXPECT_EQ(rows_.Text(made.configuration, 0), "Конфигурация Z580 (" + document_.title + ")");
  EXPECT_EQ(rows_.At(made.configuration).image, 25);
  EXPECT_EQ(rows_.Text(made.deviceParameters, 0), "Параметры прибора");
  EXPECT_EQ(rows_.Text(made.deviceParameters, 2), "(не определены)");
  EXPECT_EQ(made.polledParameters, model::kNoItem);
  EXPECT_TRUE(rows_.expanded.count(made.configuration) && rows_.expanded.count(made.deviceParameters));
  // Rows are built once.
  EXPECT_EQ(BuildViewRows(rows_, document_).configuration, model::kNoItem);
  EXPECT_EQ(rows_.recorded.RowCount(), 2u);
}

TEST_F(TreeViewTest, PolledRowsHaveABoldHeadingAndRefreshShowsTheirChannels) {
  DescBranch tree, polled;
  tree.elementName = "Параметры";
  AddTo(tree, "Val", "int", "5");
  polled.elementName = "Сканеры";
  Parameter& reading = AddTo(polled, "rEAd", "float", "1");
  reading.linearIndex = 7;
  polled.PreparePolling();
  document_.rootBranch = &tree;
  document_.scannersBranch = &polled;
  App().SetDeviceModel(std::make_unique<StatusModel>());

  const ViewRows made = BuildViewRows(rows_, document_);
  ASSERT_NE(made.polledParameters, model::kNoItem);
  const model::TreeItem heading = rows_.GetChildItem(made.polledParameters);
  EXPECT_EQ(rows_.Text(heading, 0), "     Имя параметра");
  EXPECT_EQ(rows_.Text(heading, 1), "Период");
  EXPECT_EQ(rows_.Text(heading, 2), "Значение");
  EXPECT_EQ(rows_.Text(heading, 5), "Ошибки обмена и несоответствия");
  EXPECT_EQ(rows_.At(heading).image, 49);
  EXPECT_TRUE(rows_.bold.count(heading));
  EXPECT_EQ(rows_.GetNextSiblingItem(heading), reading.treeItem);

  App().showLinearIndexes = true;
  tree.parameters[0]->value = "6";
  RefreshRows(rows_, true);
  EXPECT_EQ(rows_.Text(reading.treeItem, 0), reading.description + ", rEAd:7");
  EXPECT_EQ(rows_.Text(tree.parameters[0]->treeItem, 2), "6");
  RefreshRows(rows_, false);
  EXPECT_EQ(rows_.Text(reading.treeItem, 0), reading.description);

  // The rows go, the tree stays: no parameter keeps a row, and they come back.
  ForgetTreeRows(&tree);
  ForgetTreeRows(&polled);
  EXPECT_EQ(reading.treeItem, model::kNoItem);
  EXPECT_EQ(tree.parameters[0]->treeItem, model::kNoItem);
  FakePelmTreeRows fresh;
  BuildViewRows(fresh, document_);
  EXPECT_NE(tree.parameters[0]->treeItem, model::kNoItem);
}

class NavigationTest : public TreeViewTest {
 protected:
  void SetUp() override {
    TreeViewTest::SetUp();
    tree_.elementName = "root";
    DescBranch& one = AddChild(tree_, "One");
    a_ = &AddTo(one, "A", "int", "1");
    b_ = &AddTo(one, "B", "int", "1");
    DescBranch& two = AddChild(tree_, "Two");
    c_ = &AddTo(two, "C", "int", "1");
    d_ = &AddTo(two, "D", "int", "1");
    DescBranch& three = AddChild(tree_, "Three");
    e_ = &AddTo(three, "E", "int", "1");
    f_ = &AddTo(three, "F", "int", "1");
    document_.rootBranch = &tree_;
    made_ = BuildViewRows(rows_, document_);
  }
  model::TreeItem Next() { return NavigateToProblem(rows_, &document_, true); }
  model::TreeItem Previous() { return NavigateToProblem(rows_, &document_, false); }

  DescBranch tree_;
  Parameter *a_, *b_, *c_, *d_, *e_, *f_;
  ViewRows made_;
};

TEST_F(NavigationTest, ForwardAndBackwardThroughSiblingsAndBranches) {
  b_->note = "ошибка";
  d_->note = "ошибка";
  f_->note = LoadString(kStrDeviceValue) + " 3";  // differences count too
  EXPECT_EQ(Next(), b_->treeItem);      // from nothing: down to "A", then its siblings
  EXPECT_EQ(Next(), d_->treeItem);      // on into the next branch with a problem
  EXPECT_EQ(Next(), f_->treeItem);
  EXPECT_EQ(Next(), model::kNoItem);
  EXPECT_EQ(rows_.selected, f_->treeItem);  // the selection stays
  EXPECT_EQ(prompter_.Texts(), LoadString(kStrNoMoreProblems));
  EXPECT_EQ(prompter_.requests[0].icon, platform::MessageIcon::Information);

  EXPECT_EQ(Previous(), d_->treeItem);
  EXPECT_EQ(Previous(), b_->treeItem);
  EXPECT_EQ(Previous(), model::kNoItem);
  // A branch row selected: down to its first parameter, which is the answer here.
  rows_.selected = rows_.At(c_->treeItem).parent;
  c_->note = "ошибка";
  EXPECT_EQ(Next(), c_->treeItem);
  EXPECT_EQ(prompter_.requests.size(), 2u);
}

}  // namespace
