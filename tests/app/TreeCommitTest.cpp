// The commit of cell edits of the parameter tree against a recording link.
#include <gtest/gtest.h>

#include <tuple>

#include "TreeTestSupport.h"
#include "app/CPelmDoc.h"
#include "app/CmyCommandLineInfo.h"
#include "link/DeviceIO.h"
#include "platform/Registry.h"
#include "app/TreeCommit.h"
#include "link/NetRS485prg.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"
#include "support/Last.h"

using testsupport::Last;
using resources::LoadString;

namespace {

class TreeCommitTest : public DocumentTestBase {
 protected:
  void SetUp() override {
    DocumentTestBase::SetUp();
    document_.SetViews(&views_);
    tree_.elementName = "root";
    value_ = &AddTo(tree_, "Val", "int", "5");
    value_->min = 0;
    value_->max = 100;
    value_->attributes = 1;
    log_ = &AddTo(tree_, "Log", "int", "0");
    companion_ = &AddTo(tree_, "Comp", "int", "1");
    clock_ = &AddTo(tree_, "Clk", "CLK_frm", "00:10");
    network_ = &AddChild(tree_, "Сетевые_параметры");
    AddTo(*network_, "Addr", "int", "1");
    AddTo(*network_, "A.Len", "int", "8");
    AddTo(*network_, "Extra", "int", "0");  // keeps the branch from showing as one row
    polled_.elementName = "scanners";
    reading_ = &AddTo(polled_, "rEAd", "float", "1.000");
    reading_->min = 0;
    reading_->max = 50.5;
    polled_.PreparePolling();
    reading_->StartPolling();
    tree_.InsertTreeItems(rows_, model::kNoItem, -1, false);
    polled_.InsertTreeItems(rows_, model::kNoItem, -1, false);
  }
  void TearDown() override {
    App().SetDeviceModel(nullptr);
    DocumentTestBase::TearDown();
  }

  CommitOutcome Commit(Parameter& p, int column, const std::string& text) {
    const std::string old = rows_.Text(p.treeItem, column);
    rows_.SetItemText(p.treeItem, column, text);  // what the editor stored
    CommitContext context{rows_, &document_, link_};
    return CommitEdit(context, p.treeItem, column, old, text);
  }
  Parameter& NetworkParameter(const std::string& name) { return *network_->GetParameterByName(name); }

  FakeViews views_;
  CPelmDoc document_;
  DescBranch tree_, polled_;
  DescBranch* network_ = nullptr;
  Parameter *value_ = nullptr, *log_ = nullptr, *companion_ = nullptr, *reading_ = nullptr, *clock_ = nullptr;
  FakePelmTreeRows rows_;
  FakeEditLink link_;
  platform::CollectingPrompter prompter_;
};

TEST_F(TreeCommitTest, AnUnchangedTextOrAMissingDocumentDoNothing) {
  EXPECT_EQ(Commit(*value_, 2, "5"), CommitOutcome::Unchanged);
  CommitContext noDocument{rows_, nullptr, link_};
  EXPECT_EQ(CommitEdit(noDocument, value_->treeItem, 2, "5", "7"), CommitOutcome::Unchanged);
  EXPECT_FALSE(document_.modified);
  EXPECT_EQ(value_->value, "5");
  EXPECT_TRUE(link_.calls.empty());
  EXPECT_TRUE(prompter_.requests.empty());
}

TEST_F(TreeCommitTest, PollPeriods) {
  const unsigned arms = reading_->pollArmCount;
  struct Case {
    const char* text;
    int period;  // 0: refused
  } cases[] = {{"99.9", 0}, {"100.7", 100}, {"abc", 0}, {"nan", 0}, {"3000000000", 0}, {"150,5", 150}, {"150abc", 0}, {"2500", 2500}};
  int refusals = 0;
  for (const Case& c : cases) {
    const int before = reading_->pollPeriod;
    const CommitOutcome outcome = Commit(*reading_, 1, c.text);
    if (c.period == 0) {
      ++refusals;
      EXPECT_EQ(outcome, CommitOutcome::Refused) << c.text;
      EXPECT_EQ(reading_->pollPeriod, before) << c.text;
      EXPECT_EQ(rows_.Text(reading_->treeItem, 1), std::to_string(before)) << c.text;
      EXPECT_EQ(Last(prompter_.requests).text, LoadString(kStrPeriodTooShort));
      EXPECT_EQ(Last(prompter_.requests).icon, platform::MessageIcon::Error);
    } else {
      EXPECT_EQ(outcome, CommitOutcome::Taken) << c.text;
      EXPECT_EQ(reading_->pollPeriod, c.period) << c.text;
      EXPECT_EQ(rows_.Text(reading_->treeItem, 1), std::to_string(c.period)) << c.text;
    }
  }
  EXPECT_EQ(static_cast<int>(prompter_.requests.size()), refusals);
  // Every accepted period restarted the running timer with the new period.
  EXPECT_EQ(reading_->pollArmCount, arms + 3);
  EXPECT_EQ(reading_->pollArmedPeriod, 2500);
  EXPECT_TRUE(reading_->pollRunning);
  EXPECT_TRUE(document_.modified);
  EXPECT_TRUE(link_.calls.empty());
}

TEST_F(TreeCommitTest, PolledValuesAreWrittenAtOnceUnlessRefused) {
  App().immediateWriting = false;
  EXPECT_EQ(Commit(*reading_, 2, "60"), CommitOutcome::Refused);  // above 50.5
  EXPECT_TRUE(link_.calls.empty());
  EXPECT_EQ(reading_->value, "1.000");
  EXPECT_EQ(rows_.Text(reading_->treeItem, 2), "");  // the cell's old text
  // "%.f" limits for a polled row.
  EXPECT_NE(prompter_.Texts().find("в диапазоне 0...50)"), std::string::npos) << prompter_.Texts();

  EXPECT_EQ(Commit(*reading_, 2, "7"), CommitOutcome::Taken);
  EXPECT_EQ(link_.calls, std::vector<std::string>{"write rEAd"});
  EXPECT_EQ(reading_->value, "7.000");

  link_.results["rEAd"] = 2;
  EXPECT_EQ(Commit(*reading_, 2, "8"), CommitOutcome::WriteFailed);
  EXPECT_EQ(rows_.At(reading_->treeItem).colour, model::kRed);
  EXPECT_EQ(rows_.Text(reading_->treeItem, 5), link_.failureNote);
  EXPECT_EQ(rows_.Text(reading_->treeItem, 2), "8.000");
  EXPECT_EQ(Last(prompter_.requests).text, link_.failureNote);
  link_.results["rEAd"] = 0;
  EXPECT_EQ(Commit(*reading_, 2, "9"), CommitOutcome::Taken);
  EXPECT_EQ(rows_.At(reading_->treeItem).colour, model::kBlack);
  EXPECT_EQ(rows_.Text(reading_->treeItem, 5), "");
}

TEST_F(TreeCommitTest, TheOwnerAttributeLocksValueAndEditAttributeButNotItself) {
  value_->owner = 1;
  value_->SetTreeItemTexts(rows_, value_->treeItem, false);
  EXPECT_EQ(Commit(*value_, 2, "9"), CommitOutcome::Refused);
  EXPECT_EQ(Commit(*value_, 3, "Нередактируемый"), CommitOutcome::Refused);
  EXPECT_EQ(value_->value, "5");
  EXPECT_EQ(value_->editable, 1);
  EXPECT_EQ(rows_.Text(value_->treeItem, 2), "5");
  EXPECT_EQ(rows_.Text(value_->treeItem, 3), LoadString(kStrEditable));
  EXPECT_TRUE(prompter_.requests.empty());

  EXPECT_EQ(Commit(*value_, 4, LoadString(kStrUser)), CommitOutcome::Taken);
  EXPECT_EQ(value_->owner, 0);
  EXPECT_TRUE(value_->ownerChanged);
  EXPECT_EQ(Commit(*value_, 3, "Нередактируемый"), CommitOutcome::Taken);
  EXPECT_EQ(value_->editable, 0);
  EXPECT_TRUE(value_->editableChanged);
  EXPECT_EQ(rows_.At(value_->treeItem).colour, model::kChangedGreen);
  EXPECT_TRUE(link_.calls.empty());
}

TEST_F(TreeCommitTest, ImmediateWritingDecidesTheRowColour) {
  App().immediateWriting = false;
  EXPECT_EQ(Commit(*value_, 2, "6"), CommitOutcome::Taken);
  EXPECT_EQ(rows_.At(value_->treeItem).colour, model::kChangedGreen);
  EXPECT_TRUE(link_.calls.empty());

  link_.immediateResult = 0;
  rows_.SetItemColor(value_->treeItem, model::kBlack);
  EXPECT_EQ(Commit(*value_, 2, "7"), CommitOutcome::Taken);
  EXPECT_EQ(rows_.At(value_->treeItem).colour, model::kBlack);

  link_.results["Val"] = 2;
  EXPECT_EQ(Commit(*value_, 2, "8"), CommitOutcome::WriteFailed);
  EXPECT_EQ(rows_.At(value_->treeItem).colour, model::kRed);
  EXPECT_EQ(rows_.Text(value_->treeItem, 5), link_.failureNote);
  ASSERT_EQ(prompter_.requests.size(), 1u);
  EXPECT_EQ(prompter_.requests[0].text, link_.failureNote);
  EXPECT_EQ(prompter_.requests[0].caption, LoadString(kStrValueNotWritten));
  const model::TreeItem branch = rows_.GetParentItem(value_->treeItem);
  EXPECT_EQ(rows_.At(branch).colour, model::kRed);

  // The module takes the next value: the refusal goes from the row and its branch.
  link_.results["Val"] = 0;
  EXPECT_EQ(Commit(*value_, 2, "6"), CommitOutcome::Taken);
  EXPECT_EQ(rows_.At(value_->treeItem).colour, model::kBlack);
  EXPECT_EQ(rows_.Text(value_->treeItem, 5), "");
  EXPECT_EQ(rows_.At(branch).colour, model::kBlack);
  EXPECT_EQ(link_.calls, (std::vector<std::string>{"immediate Val", "immediate Val", "immediate Val"}));

  // After the write the cell shows the value as the module will read it back.
  link_.results.clear();
  for (const auto& [typed, acknowledged, shown] : {std::tuple{"1:75", "", "02:15"}, std::tuple{"12:3", "", "12:03"},
                                                    std::tuple{"0:30", "00:31", "00:31"}}) {
    link_.acknowledged.clear();
    if (*acknowledged) link_.acknowledged["Clk"] = acknowledged;
    EXPECT_EQ(Commit(*clock_, 2, typed), CommitOutcome::Taken) << typed;
    EXPECT_EQ(rows_.Text(clock_->treeItem, 2), shown) << typed;
    EXPECT_EQ(clock_->value, shown) << typed;
  }
}

TEST_F(TreeCommitTest, LogTakesItsCompanionAlong) {
  auto model = std::make_unique<StatusModel>();
  model->companion = companion_;
  App().SetDeviceModel(std::move(model));
  link_.immediateResult = 0;
  EXPECT_EQ(Commit(*log_, 2, "1"), CommitOutcome::Taken);
  EXPECT_TRUE(companion_->valueChanged);
  EXPECT_EQ(link_.calls, (std::vector<std::string>{"immediate Log", "immediate Comp"}));
  EXPECT_EQ(rows_.Text(companion_->treeItem, 2), "1");
}

TEST_F(TreeCommitTest, NetworkSettingsAreCheckedInTheTreeAndTheProgramsOwnAddressFitsItsFrames) {
  App().immediateWriting = true;
  link_.immediateResult = 0;
  EXPECT_EQ(Commit(NetworkParameter("Addr"), 2, "300"), CommitOutcome::Refused);
  EXPECT_EQ(prompter_.Texts(), LoadString(kStrForbiddenCombination));
  EXPECT_EQ(NetworkParameter("Addr").value, "1");
  EXPECT_EQ(rows_.Text(NetworkParameter("Addr").treeItem, 2), "1");
  // A branch without "A.Len" counts it as empty, so not 11 bits.
  network_->parameters.erase(network_->parameters.begin() + 1);
  EXPECT_EQ(Commit(NetworkParameter("Addr"), 2, "300"), CommitOutcome::Refused);
  // Read as the cell reads it: "0x1FF" is 511, not 0.
  EXPECT_EQ(Commit(NetworkParameter("Addr"), 2, "0x1FF"), CommitOutcome::Refused);
  EXPECT_EQ(Last(prompter_.requests).text, LoadString(kStrForbiddenCombination));
  EXPECT_TRUE(link_.calls.empty());

  Elements::NetRS485prg own;
  own.InitParameters();
  FakePelmTreeRows ownRows;
  own.InsertTreeItems(ownRows, model::kNoItem, -1, false);
  Parameter& addr = *own.GetParameterByName("Addr");
  const std::string old = ownRows.Text(addr.treeItem, 2);
  CommitContext context{ownRows, &document_, link_};
  const int updates = views_.updates;
  // The program's own address must fit its frames too (8 bits here): the frame
  // would keep the low byte and talk to module 44.
  prompter_.requests.clear();
  EXPECT_EQ(CommitEdit(context, addr.treeItem, 2, old, "300"), CommitOutcome::Refused);
  EXPECT_EQ(prompter_.Texts(), LoadString(kStrForbiddenCombination));
  EXPECT_EQ(addr.value, old);
  EXPECT_TRUE(link_.calls.empty());
  // Its frame combinations are not the module's rules: taken, the port reopens.
  Parameter& length = *own.GetParameterByName("LEn");
  EXPECT_EQ(CommitEdit(context, length.treeItem, 2, ownRows.Text(length.treeItem, 2), "7"), CommitOutcome::Taken);
  EXPECT_EQ(CommitEdit(context, addr.treeItem, 2, old, "254"), CommitOutcome::Taken);
  EXPECT_EQ(addr.value, "254");
  EXPECT_FALSE(addr.valueChanged);
  EXPECT_EQ(link_.calls, (std::vector<std::string>{"reopen", "reopen"}));
  EXPECT_EQ(views_.updates, updates + 2);
}

// Every place that reads an address text reads it alike: the tree's cell (the setup
// table's is SetupDialogTest's) shows what the link then sends to and the settings
// store, and the command line takes the same number.
TEST_F(TreeCommitTest, AnAddressTextIsShownSentAndStoredAsOneNumber) {
  struct Case {
    const char* text;
    const char* shown;          // in the cells; nullptr: refused with message 258 or the value's
    std::optional<int> number;  // read by the link, the store and the command line
  } cases[] = {
      {"17", "17", 17},          {" 17 ", "17", 17},  {"+17", "17", 17},     {"0x10", "16", 16},
      {"020", "16", 16},         {"16.0", nullptr, {}}, {"1e1", nullptr, {}}, {"17abc", nullptr, {}},
      {"08", nullptr, {}},       {"", nullptr, {}},   {"255", nullptr, 255}, {"256", nullptr, 256},
      {"-1", nullptr, -1},       {"0", "0", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Parameter& address = NetworkParameter("Addr");
    address.value = "1";
    rows_.SetItemText(address.treeItem, 2, "1");
    const CommitOutcome outcome = Commit(address, 2, c.text);
    EXPECT_EQ(outcome == CommitOutcome::Refused, c.shown == nullptr);
    EXPECT_EQ(address.value, c.shown ? c.shown : "1");
    EXPECT_EQ(rows_.Text(address.treeItem, 2), address.value);
    // The text as the link and the store meet it, whatever put it there.
    DeviceIO io;
    io.Settings().SetParameterValue("Addr", c.text);
    io.ApplyPortSettings();
    EXPECT_EQ(io.Port().moduleAddress, c.number.value_or(-1));
    WriteProgramDword("address", 99);
    io.Settings().Store();
    uint32_t stored = 0;
    ReadProgramDword("address", stored, 0);
    EXPECT_EQ(stored, c.number ? static_cast<uint32_t>(*c.number) : 99u);
    EXPECT_EQ(CommandLineAddressNumber(c.text), c.number);
  }
}

TEST(RejectedValueMessageTest, WordsAndLimits) {
  struct Case {
    const char* name;
    const char* type;
    double min, max;
    bool polled;
    const char* tail;  // after the first sentence; "" when no range follows
  } cases[] = {
      {"Val", "int", 0, 100, false, "(Значение этого параметра должно быть целым числом в диапазоне 0...100)\n"},
      {"Val", "int16", -5, 0, false, "(Значение этого параметра должно быть целым числом в диапазоне -5...0)\n"},
      {"Val", "stored_dot", 0.5, 10, false,
       "(Значение этого параметра должно быть вещественным числом в диапазоне 0.5...10)\n"},
      {"Val", "float", 0.5, 10.25, true,
       "(Значение этого параметра должно быть вещественным числом в диапазоне 0...10)\n"},
      {"Tm", "CLK_frm", 0, 3600, false, "(Значение этого параметра должно быть в диапазоне 0...3600)\n"},
      {"Val", "int", 0, 0, false, ""},
      {"CHAr*", "name", 0, 0, false, "(Значение не удовлетворяет требованиям к формату сетевого имени)"},
  };
  for (const Case& c : cases) {
    Parameter p(c.name);
    p.type = c.type;
    p.description = "Д";
    p.min = c.min;
    p.max = c.max;
    const std::string head = std::string("Параметру '") + c.name + "' (Д)\nне может быть присвоено значение 'x'.\n ";
    EXPECT_EQ(RejectedValueMessage(p, "x", c.polled), head + c.tail) << c.type;
  }
}

}  // namespace
