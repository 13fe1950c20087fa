// The input/output state dialog without its windows: indicator layouts and their
// bounds, colours, the all-outputs switch, the worker's alternation over scripted
// reads, the handlers' writes and messages, and the two-step stop.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/StateInOutLogic.h"
#include "link/AppState.h"
#include "model/Parameter.h"
#include "platform/Event.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"
#include "support/FakeLink.h"
#include "support/FakeStateDialog.h"

namespace {

using Dialogs::LedPaint;

std::vector<int> Numbers(const std::vector<Dialogs::LedPlace>& places) {
  std::vector<int> numbers;
  for (const auto& p : places) numbers.push_back(p.number);
  return numbers;
}

TEST(StateLayout, ColumnsAndRowsFromTheRowCountWithBounds) {
  struct Case {
    int rows;
    int columns;
    int ledRows;
  };
  // 16 -> 8x2, 6 -> 3x2, 3 -> 1x3, 20 -> 8x2 (rows 17-20 without indicator); and the
  // bounds: none for 0, one for 1, never more than 32.
  for (const Case c : {Case{16, 8, 2}, Case{6, 3, 2}, Case{3, 1, 3}, Case{20, 8, 2}, Case{0, 0, 0}, Case{1, 1, 1},
                       Case{2, 1, 2}, Case{40, 8, 4}, Case{1000, 8, 4}}) {
    SCOPED_TRACE(c.rows);
    const auto places = Dialogs::LayoutLeds(c.rows, {10, 20, 22, 30}, 15, 25);
    ASSERT_EQ(static_cast<int>(places.size()), c.columns * c.ledRows);
    for (size_t k = 0; k < places.size(); ++k) {
      const auto& p = places[k];
      EXPECT_EQ(p.number, static_cast<int>(k) + 1);
      EXPECT_EQ(p.number, p.row * c.columns + p.column + 1);
      EXPECT_EQ(p.rect, (BaseDevice::Rect{10 + 15 * p.column, 20 + 25 * p.row, 22 + 15 * p.column, 30 + 25 * p.row}));
    }
  }
  // Numbered row by row: 9 sits under 1.
  const auto sixteen = Dialogs::LayoutLeds(16, {}, 1, 1);
  EXPECT_EQ(sixteen[8].column, 0);
  EXPECT_EQ(sixteen[8].row, 1);
  EXPECT_EQ(Numbers(Dialogs::LayoutLeds(3, {}, 1, 1)), (std::vector<int>{1, 2, 3}));
}

TEST(StateLayout, ColoursAndTheAllOutputsValue) {
  EXPECT_EQ(Dialogs::OutputLedPaint("1"), LedPaint::LightGreen);
  EXPECT_EQ(Dialogs::OutputLedPaint("1.0004"), LedPaint::LightGreen);
  EXPECT_EQ(Dialogs::OutputLedPaint("0.5"), LedPaint::Hatched);
  EXPECT_EQ(Dialogs::OutputLedPaint("-1"), LedPaint::Hatched);
  EXPECT_EQ(Dialogs::OutputLedPaint("1e300"), LedPaint::Hatched);
  EXPECT_EQ(Dialogs::OutputLedPaint("0"), LedPaint::Default);
  EXPECT_EQ(Dialogs::OutputLedPaint(""), LedPaint::Default);
  EXPECT_EQ(Dialogs::OutputLedPaint("Нет данных"), LedPaint::Default);
  EXPECT_EQ(Dialogs::InputLedPaint("1"), LedPaint::Orange);
  EXPECT_EQ(Dialogs::InputLedPaint("0"), LedPaint::Default);
  EXPECT_EQ(Dialogs::InputLedPaint("1.0"), LedPaint::Default);

  EXPECT_EQ(Dialogs::AllOutputsValue({"1", "1", "1"}), "0");
  EXPECT_EQ(Dialogs::AllOutputsValue({"1", "0", "1"}), "1");
  EXPECT_EQ(Dialogs::AllOutputsValue({"1", resources::LoadString(kStrNoData)}), "1");
  EXPECT_EQ(Dialogs::AllOutputsValue({"0.5"}), "0");
}

class Model : public BaseDevice::CBaseDevice {
 public:
  Model(bool inputs, bool outputs) : CBaseDevice(nullptr), inputs_(inputs), outputs_(outputs) {}
  bool HasInputs() const override { return inputs_; }
  bool HasOutputs() const override { return outputs_; }
  const char* GetRuntimeClassName() const override { return name; }
  void UpdateStateList(BaseDevice::StateDialog*) override { ++updates; }
  const char* name = "CZ580M05";
  int updates = 0;

 private:
  bool inputs_, outputs_;
};

// The tables as the worker sees them: what it wrote, in order.
class FakeView : public Dialogs::StateView {
 public:
  std::vector<std::unique_ptr<Parameter>> inputs, outputs;
  std::vector<std::unique_ptr<FakeStateIndicator>> outputLeds;
  std::vector<std::string> log;

  Parameter& Add(std::vector<std::unique_ptr<Parameter>>& side, const std::string& name) {
    side.push_back(std::make_unique<Parameter>(name));
    return *side.back();
  }
  int GetInputRowCount() override { return static_cast<int>(inputs.size()); }
  BaseDevice::StateIndicator* GetInputIndicator(int) override { return nullptr; }
  CObject* GetInputRowObject(int row) override { return inputs[static_cast<size_t>(row)].get(); }
  Parameter* InputParameter(int row) override { return inputs[static_cast<size_t>(row)].get(); }
  int GetOutputRowCount() override { return static_cast<int>(outputs.size()); }
  Parameter* OutputParameter(int row) override { return outputs[static_cast<size_t>(row)].get(); }
  BaseDevice::StateIndicator* GetOutputIndicator(int row) override {
    return row < static_cast<int>(outputLeds.size()) ? outputLeds[static_cast<size_t>(row)].get() : nullptr;
  }
  void SetInputCell(int row, const ValueText& text) override { log.push_back("in " + std::to_string(row) + "=" + text); }
  void SetInputRowColour(int row, model::ColorRef c) override { log.push_back("in " + std::to_string(row) + Colour(c)); }
  void SetOutputCell(int row, const ValueText& text) override { log.push_back("out " + std::to_string(row) + "=" + text); }
  void SetOutputRowColour(int row, model::ColorRef c) override { log.push_back("out " + std::to_string(row) + Colour(c)); }

 private:
  static std::string Colour(model::ColorRef c) { return c == model::kBlack ? " black" : c == Dialogs::kNextRowGreen ? " green" : " ?"; }
};

TEST(StatePoller, AlternatesSidesSkipsMarkedRowsAndFollowsTheIndicators) {
  FakeView view;
  view.Add(view.inputs, "r.cn0");
  view.Add(view.inputs, "r.cn1");
  view.Add(view.outputs, "pout0");
  view.Add(view.outputs, "pout1");
  view.Add(view.outputs, "pout2");  // a row beyond the indicators
  for (int i = 0; i < 2; ++i) view.outputLeds.push_back(std::make_unique<FakeStateIndicator>());
  FakeLink link;
  std::map<std::string, std::string> values{{"r.cn0", "5"}, {"r.cn1", "7"}, {"pout0", "1"}, {"pout1", "0.5"}, {"pout2", "0"}};
  bool silent = false;  // a silent module: the note says why, the value stays the last good one
  link.onCall = [&](const std::string&, Parameter& p) {
    if (silent) {
      p.note = "Таймаут";
      return;
    }
    p.value = values[p.name];
    p.note = p.name == "pout1" && values[p.name] == "bad" ? "Нет ответа" : "";
  };
  Dialogs::EditMarks marks;
  marks.Resize(2, 3);
  Dialogs::StatePoller poller(view, &link, marks);
  Model model(true, true);

  for (int tick = 0; tick < 4; ++tick) poller.Tick(&model);
  EXPECT_EQ(link.calls, (std::vector<std::string>{"read r.cn0 (0)", "read pout0 (0)", "read r.cn1 (0)", "read pout1 (0)"}));
  EXPECT_EQ(view.log, (std::vector<std::string>{"in 0=5", "in 0 black", "in 1 green", "out 0 green", "out 0=1",
                                                "in 1=7", "in 1 black", "in 0 green", "out 0 black", "out 1 green",
                                                "out 1=0.5"}));
  EXPECT_EQ(model.updates, 2);
  EXPECT_EQ(view.outputLeds[0]->text, "1");
  EXPECT_EQ(view.outputLeds[1]->text, "0.5");
  EXPECT_EQ(view.outputLeds[1]->invalidations, 1);

  // A marked row is neither read nor greened; a failed read shows the note and
  // empties the indicator; the row without indicator is read all the same.
  marks.Input(0)->store(true);
  values["pout1"] = "bad";
  view.log.clear();
  link.calls.clear();
  for (int tick = 0; tick < 6; ++tick) poller.Tick(&model);
  EXPECT_EQ(link.calls, (std::vector<std::string>{"read pout2 (0)", "read r.cn1 (0)", "read pout0 (0)", "read pout1 (0)"}));
  EXPECT_EQ(view.log.front(), "in 0 black");
  EXPECT_NE(std::find(view.log.begin(), view.log.end(), "out 1=Нет ответа"), view.log.end());
  EXPECT_EQ(view.outputLeds[1]->text, "");
  EXPECT_EQ(view.outputLeds[0]->invalidations, 1);  // unchanged value: no repaint

  // A module gone silent leaves no output shown as on.
  silent = true;
  for (int tick = 0; tick < 6; ++tick) poller.Tick(&model);
  EXPECT_EQ(view.outputLeds[0]->text, "");
  silent = false;

  // A missing side still takes its turn; no model: nothing at all.
  Model inputsOnly(true, false);
  link.calls.clear();
  marks.Input(0)->store(false);
  for (int tick = 0; tick < 4; ++tick) poller.Tick(&inputsOnly);
  EXPECT_EQ(link.calls.size(), 2u);
  poller.Tick(nullptr);
  EXPECT_EQ(link.calls.size(), 2u);
  FakeView empty;
  Dialogs::StatePoller emptyPoller(empty, &link, marks);
  for (int tick = 0; tick < 4; ++tick) emptyPoller.Tick(&model);
  EXPECT_EQ(link.calls.size(), 2u);
}

TEST(StateHandlers, ResetEditAndSwitchAllWriteAndReport) {
  platform::CollectingPrompter prompter;
  FakeLink link;
  std::atomic<bool> mark{true};
  Parameter counter("r.cn");
  counter.value = "12";
  link.writeResults["r.cn"] = 1;
  link.onCall = [](const std::string&, Parameter& p) { p.note = p.name == "r.cn" || p.name == "pout" ? "Ошибка записи" : ""; };
  EXPECT_FALSE(Dialogs::ResetCounter(counter, link, &mark));
  EXPECT_EQ(counter.value, "0");
  EXPECT_FALSE(mark.load());
  ASSERT_EQ(prompter.requests.size(), 1u);
  EXPECT_EQ(prompter.requests[0].text, "Ошибка записи");
  EXPECT_EQ(prompter.requests[0].caption, resources::LoadString(kStrParameterError) + " \"r.cn\"");
  EXPECT_EQ(prompter.requests[0].icon, platform::MessageIcon::Warning);

  // An edited output: the model "CZ580M12" names the parameter, others show the note;
  // an unchanged "Н/Д" writes nothing.
  Parameter output("pout");
  link.writeResults["pout"] = 1;
  Model m12(false, true);
  m12.name = "CZ580M12";
  Model other(false, true);
  mark = true;
  EXPECT_EQ(Dialogs::WriteEditedOutput(output, "1", link, &m12, &mark), Dialogs::OutputEdit::NotWritten);
  EXPECT_EQ(Dialogs::WriteEditedOutput(output, "1", link, &other, &mark), Dialogs::OutputEdit::NotWritten);
  EXPECT_FALSE(mark.load());
  ASSERT_EQ(prompter.requests.size(), 3u);
  EXPECT_EQ(prompter.requests[1].text, "Не удалось записать параметр pout!");
  EXPECT_EQ(prompter.requests[2].text, "Ошибка записи");
  link.calls.clear();
  mark = true;
  EXPECT_EQ(Dialogs::WriteEditedOutput(output, "Н/Д", link, &other, &mark), Dialogs::OutputEdit::Unchanged);
  EXPECT_TRUE(link.calls.empty());
  EXPECT_FALSE(mark.load());

  // All outputs: any at 0 (or never read) switches all on, else all off.
  std::vector<std::unique_ptr<Parameter>> owned;
  std::vector<Parameter*> outputs;
  for (const char* v : {"1", "Нет данных", "1"}) {
    owned.push_back(std::make_unique<Parameter>("po"));
    owned.back()->value = v;
    outputs.push_back(owned.back().get());
  }
  link.writeResults["po"] = 0;
  EXPECT_EQ(Dialogs::SwitchAllOutputs(outputs, link), "1");
  for (Parameter* p : outputs) EXPECT_EQ(p->value, "1");
  EXPECT_EQ(Dialogs::SwitchAllOutputs(outputs, link), "0");
  for (Parameter* p : outputs) EXPECT_EQ(p->value, "0");
  EXPECT_EQ(prompter.requests.size(), 3u);
  // The first refused output is reported and ends the switch: none after it is written.
  link.writeResults["po"] = 1;
  link.onCall = [](const std::string&, Parameter& p) { p.note = "Ошибка записи"; };
  link.calls.clear();
  EXPECT_EQ(Dialogs::SwitchAllOutputs(outputs, link), "1");
  EXPECT_EQ(link.calls.size(), 1u);
  EXPECT_EQ(outputs[1]->value, "0");
  ASSERT_EQ(prompter.requests.size(), 4u);
  EXPECT_EQ(prompter.requests[3].text, "Ошибка записи");
}

TEST(StatePollThread, TheFirstCancelOnlyAsksTheWorkerToStop) {
  std::atomic<int> ticks{0};
  platform::Event stoppedSeen(true, false);
  Dialogs::StatePollThread thread([&] { ++ticks; }, [&] { stoppedSeen.Set(); }, 5);
  EXPECT_TRUE(thread.OnCancel());  // never started: nothing to wait for
  thread.Start();
  while (ticks.load() < 3) std::this_thread::yield();
  EXPECT_FALSE(thread.OnCancel());
  ASSERT_TRUE(stoppedSeen.Wait(5000));
  EXPECT_TRUE(thread.Stopped());
  const int after = ticks.load();
  EXPECT_TRUE(thread.OnCancel());
  EXPECT_EQ(ticks.load(), after);
}

}  // namespace
