#include "app/StateInOutLogic.h"

#include <algorithm>
#include <chrono>
#include <mutex>

#include "app/TreeCommit.h"
#include "link/AppState.h"
#include "model/LinkOps.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"

namespace Dialogs {
namespace {

// What the outputs table shows for a value never read; left so, nothing is written.
constexpr const char* kNoValueShort = "Н/Д";

void ReportWriteFailure(const Parameter& parameter, const std::string& text) {
  platform::ShowMessage(text, resources::LoadString(kStrParameterError) + " \"" + parameter.name + "\"",
                        platform::MessageIcon::Warning);
}

// Sets the value and writes it with the worker kept off the parameter meanwhile.
// True when written; note then holds the error.
bool WriteValue(Parameter& parameter, const std::string& text, model::LinkOps& link, std::string& note) {
  std::lock_guard lock(App().exchangeLock);
  parameter.SetValue(text);
  const bool written = link.WriteParameter(parameter, 1) == 0;
  note = parameter.note;
  return written;
}

void ClearMark(std::atomic<bool>* mark) {
  if (mark) mark->store(false);
}

}  // namespace

std::vector<LedPlace> LayoutLeds(int rowCount, const BaseDevice::Rect& first, int columnStep, int rowStep) {
  std::vector<LedPlace> places;
  if (rowCount <= 0) return places;
  // One row still gets its indicator; the column count never reaches 0.
  const int columns = std::clamp(rowCount / 2, 1, 8);
  const int rows = std::min(rowCount / columns, kMaxLeds / columns);
  for (int j = 0; j < columns; ++j) {
    for (int i = 0; i < rows; ++i) {
      LedPlace place;
      place.number = i * columns + j + 1;
      place.column = j;
      place.row = i;
      place.rect = first;
      place.rect.left += j * columnStep;
      place.rect.right += j * columnStep;
      place.rect.top += i * rowStep;
      place.rect.bottom += i * rowStep;
      places.push_back(place);
    }
  }
  std::sort(places.begin(), places.end(), [](const LedPlace& a, const LedPlace& b) { return a.number < b.number; });
  return places;
}

LedPaint InputLedPaint(const std::string& stateText) {
  return stateText == "1" ? LedPaint::Orange : LedPaint::Default;
}

LedPaint OutputLedPaint(const std::string& stateText) {
  const double scaled = platform::Atof(stateText) * 1000.0;
  // The integer part: |x| < 1 gives 0, [1000, 1001) gives 1000 (NaN and huge values are "other").
  if (scaled > -1.0 && scaled < 1.0) return LedPaint::Default;
  if (scaled >= 1000.0 && scaled < 1001.0) return LedPaint::LightGreen;
  return LedPaint::Hatched;
}

std::string AllOutputsValue(const std::vector<std::string>& values) {
  const bool anyOff =
      std::any_of(values.begin(), values.end(), [](const std::string& v) { return platform::Atof(v) == 0.0; });
  return anyOff ? "1" : "0";
}

// ---------------------------------------------------------------- marks

void EditMarks::Resize(int inputs, int outputs) {
  auto fill = [](std::vector<std::unique_ptr<std::atomic<bool>>>& marks, int n) {
    marks.clear();
    for (int i = 0; i < std::max(n, 0); ++i) marks.push_back(std::make_unique<std::atomic<bool>>(false));
  };
  fill(inputs_, inputs);
  fill(outputs_, outputs);
}

std::atomic<bool>* EditMarks::Input(int row) {
  return row >= 0 && row < static_cast<int>(inputs_.size()) ? inputs_[static_cast<size_t>(row)].get() : nullptr;
}

std::atomic<bool>* EditMarks::Output(int row) {
  return row >= 0 && row < static_cast<int>(outputs_.size()) ? outputs_[static_cast<size_t>(row)].get() : nullptr;
}

// ---------------------------------------------------------------- the worker's tick

StatePoller::StatePoller(StateView& view, model::LinkOps* link, EditMarks& marks)
    : view_(view), link_(link), marks_(marks) {}

void StatePoller::Tick(BaseDevice::CBaseDevice* model) {
  if (!model) return;
  const bool inputs = inputsTurn_;
  inputsTurn_ = !inputsTurn_;
  if (inputs) {
    if (model->HasInputs()) ServeInputs(*model);
  } else if (model->HasOutputs()) {
    ServeOutputs();
  }
}

bool StatePoller::ReadRow(Parameter* parameter, std::atomic<bool>* mark, ValueText& cell, std::string& value,
                          bool& failed) {
  std::lock_guard lock(App().exchangeLock);
  if (!parameter || (mark && mark->load())) return false;
  if (link_) link_->ReadParameter(*parameter, 0);
  failed = !parameter->note.empty();
  if (failed)
    cell = parameter->note;
  else
    cell = parameter->value;
  value = parameter->value;
  return true;
}

void StatePoller::ServeInputs(BaseDevice::CBaseDevice& model) {
  const int rows = view_.GetInputRowCount();
  if (rows > 0) {
    inputRow_ = std::clamp(inputRow_, 0, rows - 1);
    ValueText cell;
    std::string value;
    bool failed = false;
    const bool served = ReadRow(view_.InputParameter(inputRow_), marks_.Input(inputRow_), cell, value, failed);
    if (served) view_.SetInputCell(inputRow_, cell);
    view_.SetInputRowColour(inputRow_, model::kBlack);
    inputRow_ = (inputRow_ + 1) % rows;
    if (served) view_.SetInputRowColour(inputRow_, kNextRowGreen);
  }
  model.UpdateStateList(&view_);
}

void StatePoller::ServeOutputs() {
  const int rows = view_.GetOutputRowCount();
  if (rows <= 0) return;
  if (lastOutputRow_ >= 0 && lastOutputRow_ < rows) view_.SetOutputRowColour(lastOutputRow_, model::kBlack);
  outputRow_ = std::clamp(outputRow_, 0, rows - 1);
  std::atomic<bool>* mark = marks_.Output(outputRow_);
  if (!(mark && mark->load()) && view_.OutputParameter(outputRow_)) view_.SetOutputRowColour(outputRow_, kNextRowGreen);
  ValueText cell;
  std::string value;
  bool failed = false;
  if (ReadRow(view_.OutputParameter(outputRow_), mark, cell, value, failed)) {
    view_.SetOutputCell(outputRow_, cell);
    if (BaseDevice::StateIndicator* indicator = view_.GetOutputIndicator(outputRow_)) {
      // Against what is to be shown: a failed read keeps the last good value in the
      // parameter, and the indicator must still go off.
      const std::string shown = failed ? std::string() : value;
      if (indicator->GetStateText() != shown) {
        indicator->SetStateText(shown);
        indicator->Invalidate();
      }
    }
  }
  lastOutputRow_ = outputRow_;
  outputRow_ = (outputRow_ + 1) % rows;
}

// ---------------------------------------------------------------- the handlers' writes

bool ResetCounter(Parameter& parameter, model::LinkOps& link, std::atomic<bool>* mark) {
  std::string note;
  const bool written = WriteValue(parameter, "0", link, note);
  if (!written) ReportWriteFailure(parameter, note);
  ClearMark(mark);
  return written;
}

OutputEdit WriteEditedOutput(Parameter& parameter, const std::string& text, model::LinkOps& link,
                             const BaseDevice::CBaseDevice* model, std::atomic<bool>* mark) {
  if (text == kNoValueShort) {
    ClearMark(mark);
    return OutputEdit::Unchanged;
  }
  std::string note;
  bool accepted = false, written = false;
  {
    // A typed value is read as the tree reads it: "abc" or "0,5" is never written as 0.
    std::lock_guard lock(App().exchangeLock);
    accepted = parameter.CheckAndSetValue(text, false) != 0;
    if (accepted) written = link.WriteParameter(parameter, 1) == 0;
    note = parameter.note;
  }
  ClearMark(mark);
  if (!accepted) {
    ReportWriteFailure(parameter, RejectedValueMessage(parameter, text, false));
    return OutputEdit::Refused;
  }
  if (!written) {
    const bool m12 = model && std::string_view(model->GetRuntimeClassName()) == "CZ580M12";
    ReportWriteFailure(parameter, m12 ? platform::Format(resources::LoadString(kStrNotWritten).c_str(),
                                                          parameter.name.c_str())
                                      : note);
    return OutputEdit::NotWritten;
  }
  return OutputEdit::Written;
}

std::string SwitchAllOutputs(const std::vector<Parameter*>& outputs, model::LinkOps& link) {
  std::vector<std::string> values;
  {
    std::lock_guard lock(App().exchangeLock);
    for (const Parameter* p : outputs)
      if (p) values.push_back(p->value);
  }
  const std::string target = AllOutputsValue(values);
  for (Parameter* p : outputs) {
    if (!p) continue;
    std::string note;
    // The first output the module refuses ends the switch: it is reported, the
    // outputs after it are left as they are.
    if (!WriteValue(*p, target, link, note)) {
      ReportWriteFailure(*p, note);
      break;
    }
  }
  return target;
}

// ---------------------------------------------------------------- the worker thread

StatePollThread::StatePollThread(std::function<void()> tick, std::function<void()> stopped, int periodMs)
    : tick_(std::move(tick)), onStopped_(std::move(stopped)), periodMs_(periodMs) {}

StatePollThread::~StatePollThread() {
  stopRequest_.Set();
  if (thread_.joinable()) thread_.join();
}

void StatePollThread::Start() {
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

bool StatePollThread::OnCancel() {
  if (stopped_.IsSet() || !thread_.joinable()) return true;
  stopRequest_.Set();
  return false;
}

void StatePollThread::Run() {
  using Clock = std::chrono::steady_clock;
  auto due = Clock::now() + std::chrono::milliseconds(1);
  for (;;) {
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count();
    if (stopRequest_.Wait(static_cast<int>(std::max<long long>(wait, 0)))) break;
    if (tick_) tick_();
    // Periodic, like the waitable timer: missed ticks are not made up in a burst.
    due += std::chrono::milliseconds(periodMs_);
    if (due < Clock::now()) due = Clock::now();
  }
  stopped_.Set();
  if (onStopped_) onStopped_();
}

}  // namespace Dialogs
