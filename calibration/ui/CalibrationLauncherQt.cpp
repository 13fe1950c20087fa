#include "calibration/ui/CalibrationLauncherQt.h"

#include <memory>

#include "app/CPelmDoc.h"
#include "calibration/CalibrationLink.h"
#include "calibration/ui/CCalibrate1.h"
#include "calibration/ui/CCalibration.h"
#include "calibration/ui/Calibration2Wizards.h"
#include "calibration/ui/CWeightTDDlg.h"
#include "calibration/ui/CommonWizardPages.h"
#include "devices/CBaseDevice.h"
#include "devices/CZ580M01.h"
#include "devices/CZ580M03.h"
#include "devices/CZ580M14.h"
#include "devices/CZ580M18.h"
#include "link/AppState.h"
#include "link/Device.h"
#include "link/ModelTable.h"

void CalibrationLauncherQt::Run(BaseDevice::CalibrationWizard wizard, BaseDevice::CBaseDevice& model) {
  using BaseDevice::CalibrationWizard;
  auto* document = dynamic_cast<CPelmDoc*>(model.GetDocument());
  Device* device = document ? document->GetDevice() : nullptr;
  if (device == nullptr) return;
  calibration::DeviceCalibrationLink link(*device);
  DescBranch* tree = document->GetParameterTree();
  switch (wizard) {
    case CalibrationWizard::AnalogInputDialogs:
      Dialogs::RunAnalogInputCalibration(link, tree, dynamic_cast<BaseDevice::CZ580M01*>(&model) != nullptr,
                                         exchange::ModelDisplayName(App().modelIndex.load()), parent);
      break;
    case CalibrationWizard::AnalogOutputDialog: {
      calibration::OutputTypes types{};
      for (size_t i = 0; i < types.size(); ++i) types[i] = document->outputTable[i];
      const int outputs = dynamic_cast<BaseDevice::CZ580M03*>(&model) != nullptr ? 6 : 8;
      Dialogs::CCalibration dialog(link, types, outputs, parent);
      dialog.exec();
      break;
    }
    case CalibrationWizard::CommonAnalogInput: {
      const bool withoutToken3 = dynamic_cast<BaseDevice::CZ580M18*>(&model) != nullptr;
      std::unique_ptr<CmySheet> sheet = MakeCommonAnalogInputWizard(&link, tree, withoutToken3, parent);
      sheet->RunModal();
      break;
    }
    case CalibrationWizard::TareWeight: {
      auto* scale = dynamic_cast<BaseDevice::CZ580M14*>(&model);
      CWeightTDDlg dialog(link, tree, scale != nullptr && scale->IsFourChannel(), parent);
      dialog.exec();
      break;
    }
    case CalibrationWizard::Inductance:
    case CalibrationWizard::StrainGauge:
    case CalibrationWizard::PhRedox:
    case CalibrationWizard::Mains:
      RunCalibration2Wizard(wizard, link, *document, model, parent);
      break;
    case CalibrationWizard::None:
      break;
  }
}

void RegisterCalibrationLauncher(QWidget* parent) {
  static CalibrationLauncherQt launcher;
  launcher.parent = parent;
  BaseDevice::SetCalibrationLauncher(&launcher);
}
