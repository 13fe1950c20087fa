#pragma once
// The module's side of the strain-gauge, pH/redox, mains and inductance
// calibrations: live readings set by command, the status word "Rd.St" that shows
// the busy bit for a few reads after a point write, the "Mode" word that marks
// each calibration step done in the model's own bits, the slope echoed by
// "U.Apl" on the pH/redox module, and device errors for a named parameter.
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "SimFrameCodec.h"
#include "SimParameterTable.h"

namespace z580sim {

class Simulator;

class SimCalibration2 {
 public:
  explicit SimCalibration2(int model) : model_(model) {}

  // Index ranges of the calibration parameters the wizards send with an index.
  void AdjustSpec(ParameterSpec& spec) const;

  struct Outcome {
    enum Kind { NotMine, Answered, DeviceError } kind = NotMine;
    uint8_t code = 0;  // DeviceError
    bool startsOnStore = false;  // NotMine: call Stored() when the table takes the write
  };
  // Called with the simulator's lock held, before the table answers.
  Outcome Answer(const Frame& request, Bytes& data, std::string& outcome);
  // The table took a write Answer left to it: the step it starts begins only now,
  // so a write the module refuses starts nothing.
  void Stored(const Frame& request);

  // Commands (the words of one fault command):
  //   reading NAME CHANNEL VALUE|invalid   a float reading ("Rd.fV", "Rd.fH", "Rd.Rs", ...)
  //   rdst WORD            "Rd.St" at rest (failure bits after a save)
  //   rdst-busy N|never    reads with the busy bit 0x10 after a point write (default 2)
  //   slope VALUE          what "U.Apl" answers on the pH/redox module (default 1.0)
  //   mode-delay N         "Mode" reads before a step's done bit (default 2)
  //   mode-error STEP      the error bit 0x01 with that step's answer (0: none)
  //   error-on NAME CODE [N|all]   "n.Err" CODE for the next N requests of NAME
  enum class CommandResult { NotMine, Done, Failed };
  CommandResult ApplyCommand(Simulator& sim, const std::vector<std::string>& words, std::string* error);
  void Reset();

 private:
  std::vector<unsigned> ModeDoneWords() const;

  const int model_;
  std::mutex mutex_;
  unsigned statusRest_ = 0;
  int statusBusyReads_ = 2;  // -1: never clears
  float slope_ = 1.0f;
  int modeDelay_ = 2;
  int modeErrorStep_ = 0;
  std::map<uint16_t, std::pair<uint8_t, int>> errors_;  // hash -> code, count (-1 all)
  // state
  int busyLeft_ = 0;
  unsigned modeStart_ = 0;
  int modeStep_ = 0;  // 0: not started; 1.. the step being worked on
  int modeReads_ = 0;
};

}  // namespace z580sim
