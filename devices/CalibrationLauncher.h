#pragma once
// The calibration windows a model opens (command "Юстировка", and the tare-weight
// item of the strain-gauge models). The device models name the window as data; the
// window layer registers the launcher that builds and runs it, so that devices/
// never depends on the toolkit.
namespace BaseDevice {

class CBaseDevice;

enum class CalibrationWizard {
  None,
  AnalogInputDialogs,  // indexes 0, 8: the two analog-input dialogs
  AnalogOutputDialog,  // indexes 1, 2
  CommonAnalogInput,   // indexes 7, 17: the common analog-input wizard
  Inductance,          // index 12
  StrainGauge,         // indexes 13, 14
  PhRedox,             // index 18
  Mains,               // indexes 19-22 (20 with its third step page)
  TareWeight,          // indexes 13, 14, command 111
};

class CalibrationLauncher {
 public:
  virtual ~CalibrationLauncher() = default;
  // Runs the window modally on the window thread; returns when it is closed.
  virtual void Run(CalibrationWizard wizard, CBaseDevice& model) = 0;
};

// Set once by the window layer at start-up (null: calibration windows are not built).
void SetCalibrationLauncher(CalibrationLauncher* launcher);
CalibrationLauncher* GetCalibrationLauncher();

}  // namespace BaseDevice
