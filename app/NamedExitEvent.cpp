#include "app/NamedExitEvent.h"

#include <fcntl.h>
#include <limits.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

namespace {

// Whether any process (this one through another handle, too) has the semaphore
// open: an open named semaphore is a shared mapping of its file under /dev/shm, by
// the name the system first made it under, so the file is known by its inode.
bool HeldByAnyProcess(const std::string& systemName) {
  struct stat file {};
  if (::stat(("/dev/shm/sem." + systemName.substr(1)).c_str(), &file) != 0) return false;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return true;  // cannot tell: keep the event as it is
  bool held = false;
  while (!held) {
    const dirent* entry = ::readdir(proc);
    if (entry == nullptr) break;
    const std::string pid = entry->d_name;
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream maps("/proc/" + pid + "/maps");
    std::string line;
    while (!held && std::getline(maps, line)) {
      // address perms offset device inode path
      std::istringstream fields(line);
      std::string address, perms, offset, device, path;
      unsigned long long inode = 0;
      if (!(fields >> address >> perms >> offset >> device >> inode >> path)) continue;
      held = inode == file.st_ino && path.rfind("/dev/shm/", 0) == 0;
    }
  }
  ::closedir(proc);
  return held;
}

}  // namespace

std::string NamedExitEvent::NameProblem(const std::string& name) {
  // The system's names have one leading '/' and no other, and a bounded length
  // (its file is "sem." and the name without the '/').
  if (name.empty()) return "an exit event needs a name";
  if (name.find('/') != std::string::npos) return "an exit event's name has no \"/\"";
  if (SystemNameFor(name).size() > NAME_MAX - 4)
    return "an exit event's name has at most " + std::to_string(NAME_MAX - 4 - SystemNameFor("").size()) + " bytes";
  return {};
}

NamedExitEvent::NamedExitEvent(const std::string& name) : systemName_(SystemNameFor(name)) {
  if (!NameProblem(name).empty()) {
    error_ = EINVAL;
    return;
  }
  for (int attempt = 0; attempt < 2; ++attempt) {
    semaphore_ = ::sem_open(systemName_.c_str(), O_CREAT | O_EXCL, 0600, 0);
    if (semaphore_ != SEM_FAILED) {
      created_ = true;
      return;
    }
    if (errno != EEXIST) {
      error_ = errno;
      return;
    }
    // A named event lives while a process holds it. One that nobody holds was left
    // by a run that was killed, maybe set: a new run starts from a clear one.
    if (attempt > 0 || HeldByAnyProcess(systemName_)) break;
    ::sem_unlink(systemName_.c_str());
  }
  semaphore_ = ::sem_open(systemName_.c_str(), 0);
  if (semaphore_ == SEM_FAILED) error_ = errno;
}

NamedExitEvent::~NamedExitEvent() {
  if (semaphore_ == SEM_FAILED) return;
  ::sem_close(semaphore_);
  // An event another process made stays for that process.
  if (created_) ::sem_unlink(systemName_.c_str());
}

bool NamedExitEvent::IsSet() const {
  int value = 0;
  return semaphore_ != SEM_FAILED && ::sem_getvalue(semaphore_, &value) == 0 && value > 0;
}

void NamedExitEvent::Set() {
  if (semaphore_ != SEM_FAILED && !IsSet()) ::sem_post(semaphore_);
}
