#include "devices/CalibrationLauncher.h"

#include <atomic>

namespace BaseDevice {

namespace {
std::atomic<CalibrationLauncher*> registeredLauncher{nullptr};
}

void SetCalibrationLauncher(CalibrationLauncher* launcher) { registeredLauncher = launcher; }

CalibrationLauncher* GetCalibrationLauncher() { return registeredLauncher; }

}  // namespace BaseDevice
