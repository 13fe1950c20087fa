#include "calibration/ui/Calibration2Wizards.h"

#include "app/CPelmDoc.h"
#include "calibration/ui/CSheetPH.h"
#include "calibration/ui/CSheetPW.h"
#include "calibration/ui/CSheetTD.h"
#include "calibration/ui/CSheetVI.h"
#include "devices/CDevicePW.h"
#include "devices/CZ580M14.h"
#include "link/AppState.h"

void RunCalibration2Wizard(BaseDevice::CalibrationWizard wizard, calibration::CalibrationLink& link, CPelmDoc& document,
                           BaseDevice::CBaseDevice& model, QWidget* parent) {
  using BaseDevice::CalibrationWizard;
  DescBranch* tree = document.GetParameterTree();
  DescBranch* polled = document.GetPolledBranch();
  switch (wizard) {
    case CalibrationWizard::StrainGauge: {
      auto* scale = dynamic_cast<BaseDevice::CZ580M14*>(&model);
      CalibrationTD::CSheetTD sheet(&link, tree, polled, scale != nullptr && scale->IsFourChannel(), parent);
      sheet.RunModal();
      break;
    }
    case CalibrationWizard::PhRedox: {
      CalibrationPH::CSheetPH sheet(&link, tree, polled, parent);
      sheet.RunModal();
      break;
    }
    case CalibrationWizard::Mains:
      if (auto* mains = dynamic_cast<BaseDevice::CDevicePW*>(&model)) {
        CalibrationPW::CSheetPW sheet(&link, *mains, App().modelIndex.load(), parent);
        sheet.RunModal();
      }
      break;
    case CalibrationWizard::Inductance: {
      CalibrationVI::CSheetVI sheet(&link, tree, polled, parent);
      sheet.RunModal();
      break;
    }
    default:
      break;
  }
}
