#pragma once
// The start-up splash window, which the factory shows while it builds a model
// whose construction checks values. The window layer installs an implementation;
// without one nothing is shown.
#include <string>

namespace BaseDevice {

class SplashWindow {
 public:
  virtual ~SplashWindow() = default;
  // Creates the window without a parent, showing the text.
  virtual void Create(const std::string& text) = 0;
  virtual void Destroy() = 0;
};

// The installed splash window, or null.
SplashWindow* CurrentSplashWindow();
// Installs one (null: none); returns the previous one.
SplashWindow* SetSplashWindow(SplashWindow* window);

}  // namespace BaseDevice
