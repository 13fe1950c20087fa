#include "app/ProgramFiles.h"

#include <filesystem>

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
