#include <poll.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/Event.h"

using platform::Event;
using Clock = std::chrono::steady_clock;

namespace {

bool Readable(const Event& e) {
  pollfd p{e.Fd(), POLLIN, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

long long MsSince(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

TEST(Event, ManualAndAutoResetAndTheDescriptorFollowTheState) {
  Event manual(true, false);
  ASSERT_GE(manual.Fd(), 0);
  EXPECT_FALSE(manual.IsSet());
  EXPECT_FALSE(Readable(manual));
  manual.Set();
  manual.Set();  // setting twice stays one signal
  EXPECT_TRUE(Readable(manual));
  EXPECT_TRUE(manual.Wait(0));
  EXPECT_TRUE(manual.Wait(0));  // stays set
  manual.Reset();
  EXPECT_FALSE(Readable(manual));
  EXPECT_FALSE(manual.Wait(0));

  Event autoReset(false, true);
  EXPECT_TRUE(Readable(autoReset));
  EXPECT_TRUE(autoReset.Wait(0));
  EXPECT_FALSE(autoReset.IsSet());  // consumed
  EXPECT_FALSE(Readable(autoReset));
  EXPECT_FALSE(autoReset.Wait(0));
  autoReset.Set();
  autoReset.Set();  // a set event is not counted twice
  EXPECT_TRUE(autoReset.Wait(0));
  EXPECT_FALSE(autoReset.Wait(0));
}

TEST(Event, TimeOutsEndTheWait) {
  Event e;
  auto t = Clock::now();
  EXPECT_FALSE(e.Wait(30));
  EXPECT_GE(MsSince(t), 29);
  t = Clock::now();
  EXPECT_EQ(Event::WaitAny({&e, nullptr}, 20), Event::kWaitTimeout);
  EXPECT_GE(MsSince(t), 19);
  EXPECT_EQ(Event::WaitAny({}, Event::kInfinite), Event::kWaitTimeout);  // nothing to wait for
}

TEST(Event, WaitAnyTakesTheLowestSetIndexAndConsumesOnlyThatOne) {
  Event a(false), b(false), c(true);
  b.Set();
  c.Set();
  EXPECT_EQ(Event::WaitAny({&a, &b, &c}, 0), 1);
  EXPECT_FALSE(b.IsSet());
  EXPECT_EQ(Event::WaitAny({&a, &b, &c}, 0), 2);
  EXPECT_TRUE(c.IsSet());  // manual reset stays
  a.Set();
  EXPECT_EQ(Event::WaitAny({&a, &b, &c}, 0), 0);
  EXPECT_FALSE(a.IsSet());
}

TEST(Event, SetFromAnotherThreadWakesAWaiter) {
  Event a, b;
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    b.Set();
  });
  auto t = Clock::now();
  EXPECT_EQ(Event::WaitAny({&a, &b}, Event::kInfinite), 1);
  EXPECT_LT(MsSince(t), 2000);
  setter.join();
}

// The polling thread waits until a poll's expiry itself, not a count of milliseconds.
TEST(Event, WaitAnyUntilEndsAtItsDeadlineOrAtTheFirstSetEvent) {
  Event a(false), b;
  EXPECT_EQ(Event::WaitAnyUntil({&a, &b}, Clock::now() - std::chrono::seconds(1)), Event::kWaitTimeout);
  b.Set();
  EXPECT_EQ(Event::WaitAnyUntil({&a, &b}, Clock::now() - std::chrono::seconds(1)), 1);  // set beats a past deadline
  b.Reset();
  auto t = Clock::now();
  EXPECT_EQ(Event::WaitAnyUntil({&a, &b}, t + std::chrono::milliseconds(25)), Event::kWaitTimeout);
  EXPECT_GE(Clock::now() - t, std::chrono::milliseconds(25));
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    a.Set();
  });
  t = Clock::now();
  EXPECT_EQ(Event::WaitAnyUntil({&a, &b}, t + std::chrono::seconds(30)), 0);
  EXPECT_LT(MsSince(t), 10000);
  EXPECT_FALSE(a.IsSet());  // auto reset: consumed
  setter.join();
}

TEST(Event, AutoResetReleasesOneWaiterPerSet) {
  Event e(false);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      if (e.Wait(3000)) ++released;
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  e.Set();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(released.load(), 1);
  e.Set();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(released.load(), 2);
  e.Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(released.load(), 3);
}

TEST(Event, PingPongLosesNoWakeUp) {
  Event ping(false), pong(false), stop(true);
  constexpr int kRounds = 5000;
  std::atomic<int> answered{0};
  std::thread partner([&] {
    for (;;) {
      int which = Event::WaitAny({&stop, &ping}, 5000);
      if (which != 1) return;
      ++answered;
      pong.Set();
    }
  });
  int lost = 0;
  for (int i = 0; i < kRounds && lost == 0; ++i) {
    ping.Set();
    if (!pong.Wait(5000)) ++lost;
  }
  stop.Set();
  partner.join();
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(answered.load(), kRounds);
}

}  // namespace
