#pragma once
// What the input/output state dialog decides, without its windows: where its
// numbered indicators go, what its 100 ms worker does on each tick, the
// indicators' colours, the all-outputs switch, a counter reset, an output edit,
// and the two-step stop (the first Cancel only asks the worker to end).
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "devices/CBaseDevice.h"
#include "devices/StateDialog.h"
#include "model/MyConverter.h"
#include "model/TreeRows.h"
#include "platform/Event.h"

class Parameter;

namespace model {
class LinkOps;
}

namespace Dialogs {

// At most this many indicators per side.
inline constexpr int kMaxLeds = 32;

struct LedPlace {
  int number = 0;  // shown text, from 1; indicator k belongs to table row k - 1
  int column = 0;
  int row = 0;
  BaseDevice::Rect rect;  // dialog units
};

// The indicators of one side for a table of rowCount rows: columns rowCount / 2
// (at most 8), rows rowCount / columns, numbered row by row. One row gives one
// indicator; never more than kMaxLeds.
std::vector<LedPlace> LayoutLeds(int rowCount, const BaseDevice::Rect& first, int columnStep, int rowStep);

// Colours of the indicators.
enum class LedPaint { Default, Orange, LightGreen, Hatched };
inline constexpr model::ColorRef kOrange = model::Rgb(255, 176, 98);
inline constexpr model::ColorRef kLightGreen = model::Rgb(113, 255, 113);
inline constexpr model::ColorRef kHatchGreen = model::Rgb(0, 128, 0);
inline constexpr model::ColorRef kNextRowGreen = model::Rgb(0, 180, 0);
// An input indicator is orange for the state "1".
LedPaint InputLedPaint(const std::string& stateText);
// An output indicator by its value times 1000: 0 default, 1000 light green, other hatched.
LedPaint OutputLedPaint(const std::string& stateText);

// The value the all-outputs switch gives every output: "1" when any value reads
// as the number 0 (a value never read counts as 0), else "0".
std::string AllOutputsValue(const std::vector<std::string>& values);

// The dialog's tables and indicators as the worker and the handlers change them.
// The worker calls the Set* operations from its own thread: the window layer
// queues them (by value) for the window thread.
class StateView : public BaseDevice::StateDialog {
 public:
  // Parameter of column 0 of a row, or null.
  virtual Parameter* InputParameter(int row) = 0;
  virtual int GetOutputRowCount() = 0;
  virtual Parameter* OutputParameter(int row) = 0;
  virtual BaseDevice::StateIndicator* GetOutputIndicator(int row) = 0;
  virtual void SetInputCell(int row, const ValueText& text) = 0;
  virtual void SetInputRowColour(int row, model::ColorRef colour) = 0;
  virtual void SetOutputCell(int row, const ValueText& text) = 0;
  virtual void SetOutputRowColour(int row, model::ColorRef colour) = 0;
};

// The rows being edited: the worker neither reads nor colours them. One atomic
// mark per parameter row, set by the start of an edit and cleared after its write.
class EditMarks {
 public:
  void Resize(int inputs, int outputs);
  std::atomic<bool>* Input(int row);
  std::atomic<bool>* Output(int row);

 private:
  std::vector<std::unique_ptr<std::atomic<bool>>> inputs_;
  std::vector<std::unique_ptr<std::atomic<bool>>> outputs_;
};

// One tick of the worker each call, alternately inputs and outputs (inputs first;
// the turn passes also when a side is missing).
class StatePoller {
 public:
  StatePoller(StateView& view, model::LinkOps* link, EditMarks& marks);
  void Tick(BaseDevice::CBaseDevice* model);

 private:
  void ServeInputs(BaseDevice::CBaseDevice& model);
  void ServeOutputs();
  // Reads the parameter under the exchange lock unless its row is marked; the text
  // for column 0 (the note, else the value) and the value; false when marked.
  bool ReadRow(Parameter* parameter, std::atomic<bool>* mark, ValueText& cell, std::string& value,
               bool& failed);

  StateView& view_;
  model::LinkOps* link_;
  EditMarks& marks_;
  bool inputsTurn_ = true;
  int inputRow_ = 0;
  int outputRow_ = 0;
  int lastOutputRow_ = -1;
};

// The handlers' writes. Each sets the value and writes it under the exchange lock,
// reports a failure (warning icon, caption "Ошибка параметра \"name\"") after the
// lock is released, and clears the row's mark.
// A counter reset: the counter gets "0".
bool ResetCounter(Parameter& parameter, model::LinkOps& link, std::atomic<bool>* mark);
// An edited output value; the model "CZ580M12" reports message 193, the others the
// note. A text that is no value of the output's type is refused with the rejected-
// value message and nothing is written; an unchanged "Н/Д" writes nothing.
enum class OutputEdit { Written, NotWritten, Refused, Unchanged };
OutputEdit WriteEditedOutput(Parameter& parameter, const std::string& text, model::LinkOps& link,
                             const BaseDevice::CBaseDevice* model, std::atomic<bool>* mark);
// The all-outputs switch; the first refused write is reported and ends it.
// Returns the value given.
std::string SwitchAllOutputs(const std::vector<Parameter*>& outputs, model::LinkOps& link);

// The worker thread: a tick every 100 ms (the first after 1 ms) until a stop is
// asked; then `stopped` runs on the worker's thread (the dialog posts its close).
class StatePollThread {
 public:
  StatePollThread(std::function<void()> tick, std::function<void()> stopped, int periodMs = 100);
  // Asks for the stop and joins (a dialog destroyed without the two steps).
  ~StatePollThread();
  StatePollThread(const StatePollThread&) = delete;
  StatePollThread& operator=(const StatePollThread&) = delete;

  void Start();
  // Cancel: true when the dialog may end now (the worker has stopped); otherwise
  // only the stop is asked and the dialog ends when the worker reports back.
  bool OnCancel();
  bool Stopped() const { return stopped_.IsSet(); }

 private:
  void Run();

  std::function<void()> tick_;
  std::function<void()> onStopped_;
  int periodMs_;
  platform::Event stopRequest_{true, false};
  platform::Event stopped_{true, false};
  std::thread thread_;
};

}  // namespace Dialogs
