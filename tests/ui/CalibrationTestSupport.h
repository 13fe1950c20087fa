#pragma once
// What the calibration window tests share: a prompter that answers from a queue,
// a bounded wait that keeps the event loop running, and a document connected to
// a simulated module with the calibration link on it.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Simulator.h"
#include "app/SimDocumentTest.h"
#include "calibration/CalibrationLink.h"
#include "link/AppState.h"
#include "platform/Prompter.h"

// Answers boxes from a queue (OK or Yes when it is empty) and keeps their texts and icons.
class ScriptedPrompter : public platform::Prompter {
 public:
  ScriptedPrompter() : previous_(platform::SetPrompter(this)) {}
  ~ScriptedPrompter() override { platform::SetPrompter(previous_); }
  int Show(const platform::MessageRequest& r) override {
    texts.push_back(r.text);
    icons.push_back(r.icon);
    if (!answers.empty()) {
      const int a = answers.front();
      answers.pop_front();
      return a;
    }
    return r.buttons == platform::MessageButtons::YesNo ? platform::kAnswerYes : platform::kAnswerOk;
  }
  std::deque<int> answers;
  std::vector<std::string> texts;
  std::vector<platform::MessageIcon> icons;

 private:
  platform::Prompter* previous_;
};

// Runs the event loop until done() or ms have passed; false on time-out.
inline bool WaitUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    QTest::qWait(20);
  }
  return true;
}

class CalibrationSimTest : public SimDocumentTest<FakeViews, ScriptedPrompter> {
 protected:
  // The module of the model with the fault commands applied, the program's document
  // connected to it, and a request log that starts empty.
  void Open(int model, const std::vector<std::string>& faults = {}) {
    ASSERT_NO_FATAL_FAILURE(StartModule(model));
    ASSERT_NO_FATAL_FAILURE(Fault(faults));
    ASSERT_NO_FATAL_FAILURE(OpenDocument());
    ASSERT_EQ(App().modelIndex.load(), model);
    link_ = std::make_unique<calibration::DeviceCalibrationLink>(*doc_->GetDevice());
    sim_->ClearRequests();
  }

  void Fault(const std::vector<std::string>& faults) {
    std::string error;
    for (const std::string& f : faults) ASSERT_TRUE(z580sim::ApplyFaultCommand(*sim_, f, &error)) << error;
  }

  std::unique_ptr<calibration::DeviceCalibrationLink> link_;
};
