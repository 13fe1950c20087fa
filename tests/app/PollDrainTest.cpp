// The window thread's drain of poll records into the polled rows.
#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

#include "TreeTestSupport.h"
#include "app/PollDrain.h"
#include "resources/StringTable.h"
#include "support/FakeDeviceDocument.h"
#include "support/FakeLink.h"

using resources::LoadString;

namespace {

class PollDrainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App().Reset();
    App().SetDeviceModel(std::make_unique<StatusModel>());
    polled_.elementName = "scanners";
    for (const char* name : {"r.cn", "s.do", "Rd.St", "SRD", "Rd.Rs", "Other"}) AddTo(polled_, name, "int", "");
    polled_.PreparePolling();
    polled_.InsertTreeItems(rows_, model::kNoItem, -1, false);
    for (const char* name : {"r.cn", "s.do", "Rd.St"})
      for (int i = 0; i < 3; ++i) Child(name, i);
    sensor_ = &AddTo(tree_, "sen.t", "pH:ОВП", "pH");
    sensor_->linearIndex = 0;
    document_.tree = &tree_;
    document_.link = &link_;
  }
  void TearDown() override { App().Reset(); }

  void Child(const char* name, int i) {
    rows_.InsertItem(nullptr, std::string(name) + std::to_string(i), 0, 0, model::RowEditor::None,
                     P(name).treeItem, true);
  }
  Parameter& P(const std::string& name) { return *polled_.GetParameterByName(name); }
  void Push(const std::string& name, const std::string& value, const std::string& error = "",
            std::optional<uint64_t> generation = std::nullopt) {
    auto r = std::make_unique<exchange::PollResult>();
    r->parameter = &P(name);
    r->value = value;
    r->error = error;
    r->generation = generation.value_or(queue_.Generation());
    queue_.Push(std::move(r));
  }
  std::vector<std::string> ChildTexts(const std::string& name) {
    std::vector<std::string> out;
    for (model::TreeItem c : rows_.recorded.Children(P(name).treeItem)) out.push_back(rows_.Text(c, 2));
    return out;
  }

  DescBranch polled_, tree_;
  Parameter* sensor_ = nullptr;
  FakePelmTreeRows rows_;
  FakeLink link_;
  FakeDeviceDocument document_;
  exchange::PollResultQueue queue_;
};

TEST_F(PollDrainTest, BitsStatusTextsAndCodes) {
  const std::string on = LoadString(kStrOn), off = LoadString(kStrOff);
  struct Case {
    const char* name;
    const char* value;
    std::vector<std::string> children;  // empty: left as they were
    const char* shown;                  // column 2 of the row
  } cases[] = {
      {"r.cn", "5", {on, off, on}, "5"},
      {"s.do", "010", {off, off, off}, "010"},  // octal 8: bit 3
      {"s.do", "0x6", {off, on, on}, "0x6"},
      {"r.cn", "", {}, ""},  // a failed poll: the children keep their texts
      {"Rd.St", "6", {"бит 0=0", "бит 1=1", "бит 2=1"}, "6"},
      {"SRD", "250", {}, "Измеренное значение слишком велико."},
      {"SRD", "0", {}, "Измерение успешно."},
      {"SRD", "7", {}, "Не могу раскодировать ответ"},
      {"SRD", "x", {}, "x"},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> before = ChildTexts(c.name);
    Push(c.name, c.value);
    EXPECT_EQ(DrainPollResults(queue_, rows_, &document_), 1);
    EXPECT_EQ(rows_.Text(P(c.name).treeItem, 2), c.shown) << c.name << " " << c.value;
    EXPECT_EQ(ChildTexts(c.name), c.children.empty() ? before : c.children) << c.name << " " << c.value;
  }
}

TEST_F(PollDrainTest, ErrorsTurnTheRowRedUntilTheNextGoodRecordAndOneDrainTakesAll) {
  EXPECT_EQ(DrainPollResults(queue_, rows_, &document_), 0);
  Push("Other", "", "Таймаут при передаче данных (нет связи)");
  Push("Other", "", "Таймаут при передаче данных (нет связи)");
  EXPECT_EQ(DrainPollResults(queue_, rows_, &document_), 2);
  EXPECT_EQ(rows_.At(P("Other").treeItem).colour, model::kRed);
  EXPECT_EQ(rows_.Text(P("Other").treeItem, 5), "Таймаут при передаче данных (нет связи)");
  Push("Other", "12");
  DrainPollResults(queue_, rows_, &document_);
  EXPECT_EQ(rows_.At(P("Other").treeItem).colour, model::kBlack);
  EXPECT_EQ(rows_.Text(P("Other").treeItem, 5), "");

  // A row that went, and records of a tree that went, are dropped untouched.
  P("Other").treeItem = model::kNoItem;
  Push("Other", "13");
  EXPECT_EQ(DrainPollResults(queue_, rows_, &document_), 1);
  Push("SRD", "0");
  const uint64_t old = queue_.Generation();
  queue_.NewGeneration();
  Push("SRD", "0", "", old);  // made for the old tree
  EXPECT_EQ(DrainPollResults(queue_, rows_, &document_), 0);
}

TEST_F(PollDrainTest, TheReadingIsNamedAfterTheSensorUnlessTheLinkIsBusy) {
  Parameter& reading = P("Rd.Rs");
  Push("Rd.Rs", "7.1");
  DrainPollResults(queue_, rows_, &document_);
  EXPECT_EQ(reading.description, LoadString(kStrPhReading));
  EXPECT_EQ(rows_.Text(reading.treeItem, 0), LoadString(kStrPhReading));
  EXPECT_EQ(link_.calls, std::vector<std::string>{"read sen.t (0)"});

  sensor_->value = "ОВП";
  // A task holds the link: the drain does not wait for it.
  {
    std::atomic<bool> holding{false}, done{false};
    std::thread task([&] {
      std::lock_guard lock(App().exchangeLock);
      holding = true;
      while (!done) std::this_thread::yield();
    });
    while (!holding) std::this_thread::yield();
    Push("Rd.Rs", "7.2");
    DrainPollResults(queue_, rows_, &document_);
    done = true;
    task.join();
  }
  EXPECT_EQ(link_.calls.size(), 1u);
  EXPECT_EQ(reading.description, LoadString(kStrPhReading));
  EXPECT_EQ(rows_.Text(reading.treeItem, 2), "7.2");

  Push("Rd.Rs", "7.3");
  DrainPollResults(queue_, rows_, &document_);
  EXPECT_EQ(reading.description, LoadString(kStrRedoxReading));
  // An edited, unwritten sensor type is not read over.
  sensor_->valueChanged = true;
  Push("Rd.Rs", "7.4");
  DrainPollResults(queue_, rows_, &document_);
  EXPECT_EQ(link_.calls.size(), 2u);

  // Without a document the drain stops at the reading's record.
  Push("Rd.Rs", "7.5");
  Push("Other", "1");
  EXPECT_EQ(DrainPollResults(queue_, rows_, nullptr), 1);
  EXPECT_EQ(queue_.Size(), 1u);
}

}  // namespace
