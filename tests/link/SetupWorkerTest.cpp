// The connection-setup worker without a window: the precedence of its requests,
// the commands it posts back, and the factory settings.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "link/NetRS485prg.h"
#include "link/SetupWorker.h"
#include "platform/Event.h"
#include "resources/StringTable.h"
#include "support/FakeSetupLink.h"

namespace {

// An attempt that says it has begun and ends when the gate opens.
struct GatedAttempt {
  explicit GatedAttempt(FakeSetupLink& link) {
    link.attempt = [this] {
      started.Set();
      gate.Wait(5000);
      return answer;
    };
  }
  platform::Event gate{true, false};
  platform::Event started{false, false};
  bool answer = false;
};

class Sink : public PreStart::SetupSink {
 public:
  void SetStatus(const std::string& text, bool error) override { Add(text + (error ? " [error]" : "")); }
  void EnableTable(bool enable) override { Add(enable ? "enable" : "disable"); }
  void ShowValue(int row, const ValueText& text) override { Add(std::to_string(row) + "=" + text); }
  void PostCommand(int command) override {
    Add("command " + std::to_string(command));
    posted.Set();
  }
  std::vector<std::string> Events() {
    std::lock_guard lock(mutex_);
    return events_;
  }
  platform::Event posted{false, false};

 private:
  void Add(const std::string& e) {
    std::lock_guard lock(mutex_);
    events_.push_back(e);
  }
  std::mutex mutex_;
  std::vector<std::string> events_;
};

TEST(SetupWorker, AnAbortOutranksWaitingRequestsAndPostsTheStoredCommand) {
  FakeSetupLink link;
  GatedAttempt attempt(link);
  Sink sink;
  PreStart::SetupWorker worker(link, sink);
  link.abort.Set();  // left over from an earlier task
  worker.Start();
  EXPECT_FALSE(link.abort.IsSet());
  worker.Connect();
  ASSERT_TRUE(attempt.started.Wait(5000));
  // While the attempt runs: another connect, a scan, and the way out.
  worker.Connect();
  worker.Scan();
  worker.RequestExit(PreStart::SetupWorker::kCommandOffline);
  attempt.gate.Set();
  ASSERT_TRUE(sink.posted.Wait(5000));
  worker.Stop();
  EXPECT_TRUE(worker.Finished());
  EXPECT_EQ(link.attempts.load(), 1);
  // An aborted attempt is no failure to report.
  EXPECT_EQ(sink.Events(), (std::vector<std::string>{"disable", "enable", "command 3"}));
  EXPECT_FALSE(link.abort.IsSet());
}

TEST(SetupWorker, AConnectionPostsOkAndFactorySettingsKeepThePort) {
  FakeSetupLink link;
  link.attempt = [] { return true; };
  Sink sink;
  link.settings.SetParameterValue("bPS", "57600");
  link.settings.SetParameterValue("Port", "/dev/ttyUSB3");
  PreStart::SetupWorker worker(link, sink);
  worker.ApplyFactorySettings();
  EXPECT_EQ(link.settings.GetParameterValue("bPS"), "9600");
  EXPECT_EQ(link.settings.GetParameterValue("Port"), "/dev/ttyUSB3");
  EXPECT_EQ(sink.Events().size(), link.settings.parameters.size() - 1);

  worker.Start();
  worker.Connect();
  ASSERT_TRUE(sink.posted.Wait(5000));
  const std::vector<std::string> events = sink.Events();
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events[events.size() - 2], resources::LoadString(kStrLinkEstablished));
  EXPECT_EQ(events.back(), "command 1");
}

}  // namespace
