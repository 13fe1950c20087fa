#include "platform/RunFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/CFormat.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

bool SameNode(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The run's standard input, output or error ("/dev/stderr", or the file it goes to).
bool StandardStream(const struct stat& node) {
  for (int fd : {0, 1, 2}) {
    struct stat stream {};
    if (::fstat(fd, &stream) == 0 && SameNode(stream, node)) return true;
  }
  return false;
}

bool NullDevice(const struct stat& node) {
  struct stat null {};
  return S_ISCHR(node.st_mode) && ::stat("/dev/null", &null) == 0 && node.st_rdev == null.st_rdev;
}

// The same file by any path or link; for files not there yet, the same path once
// links and dots are resolved.
bool SamePath(const std::string& a, const std::string& b) {
  std::error_code error;
  if (fs::equivalent(a, b, error)) return true;
  if (!error) return false;
  std::error_code errorA, errorB;
  const fs::path canonicalA = fs::weakly_canonical(a, errorA);
  const fs::path canonicalB = fs::weakly_canonical(b, errorB);
  if (!errorA && !errorB) return canonicalA == canonicalB;
  return fs::path(a).lexically_normal() == fs::path(b).lexically_normal();
}

std::string SystemReason(int err) { return std::error_code(err, std::generic_category()).message(); }

// Why a file of this kind cannot be the log: opening or writing it could wait for
// somebody (a FIFO without a reader, a socket) or write into a device. `fd` is the
// opened file, or -1 to look at the path.
std::string KindProblem(const std::string& path, const struct stat& node, int fd) {
  if (S_ISREG(node.st_mode) || StandardStream(node) || NullDevice(node)) return {};
  const std::string log = Format("\"/elog:%s\"", path.c_str());
  if (S_ISDIR(node.st_mode)) return log + " is a folder";
  if (S_ISCHR(node.st_mode)) {
    bool terminal = fd >= 0 && ::isatty(fd);
    if (fd < 0) {
      const int opened = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
      terminal = opened >= 0 && ::isatty(opened);
      if (opened >= 0) ::close(opened);
    }
    if (terminal) return {};
  }
  const char* kind = S_ISFIFO(node.st_mode) ? "a FIFO" : S_ISSOCK(node.st_mode) ? "a socket" : "a device";
  return log + " is " + kind +
         ": the error log is a regular file, a terminal or a standard stream, never one the run may wait for";
}

}  // namespace

void RunFiles::Add(std::string what, std::string path) {
  if (!path.empty()) files_.emplace_back(std::move(what), std::move(path));
}

const std::pair<std::string, std::string>* RunFiles::Same(const std::string& path) const {
  for (const auto& file : files_)
    if (SamePath(path, file.second)) return &file;
  return nullptr;
}

std::string RunFiles::Names(const std::string& path) const {
  const auto* file = Same(path);
  return file ? file->first : std::string();
}

std::string RunFiles::LogProblem(const std::string& path) const {
  if (const auto* file = Same(path))
    return Format("\"/elog:%s\" names %s \"%s\": the error log would empty it", path.c_str(), file->first.c_str(),
                  file->second.c_str());
  struct stat node {};
  if (::stat(path.c_str(), &node) != 0) return {};  // made as a file of its own
  return KindProblem(path, node, -1);
}

int RunFiles::OpenLog(const std::string& path, bool fresh, std::string* error) const {
  auto fail = [error](std::string why) {
    if (error != nullptr) *error = std::move(why);
    return -1;
  };
  if (std::string problem = LogProblem(path); !problem.empty()) return fail(std::move(problem));
  // Not emptied yet: the file opened is checked first, whatever was renamed since.
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (fresh ? O_CREAT : 0), 0644);
  if (fd < 0) return fail(Format("cannot open the error log \"%s\": %s", path.c_str(), SystemReason(errno).c_str()));
  struct stat node {};
  std::string why = ::fstat(fd, &node) != 0 ? SystemReason(errno) : KindProblem(path, node, fd);
  for (const auto& [what, file] : files_) {
    struct stat own {};
    if (why.empty() && ::stat(file.c_str(), &own) == 0 && SameNode(own, node))
      why = Format("\"/elog:%s\" names %s \"%s\"", path.c_str(), what.c_str(), file.c_str());
  }
  if (why.empty() && fresh && S_ISREG(node.st_mode) && !StandardStream(node) && ::ftruncate(fd, 0) != 0)
    why = Format("cannot empty the error log \"%s\": %s", path.c_str(), SystemReason(errno).c_str());
  if (!why.empty()) {
    ::close(fd);
    return fail(std::move(why));
  }
  // Lines then wait as lines to standard error do.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace platform
