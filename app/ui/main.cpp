// zt580: the configurator of the Z580 modules.
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/CmyCommandLineInfo.h"
#include "app/ui/CPelmApp.h"
#include "app/ui/ToolkitMessageFilter.h"

namespace {

std::string StartDirectory() {
  std::error_code error;
  const std::filesystem::path directory = std::filesystem::current_path(error);
  return error ? std::string() : directory.string();
}

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// A run that never keeps a window for the user: it closes at the end of its task,
// or ends without one.
bool NeedsNoWindow(const exchange::BatchSettings& batch) {
  if (!(batch.runFlags & exchange::kRunBatch)) return false;
  return (batch.runFlags & (exchange::kRunClose | exchange::kRunCalibrate)) != 0 ||
         (batch.modeFlags & (exchange::kModeSilent | exchange::kModeTest)) != 0;
}

constexpr const char* kNoDisplay =
    "zt580: no display to show the window on (DISPLAY is not set or cannot be reached); "
    "an unattended run with /close needs none\n";
constexpr int kNoDisplayExitCode = 1;

}  // namespace

int main(int argc, char** argv) {
  // The command line is read before the toolkit, which must know whether the run
  // needs a display at all.
  CmyCommandLineInfo commandLine(StartDirectory());
  commandLine.ParseWords(std::vector<std::string>(argv + 1, argv + argc));
  const bool windowless = NeedsNoWindow(commandLine.batch);
  // The platform the user chose stays; otherwise a run without a display takes the
  // offscreen platform when it needs no window, and one that needs a window ends
  // with a line instead of the toolkit's abort.
  const bool platformChosen = IsSet("QT_QPA_PLATFORM");
  if (!platformChosen) {
    const bool display = IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
    if (!display && !windowless) {
      std::fputs(kNoDisplay, stderr);
      return kNoDisplayExitCode;
    }
    if (!display) {
      ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    } else if (!IsSet("WAYLAND_DISPLAY")) {
      // A display that cannot be reached falls back instead of aborting.
      ::setenv("QT_QPA_PLATFORM", "xcb;offscreen", 1);
    }
  }

  InstallToolkitMessageFilter((commandLine.batch.runFlags & exchange::kRunBatch) != 0);
  CPelmApp application(argc, argv, std::move(commandLine));
  if (!platformChosen && !windowless && QGuiApplication::platformName() == QStringLiteral("offscreen")) {
    std::fputs(kNoDisplay, stderr);
    return kNoDisplayExitCode;
  }
  if (application.InitInstance() && !application.QuitRequested()) application.exec();
  return application.ExitInstance();
}
