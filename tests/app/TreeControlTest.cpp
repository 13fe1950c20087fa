// The tree control's rules beside the commit: read on expand, the poll switch,
// popups, parameter commands and the searches of rows and problems.
#include <gtest/gtest.h>

#include "TreeTestSupport.h"
#include "app/CPelmDoc.h"
#include "app/TreeControlLogic.h"
#include "link/Device.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"
#include "support/FakeDeviceDocument.h"
#include "support/FakeLink.h"
#include "support/FakePort.h"
#include "support/Last.h"

using testsupport::Last;
using resources::LoadString;

namespace {

TEST(ReadOnExpandTest, ReadsOnlyANeverReadParameterWithAutomaticReadingOn) {
  App().Reset();
  FakeLink link;
  const std::string noData = LoadString(kStrNoData);
  struct Case {
    std::string value, note;
    bool automatic;
    bool withLink, withParameter;
    int expected;
  } cases[] = {
      {noData, "", true, true, true, 0},   {"5", "", true, true, true, -2},
      {noData, "ошибка", true, true, true, -2}, {noData, "", false, true, true, -2},
      {noData, "", true, false, true, -1}, {noData, "", true, true, false, -3},
  };
  int reads = 0;
  for (const Case& c : cases) {
    Parameter p("Val");
    p.value = ValueText::OfStoredText(c.value);
    p.note = c.note;
    App().automaticReading = c.automatic;
    EXPECT_EQ(ReadOnExpand(c.withLink ? &link : nullptr, c.withParameter ? &p : nullptr), c.expected)
        << c.value << "/" << c.note << "/" << c.automatic;
    reads += c.expected == 0;
  }
  EXPECT_EQ(static_cast<int>(link.calls.size()), reads);
  // A value given the no-data text is a value: it was read or typed.
  Parameter typed("Val");
  typed.value = noData;
  App().automaticReading = true;
  EXPECT_EQ(ReadOnExpand(&link, &typed), -2);
  App().Reset();
}

class TreeControlTest : public DocumentTestBase {
 protected:
  void SetUp() override {
    DocumentTestBase::SetUp();
    document_.SetViews(&views_);
    tree_.elementName = "root";
    a_ = &AddTo(tree_, "A", "int", LoadString(kStrNoData));
    blank_ = &AddTo(tree_, "    ", "int", LoadString(kStrNoData));
    b_ = &AddTo(tree_, "B", "int", "3");
    sub_ = &AddChild(tree_, "Sub");
    AddTo(*sub_, "C", "int", "1");
    AddTo(*sub_, "D", "int", "2");
    polled_.elementName = "scanners";
    reading_ = &AddTo(polled_, "rEAd", "float", LoadString(kStrNoData));
    polled_.PreparePolling();
    tree_.InsertTreeItems(rows_, model::kNoItem, -1, false);
    polled_.InsertTreeItems(rows_, model::kNoItem, -1, false);
  }

  FakeViews views_;
  CPelmDoc document_;
  DescBranch tree_, polled_;
  DescBranch* sub_ = nullptr;
  Parameter *a_ = nullptr, *blank_ = nullptr, *b_ = nullptr, *reading_ = nullptr;
  FakePelmTreeRows rows_;
  platform::CollectingPrompter prompter_;
};

TEST_F(TreeControlTest, ExpandingAnElementReadsItsUnreadNamedParameterRows) {
  FakeLink link;
  FakeDeviceDocument device;
  device.link = &link;
  link.readResults["A"] = 2;
  link.onCall = [](const std::string&, Parameter& p) { p.note = "Таймаут"; };
  const model::TreeItem root = rows_.GetRootItem();
  ASSERT_NE(rows_.At(root).colour, model::kRed);
  ExpandRows(rows_, root, &device);
  // "A" only: "    " is no parameter name, "B" has a value, the sub-branch is a row
  // of its own and the polled branch is not below. Its time-out counts.
  EXPECT_EQ(link.calls, std::vector<std::string>{"read A (1)"});
  EXPECT_EQ(rows_.Text(a_->treeItem, 5), "Таймаут");
  EXPECT_EQ(rows_.At(a_->treeItem).colour, model::kRed);
  // The opened branch's own row too, not only at the next refresh of all rows.
  EXPECT_EQ(rows_.At(root).colour, model::kRed);
  EXPECT_EQ(device.calls.front(), "wait on");
  EXPECT_EQ(Last(device.calls), "wait off");

  // Read once: now it has a note.
  ExpandRows(rows_, root, &device);
  EXPECT_EQ(link.calls.size(), 1u);
  // Without a document nothing is read; a row without object does nothing.
  a_->note.clear();
  ExpandRows(rows_, root, nullptr);
  EXPECT_EQ(link.calls.size(), 1u);
}

TEST_F(TreeControlTest, OpeningABranchOnASilentLineStopsAtTheTimeOutLimit) {
  App().automaticReading = true;
  App().modelIndex = 2;
  Device device;
  auto port = std::make_unique<FakePort>();
  FakePort& fake = *port;
  device.ReplacePort(std::move(port));
  fake.moduleAddress = 1;
  fake.handler = [](const FakePort::Request&) { return FakePort::Answer(FakePort::Fault::Silence); };
  DescBranch big;
  big.elementName = "big";
  for (int i = 0; i < 12; ++i) AddTo(big, "P" + std::to_string(i), "int", LoadString(kStrNoData));
  FakePelmTreeRows rows;
  big.InsertTreeItems(rows, model::kNoItem, -1, false);
  FakeDeviceDocument document;
  document.link = &device;

  ExpandRows(rows, rows.GetRootItem(), &document);
  // Five parameters, each with its retry; then message 176 once, and the rest unread.
  EXPECT_EQ(fake.requests.size(), 10u);
  ASSERT_EQ(prompter_.requests.size(), 1u);
  EXPECT_EQ(prompter_.requests[0].text.rfind(platform::Format(LoadString(kStrTimeOutLimit).c_str(), 5, "Z580-03"), 0), 0u);
  EXPECT_TRUE(big.parameters[11]->note.empty());
  EXPECT_EQ(rows.At(rows.GetRootItem()).colour, model::kRed);
  EXPECT_EQ(document.calls, (std::vector<std::string>{"wait on", "wait off"}));
}

TEST_F(TreeControlTest, TheStateIconSwitchesPolling) {
  const model::TreeItem row = reading_->treeItem;
  ASSERT_EQ(rows_.GetItemStateImage(row), 1);
  PollSwitch(rows_, row);
  EXPECT_EQ(rows_.GetItemStateImage(row), 3);
  EXPECT_TRUE(reading_->pollRunning);
  PollSwitch(rows_, row);
  EXPECT_EQ(rows_.GetItemStateImage(row), 1);
  EXPECT_FALSE(reading_->pollRunning);
  PollSwitch(rows_, rows_.GetRootItem());  // a branch row: nothing
  EXPECT_EQ(rows_.GetItemStateImage(rows_.GetRootItem()), 0);
}

TEST_F(TreeControlTest, OnePopupPerRightClick) {
  DescBranch withPolled;
  Parameter& p = AddTo(withPolled, "x", "int", "1");
  p.PreparePolling();
  b_->writable = false;
  struct Case {
    CObject* object;
    RowPopup popup;
    size_t items;
  } cases[] = {
      {&tree_, RowPopup::BranchMenu, 4},       {sub_, RowPopup::BranchMenu, 4},
      {&polled_, RowPopup::None, 0},           {&withPolled, RowPopup::None, 0},
      {a_, RowPopup::ParameterMenu, 4},        {b_, RowPopup::ParameterMenu, 3},
      {reading_, RowPopup::None, 0},           {nullptr, RowPopup::None, 0},
  };
  for (const Case& c : cases) {
    const RowPopup popup = ChoosePopup(c.object, &polled_);
    EXPECT_EQ(popup, c.popup);
    EXPECT_EQ(PopupItems(popup, c.object).size(), c.items);
  }
  EXPECT_EQ(Last(PopupItems(RowPopup::ParameterMenu, a_)).text, "Установить значение в \"Нет данных\"");
  const auto other = PopupItems(RowPopup::ParameterMenu, b_);
  ASSERT_GE(other.size(), 2u);
  EXPECT_EQ(other[1].id, 0);  // the separator follows "read"
}

TEST_F(TreeControlTest, ParameterCommandsNeedAParameter) {
  for (CObject* current : {static_cast<CObject*>(nullptr), static_cast<CObject*>(&tree_)}) {
    document_.selected = current;
    for (int command : {kCmdReadParameter, kCmdWriteParameter, kCmdSetNoData})
      EXPECT_FALSE(RunParameterCommand(document_, command));
  }
  ASSERT_EQ(prompter_.requests.size(), 6u);
  EXPECT_EQ(prompter_.requests[0].text, LoadString(kStrNothingSelected));
  EXPECT_EQ(prompter_.requests[0].icon, platform::MessageIcon::Warning);

  b_->note = "ошибка";
  b_->valueChanged = b_->ownerChanged = true;
  document_.selected = b_;
  EXPECT_TRUE(RunParameterCommand(document_, kCmdSetNoData));
  EXPECT_EQ(b_->value, LoadString(kStrNoData));
  EXPECT_TRUE(b_->note.empty());
  EXPECT_FALSE(b_->AnyChangeFlag());
  EXPECT_EQ(views_.updates, 1);
}

TEST_F(TreeControlTest, FindItemByObjectAndProblemParameters) {
  const model::TreeItem root = rows_.GetRootItem();
  EXPECT_EQ(FindItemByObject(rows_, b_, model::kNoItem), b_->treeItem);
  EXPECT_EQ(FindItemByObject(rows_, sub_->parameters[1].get(), model::kNoItem), sub_->parameters[1]->treeItem);
  EXPECT_EQ(FindItemByObject(rows_, sub_, root), rows_.At(sub_->parameters[0]->treeItem).parent);
  EXPECT_EQ(FindItemByObject(rows_, &tree_, model::kNoItem), model::kNoItem);  // the start row itself is not searched
  EXPECT_EQ(FindItemByObject(rows_, reading_, model::kNoItem), model::kNoItem);  // another top-level row

  EXPECT_FALSE(HasProblemParameters(tree_));
  sub_->parameters[0]->note = LoadString(kStrNotInitialised);
  b_->note = LoadString(kStrDeviceValue) + " 4";
  reading_->note = "ошибка";
  EXPECT_FALSE(HasProblemParameters(tree_));
  EXPECT_FALSE(HasProblemParameters(polled_));
  sub_->parameters[1]->note = "Таймаут";
  EXPECT_TRUE(HasProblemParameters(tree_));
  EXPECT_TRUE(HasProblemParameters(*sub_));
}

}  // namespace
