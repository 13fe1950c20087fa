// zt580: the configurator of the Z580 modules.
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

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // The command line is read before the toolkit, which must know whether the run
  // needs a display at all.
  CmyCommandLineInfo commandLine(StartDirectory());
  commandLine.ParseWords(std::vector<std::string>(argv + 1, argv + argc));
  if ((commandLine.batch.modeFlags & exchange::kModeSilent) && !HasDisplay())
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

  InstallToolkitMessageFilter((commandLine.batch.runFlags & exchange::kRunBatch) != 0);
  CPelmApp application(argc, argv, std::move(commandLine));
  if (application.InitInstance() && !application.QuitRequested()) application.exec();
  return application.ExitInstance();
}
