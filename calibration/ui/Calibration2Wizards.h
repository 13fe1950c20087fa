#pragma once
// Builds and runs the strain-gauge, pH/redox, mains and inductance wizards for
// the launcher.
#include <QWidget>

#include "devices/CalibrationLauncher.h"

class CPelmDoc;

namespace calibration {
class CalibrationLink;
}

void RunCalibration2Wizard(BaseDevice::CalibrationWizard wizard, calibration::CalibrationLink& link, CPelmDoc& document,
                           BaseDevice::CBaseDevice& model, QWidget* parent);
