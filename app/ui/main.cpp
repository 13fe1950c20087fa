// zt580: the configurator of the Z580 modules.
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/CmyCommandLineInfo.h"
#include "app/ProgramFiles.h"
#include "app/ui/CPelmApp.h"
#include "app/ui/ToolkitMessageFilter.h"
#include "link/AppState.h"
#include "link/ResultFlags.h"
#include "platform/StopSignals.h"

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
  // A stop signal from here on ends the run as the exit event does.
  platform::InstallStopSignals();
  // The command line is read before the toolkit, which must know whether the run
  // needs a display at all.
  CmyCommandLineInfo commandLine(StartDirectory());
  commandLine.ParseWords(std::vector<std::string>(argv + 1, argv + argc));
  // A word the run does not understand, or an error log that would empty one of
  // the run's files, ends it before anything is made, emptied or sent.
  if (!commandLine.refusals.empty()) {
    for (const std::string& line : commandLine.refusals) std::fprintf(stderr, "zt580: %s\n", line.c_str());
    return exchange::ExitCodeForResultFlags(exchange::kResultConnectFailed).value_or(1);
  }
  // The error log is never one of the run's own files, nor one it would wait for.
  platform::RunFiles runFiles = RunFilesOf(commandLine.fileName);
  if (!commandLine.errorLogPath.empty()) {
    if (const std::string problem = runFiles.LogProblem(commandLine.errorLogPath); !problem.empty()) {
      std::fprintf(stderr, "zt580: %s\n", problem.c_str());
      return exchange::ExitCodeForResultFlags(exchange::kResultMissingConfigFile).value_or(1);
    }
  }
  App().SetRunFiles(std::move(runFiles));
  const bool windowless = NeedsNoWindow(commandLine.batch);
  // Without a platform of the user's, a run without a display takes the offscreen
  // platform when it needs no window, and one that needs a window ends with a line.
  // A platform that cannot start (the user's, or the display's that cannot be
  // reached) falls back to offscreen instead of aborting the run.
  const char* chosen = std::getenv("QT_QPA_PLATFORM");
  const std::string platforms = chosen != nullptr ? chosen : "";
  const bool offscreenChosen = platforms.find("offscreen") != std::string::npos;
  if (platforms.empty()) {
    const bool display = IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
    if (!display && !windowless) {
      std::fputs(kNoDisplay, stderr);
      return kNoDisplayExitCode;
    }
    if (!display)
      ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    else
      ::setenv("QT_QPA_PLATFORM", IsSet("WAYLAND_DISPLAY") ? "wayland;xcb;offscreen" : "xcb;offscreen", 1);
  } else if (!offscreenChosen) {
    ::setenv("QT_QPA_PLATFORM", (platforms + ";offscreen").c_str(), 1);
  }

  InstallToolkitMessageFilter((commandLine.batch.runFlags & exchange::kRunBatch) != 0);
  CPelmApp application(argc, argv, std::move(commandLine));
  if (!offscreenChosen && !windowless && QGuiApplication::platformName() == QStringLiteral("offscreen")) {
    std::fputs(kNoDisplay, stderr);
    return kNoDisplayExitCode;
  }
  if (application.InitInstance() && !application.QuitRequested()) application.exec();
  return application.ExitInstance();
}
