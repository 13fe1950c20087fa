#include "app/ProgramFiles.h"

#include <filesystem>

#include "link/AppState.h"
#include "platform/SettingsStore.h"

namespace fs = std::filesystem;

std::string FindDataDirectory(const std::string& programDirectory) {
  std::error_code error;
  std::string beside = programDirectory;
  if (!beside.empty() && beside.back() != '/') beside += '/';
  if (fs::is_regular_file(beside + kDataFileName, error)) return beside;
  const std::string installed = beside + "../share/zt580/";
  if (fs::is_regular_file(installed + kDataFileName, error)) return installed;
  return beside;
}

bool FileHasContent(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(path, error) && fs::file_size(path, error) > 0 && !error;
}

platform::RunFiles RunFilesOf(const std::string& configurationFile) {
  platform::RunFiles files;
  files.Add("the configuration file", configurationFile);
  files.Add("the settings file", platform::HiveFilePath(platform::Hive::CurrentUser));
  files.Add("the settings file", platform::HiveFilePath(platform::Hive::LocalMachine));
  const std::string programDirectory = GetProgramDirectory("");
  files.Add("the model descriptions", programDirectory + kDataFileName);
  files.Add("the model descriptions", programDirectory + "../share/zt580/" + kDataFileName);
  std::error_code error;
  files.Add("the program", fs::read_symlink("/proc/self/exe", error).string());
  return files;
}
