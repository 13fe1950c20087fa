#pragma once
// The external exit event of "exitevent": a manual-reset event another process can
// set, by name. A POSIX named semaphore "/z580-<name>" stands for it: set means a
// count above 0 (the waiter never takes it, so it stays set). The semaphore is
// unlinked at the end only when this process created it. Like a named event, it
// lives only while some process holds it: one that nobody holds (left, maybe set,
// by a run that was killed) is made anew.
#include <semaphore.h>

#include <string>

class NamedExitEvent {
 public:
  // Creates the event, or opens it when another process holds it; IsValid() tells
  // whether it worked (a name NameProblem refuses never does).
  explicit NamedExitEvent(const std::string& name);
  ~NamedExitEvent();
  NamedExitEvent(const NamedExitEvent&) = delete;
  NamedExitEvent& operator=(const NamedExitEvent&) = delete;

  bool IsValid() const { return semaphore_ != SEM_FAILED; }
  bool IsSet() const;
  // Sets the event (for another process, and tests).
  void Set();
  const std::string& SystemName() const { return systemName_; }
  bool Created() const { return created_; }
  // The system's error when the event could not be made or opened, else 0.
  int Error() const { return error_; }

  static std::string SystemNameFor(const std::string& name) { return "/z580-" + name; }
  // Why the system takes no event of that name ('/' in it, too long), or empty.
  static std::string NameProblem(const std::string& name);

 private:
  std::string systemName_;
  sem_t* semaphore_ = SEM_FAILED;
  bool created_ = false;
  int error_ = 0;
};
