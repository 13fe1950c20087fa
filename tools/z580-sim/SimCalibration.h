#pragma once
// The module's side of the calibration commands: the common analog-input steps
// ("JuSh"/"JuSc" then "JuRD" with busy answers), the analog-input calibration task
// ("CLB.I", "CLB.S" with its done flag in bit 7, "CLB.T", "CLB.G" coefficients,
// "CLB.P", "CLB.A"), the analog-output points ("CLB.K" indexed, with attributes)
// and the tare weight ("U.Wgh" takes "Rd.fF" as "p.wgh"). Faults are scripted by
// commands (see ApplyCommand).
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "SimFrameCodec.h"
#include "SimParameterTable.h"

namespace z580sim {

class Simulator;

class SimCalibration {
 public:
  explicit SimCalibration(int model) : model_(model) {}

  // Shapes the table entries these commands need (index ranges, attributes).
  void AdjustSpec(ParameterSpec& spec) const;

  // The stored value of a name's slot, or null (the simulator's table).
  using ValueSlot = std::function<Bytes*(const std::string& name, size_t slot)>;

  enum class Handling {
    NotMine,  // the table answers as usual
    Answered, // data and outcome set
    Silent,   // no reply at all
  };
  // Called with the simulator's lock held, before the table answers.
  Handling Answer(const Frame& request, Bytes& data, std::string& outcome, const ValueSlot& values);

  // Commands (the words of one fault command):
  //   jurd CODE            "JuRD" value after the busy answers (0 success)
  //   jurd-busy N          busy answers (6) after every step command
  //   clbs-busy N|never    "CLB.S" reads before the done flag (default 1)
  //   clb-status CODE      status byte of the measurement's end
  //   clbt N               number of the faulty coefficient (0 none)
  //   clbg-size N          bytes of a "CLB.G" answer: 5, 2 or 3
  //   clbp-status CODE [N] status of the next N "CLB.P" answers
  //   clbp-silent [N]      the next N "CLB.P" get no answer ("all" until cleared)
  //   locked NAME | unlocked NAME   the parameter's editable attribute
  //   weight CHANNEL VALUE "Rd.fF" of the channel
  // NotMine when the verb is none of these; error set when malformed.
  enum class CommandResult { NotMine, Done, Failed };
  CommandResult ApplyCommand(Simulator& sim, const std::vector<std::string>& words, std::string* error);
  // Back to the defaults ("clear").
  void Reset();

 private:
  const int model_;
  std::mutex mutex_;
  // scripted
  int jurdBusy_ = 0;
  int statusBusyReads_ = 1;  // -1: never done
  int measureStatus_ = 0;
  int faultyCoefficient_ = 0;
  int coefficientSize_ = 5;
  int writeStatus_ = 0;
  int writeStatusCount_ = 0;
  int silentWrites_ = 0;  // -1: all
  // state
  int busyLeft_ = 0;
  int statusReadsLeft_ = 0;
  bool running_ = false;
  bool done_ = false;
};

}  // namespace z580sim
