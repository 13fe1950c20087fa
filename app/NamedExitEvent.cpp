#include "app/NamedExitEvent.h"

#include <fcntl.h>
#include <limits.h>

#include <cerrno>

NamedExitEvent::NamedExitEvent(const std::string& name) : systemName_(SystemNameFor(name)) {
  // The system's names have one leading '/' and no other, and a bounded length.
  if (name.empty() || name.find('/') != std::string::npos || systemName_.size() > NAME_MAX - 4) return;
  semaphore_ = ::sem_open(systemName_.c_str(), O_CREAT | O_EXCL, 0600, 0);
  if (semaphore_ != SEM_FAILED) {
    created_ = true;
    return;
  }
  if (errno == EEXIST) semaphore_ = ::sem_open(systemName_.c_str(), 0);
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
