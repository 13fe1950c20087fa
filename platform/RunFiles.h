#pragma once
// The files a run reads or writes for its own purposes (the configuration file,
// the settings, the model descriptions, the program itself), and the one way to
// open the error log: never one of them, by whatever path or link it is named, and
// never a file whose opening or writing could wait (a FIFO without a reader).
#include <string>
#include <utility>
#include <vector>

namespace platform {

class RunFiles {
 public:
  // `what` names the file in a refusal ("the configuration file").
  void Add(std::string what, std::string path);

  // What the run's file that `path` names is ("the settings file"), or empty.
  std::string Names(const std::string& path) const;

  // Why the error log may not be the file at `path`: it is one of the run's files,
  // or it is a folder, or neither a regular file nor a terminal, a standard stream
  // of the run or the null device. Empty when it may.
  std::string LogProblem(const std::string& path) const;

  // Opens the log for appending without waiting. `fresh`: made, or emptied when it
  // is a file of its own (a standard stream or a terminal is never emptied);
  // otherwise it must exist. -1, with the reason in `error`, when LogProblem
  // refuses it or it cannot be opened.
  int OpenLog(const std::string& path, bool fresh, std::string* error = nullptr) const;

 private:
  // The run's file that `path` names, or null.
  const std::pair<std::string, std::string>* Same(const std::string& path) const;

  std::vector<std::pair<std::string, std::string>> files_;
};

}  // namespace platform
