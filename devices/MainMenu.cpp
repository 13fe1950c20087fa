#include "devices/MainMenu.h"

#include <atomic>

namespace BaseDevice {

namespace {
std::atomic<MainMenu*> registeredMenu{nullptr};
}

void SetMainMenu(MainMenu* menu) { registeredMenu = menu; }

MainMenu* GetMainMenu() { return registeredMenu; }

}  // namespace BaseDevice
