#pragma once
// Runs the calibration window a model names, modally on the window thread.
#include <QPointer>
#include <QWidget>

#include "devices/CalibrationLauncher.h"

class CalibrationLauncherQt : public BaseDevice::CalibrationLauncher {
 public:
  void Run(BaseDevice::CalibrationWizard wizard, BaseDevice::CBaseDevice& model) override;
  // The windows' parent (the main window); may stay null.
  QPointer<QWidget> parent;
};

// Makes the program's launcher the one the models use (once, at start-up); the
// windows open over parent.
void RegisterCalibrationLauncher(QWidget* parent = nullptr);
