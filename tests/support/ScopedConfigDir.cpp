#include "support/ScopedConfigDir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

ScopedConfigDir::ScopedConfigDir(const std::string& tag) {
  std::string pattern = "/tmp/" + tag + "-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) throw std::runtime_error("cannot make a settings folder under /tmp");
  path_ = buffer.data();
  if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
    hadPrevious_ = true;
    previous_ = old;
  }
  setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
}

ScopedConfigDir::~ScopedConfigDir() {
  if (hadPrevious_)
    setenv("XDG_CONFIG_HOME", previous_.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}
