#include "devices/SplashWindow.h"

#include <atomic>

namespace BaseDevice {
namespace {
std::atomic<SplashWindow*> gSplash{nullptr};
}  // namespace

SplashWindow* CurrentSplashWindow() { return gSplash.load(); }

SplashWindow* SetSplashWindow(SplashWindow* window) { return gSplash.exchange(window); }

}  // namespace BaseDevice
