// The polling thread: its deadline schedule, and polls against the in-process
// fake port delivered through a fake window.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "LinkTestSupport.h"
#include "link/Device.h"
#include "link/ExchangeLock.h"
#include "link/PollSchedule.h"
#include "link/PollWindow.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "resources/StringTable.h"
#include "support/FakePollWindow.h"
#include "support/FakePort.h"

using Clock = exchange::PollSchedule::Clock;
using std::chrono::milliseconds;

namespace {

Clock::time_point ArmedAt(const Parameter& p) {
  return Clock::time_point(std::chrono::nanoseconds(p.pollArmedAt.load()));
}

std::unique_ptr<Parameter> Polled(const std::string& name, int period) {
  auto p = std::make_unique<Parameter>(name);
  p->type = "int";
  p->pollPeriod = period;
  p->PreparePolling();
  return p;
}

// The scan thread hands the link over between two polls only while a thread waits
// for the exchange lock: the lock must know of a waiter, and stay reentrant.
TEST(ExchangeLockTest, KnowsOfAThreadBlockedOnItAndStaysReentrant) {
  ExchangeLock lock;
  lock.LetWaitersIn();  // nobody waits: returns at once
  lock.lock();
  lock.lock();  // the same thread again
  std::atomic<bool> acquired{false};
  std::thread task([&] {
    std::lock_guard guard(lock);
    acquired = true;
  });
  const auto until = Clock::now() + std::chrono::seconds(20);
  while (!lock.Waited() && Clock::now() < until) std::this_thread::sleep_for(milliseconds(1));
  EXPECT_TRUE(lock.Waited());
  lock.unlock();
  EXPECT_FALSE(acquired.load());  // still held once
  lock.unlock();
  lock.LetWaitersIn();
  task.join();
  EXPECT_TRUE(acquired.load());
  EXPECT_FALSE(lock.Waited());
}

TEST(PollScheduleTest, FirstExpiryAfterAPeriodThenOnTheGridSkippingMissedOnes) {
  auto a = Polled("a", 100);
  auto b = Polled("b", 30);
  exchange::PollSchedule schedule({a.get(), b.get()});
  schedule.Refresh();
  EXPECT_EQ(schedule.NextExpiry(), std::nullopt);  // nothing armed

  a->StartPolling();
  schedule.Refresh();
  const Clock::time_point t0 = ArmedAt(*a);
  EXPECT_EQ(schedule.NextExpiry(), t0 + milliseconds(100));
  EXPECT_EQ(schedule.TakeDue(t0 + milliseconds(99)), nullptr);
  EXPECT_EQ(schedule.TakeDue(t0 + milliseconds(100)), a.get());
  EXPECT_EQ(schedule.TakeDue(t0 + milliseconds(100)), nullptr);  // once per expiry
  // Busy for 3.5 periods: one expiry, then back on the grid.
  EXPECT_EQ(schedule.TakeDue(t0 + milliseconds(450)), a.get());
  EXPECT_EQ(schedule.TakeDue(t0 + milliseconds(450)), nullptr);
  EXPECT_EQ(schedule.NextExpiry(), t0 + milliseconds(500));

  // A period change takes effect through stop and start; the first expiry is
  // again one (new) period after the start.
  a->StopPolling();
  schedule.Refresh();
  EXPECT_EQ(schedule.TakeDue(t0 + milliseconds(600)), nullptr);
  a->pollPeriod = 200;
  a->StartPolling();
  b->StartPolling();
  schedule.Refresh();
  const Clock::time_point t1 = ArmedAt(*a);
  EXPECT_EQ(schedule.NextExpiry(), ArmedAt(*b) + milliseconds(30));
  // Both due: the earlier expiry first; then the other one.
  const Clock::time_point late = t1 + milliseconds(1000);
  EXPECT_EQ(schedule.TakeDue(late), b.get());
  EXPECT_EQ(schedule.TakeDue(late), a.get());
  EXPECT_EQ(schedule.TakeDue(late), nullptr);
}

TEST(PollScheduleTest, AStopAndStartBetweenTwoLooksIsStillARestart) {
  auto a = Polled("a", 100);
  a->pollPeriod = 0;  // never a busy loop
  exchange::PollSchedule schedule({a.get()});
  a->StartPolling();
  schedule.Refresh();
  const Clock::time_point t0 = ArmedAt(*a);
  EXPECT_EQ(schedule.NextExpiry(), t0 + milliseconds(1));
  a->StopPolling();
  a->pollPeriod = 500;
  a->StartPolling();
  schedule.Refresh();
  EXPECT_EQ(schedule.NextExpiry(), ArmedAt(*a) + milliseconds(500));
}

// One record of `p` for the current tree, handed to the window's queue.
bool DeliverRecordOf(Parameter& p) {
  auto record = std::make_unique<exchange::PollResult>();
  record->parameter = &p;
  record->generation = App().pollResults.Generation();
  return exchange::DeliverPollResult(std::move(record));
}

// The window hears once until it drains, and again from the first record after a
// drain has begun (or after the tree or the window changed): no record ever waits
// for a word that is not coming.
TEST(PollWindowTest, OneWordUntilADrainBeginsAndNoRecordLeftUntold) {
  Parameter p("x");
  const auto deliver = [&p] { return DeliverRecordOf(p); };
  App().pollResults.NewGeneration();
  {
    FakePollWindow window;
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(deliver());
    EXPECT_EQ(window.posts.load(), 1);
    App().pollResults.BeginDrain();
    ASSERT_NE(App().pollResults.PopFront(), nullptr);
    ASSERT_TRUE(deliver());  // while the drain runs
    EXPECT_EQ(window.posts.load(), 2);
    while (App().pollResults.PopFront()) {
    }
    ASSERT_TRUE(deliver());  // its word is the one still on its way
    EXPECT_EQ(window.posts.load(), 2);
    App().pollResults.NewGeneration();
    ASSERT_TRUE(deliver());
    EXPECT_EQ(window.posts.load(), 3);
  }
  // A new window is told of the first record, whatever the old one was owed.
  FakePollWindow next;
  ASSERT_TRUE(deliver());
  EXPECT_EQ(next.posts.load(), 1);
  App().pollResults.Flush();
}

// Each way the word on its way to the window is given up: the record after it is
// told again. Without it, records would wait in the queue for a word never coming.
TEST(PollWindowTest, EveryResetOfTheWordOnItsWayTellsTheNextRecord) {
  Parameter p("x");
  const auto deliver = [&p] { return DeliverRecordOf(p); };
  const struct {
    const char* what;
    std::function<void()> reset;
  } cases[] = {
      {"a drain begins", [] { App().pollResults.BeginDrain(); }},
      {"the queue is flushed", [] { App().pollResults.Flush(); }},
      {"a new tree", [] { App().pollResults.NewGeneration(); }},
      {"the window is installed again", [] { exchange::SetPollWindow(exchange::SetPollWindow(nullptr)); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    App().pollResults.NewGeneration();
    FakePollWindow window;
    ASSERT_TRUE(deliver());
    ASSERT_TRUE(deliver());
    EXPECT_EQ(window.posts.load(), 1);
    c.reset();
    ASSERT_TRUE(deliver());
    EXPECT_EQ(window.posts.load(), 2);
  }
  App().pollResults.Flush();
}

class ScanThreadTest : public LinkTestBase {
 protected:
  void SetUp() override {
    LinkTestBase::SetUp();
    device_ = std::make_unique<Device>();
    auto port = std::make_unique<FakePort>();
    port_ = port.get();
    device_->ReplacePort(std::move(port));
    port_->moduleAddress = 1;
    branch_.elementName = "scanners";
  }
  void TearDown() override {
    device_.reset();
    LinkTestBase::TearDown();
  }

  Parameter& Add(const std::string& name, int period, int value) {
    Parameter& p = branch_.AddParameter(Polled(name, period));
    p.linearIndex = p.requestIndex = static_cast<int>(branch_.parameters.size());
    port_->values[{p.NameHash(), 0}] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    return p;
  }

  // Records taken from the queue until each of the names has one (at most 10 s).
  std::vector<std::unique_ptr<exchange::PollResult>> TakeUntilAll(std::set<const Parameter*> wanted) {
    std::vector<std::unique_ptr<exchange::PollResult>> out;
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (!wanted.empty() && Clock::now() < end) {
      if (auto r = App().pollResults.PopFront()) {
        wanted.erase(r->parameter);
        out.push_back(std::move(r));
      } else {
        std::this_thread::sleep_for(milliseconds(2));
      }
    }
    EXPECT_TRUE(wanted.empty()) << wanted.size() << " parameters never polled";
    return out;
  }

  std::unique_ptr<Device> device_;
  FakePort* port_ = nullptr;
  DescBranch branch_;
};

TEST_F(ScanThreadTest, ServesMoreThan63ParametersAndStopsAtOnceOnCancel) {
  FakePollWindow window;
  std::set<const Parameter*> all;
  for (int i = 0; i < 70; ++i) all.insert(&Add(platform::Format("P%i", i), 10, i));
  Parameter& idle = Add("Idle", 10, 1);  // never started: never polled
  ASSERT_EQ(device_->StartScanThread(branch_), 0);
  EXPECT_EQ(device_->StartScanThread(branch_), 0);  // already running
  for (const Parameter* p : all) const_cast<Parameter*>(p)->StartPolling();

  const auto records = TakeUntilAll(all);
  for (const auto& r : records) {
    EXPECT_NE(r->parameter, &idle);
    EXPECT_TRUE(r->error.empty());
    // The scan thread writes the parameters under the exchange lock, as the program
    // reads them.
    std::lock_guard lock(App().exchangeLock);
    EXPECT_EQ(r->index, r->parameter->requestIndex);
    EXPECT_EQ(r->value, r->parameter->value);
  }
  EXPECT_GE(window.posts.load(), 1);

  // The thread ends after the poll under way, which the fake port answers at once
  // (milliseconds); the bound leaves a loaded, sanitized build a hundredfold margin,
  // and a thread that missed the stop would never end.
  const auto before = Clock::now();
  device_->StopThreads();
  EXPECT_LT(Clock::now() - before, std::chrono::seconds(20));
  EXPECT_FALSE(device_->ScanThreadRunning());
  // The thread's end stops every timer.
  for (const Parameter* p : all) EXPECT_FALSE(p->pollRunning.load());
}

TEST_F(ScanThreadTest, AFailedPollCarriesTheNoteAndAStoppedOneNothing) {
  FakePollWindow window;
  Parameter& p = Add("Rd.St", 20, 5);
  port_->handler = [](const FakePort::Request&) { return FakePort::Answer(FakePort::Fault::Silence); };
  ASSERT_EQ(device_->StartScanThread(branch_), 0);
  p.StartPolling();
  auto records = TakeUntilAll({&p});
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records[0]->value, "");
  EXPECT_EQ(records[0]->error, resources::LoadString(kStrTimeOut));

  // Stopped: no further record, also not from an expiry that was due.
  p.StopPolling();
  std::this_thread::sleep_for(milliseconds(60));
  App().pollResults.Flush();
  std::this_thread::sleep_for(milliseconds(100));
  EXPECT_EQ(App().pollResults.Size(), 0u);
  device_->StopScanThread();
  EXPECT_FALSE(device_->ScanThreadRunning());
}

TEST_F(ScanThreadTest, RecordsOfAnOldTreeNeverReachTheWindow) {
  Parameter& p = Add("r.cn", 10, 3);
  {
    // Without a window the records are freed at once.
    ASSERT_EQ(device_->StartScanThread(branch_), 0);
    p.StartPolling();
    std::this_thread::sleep_for(milliseconds(80));
    EXPECT_EQ(App().pollResults.Size(), 0u);
  }
  FakePollWindow window;
  TakeUntilAll({&p});
  // The tree goes: a new generation; the running thread's records are dropped.
  App().pollResults.NewGeneration();
  ASSERT_TRUE(exchange::HasPollWindow());  // waits for a delivery under way
  const int posts = window.posts.load();
  std::this_thread::sleep_for(milliseconds(80));
  EXPECT_EQ(App().pollResults.Size(), 0u);
  EXPECT_EQ(App().pollResults.PopFront(), nullptr);
  EXPECT_EQ(window.posts.load(), posts);
  device_->StopThreads();
}

}  // namespace
