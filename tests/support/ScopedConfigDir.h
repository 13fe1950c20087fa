#pragma once
// A private, empty settings folder for one test: XDG_CONFIG_HOME points at it while
// the object lives, and it is removed afterwards.
#include <string>

class ScopedConfigDir {
 public:
  explicit ScopedConfigDir(const std::string& tag = "z580");
  ~ScopedConfigDir();
  ScopedConfigDir(const ScopedConfigDir&) = delete;
  ScopedConfigDir& operator=(const ScopedConfigDir&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string previous_;
  bool hadPrevious_ = false;
};
