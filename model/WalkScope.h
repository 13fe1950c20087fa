#pragma once
// Marks a walk of the parameter tree on the calling thread. The link can stop the
// walk it runs in (the limit of consecutive time-outs) without leaving anything
// behind: the stop ends with the outermost walk, so it never reaches the next walk
// or anything else the thread does afterwards. Every walk routine holds one.
namespace model {

class WalkScope {
 public:
  WalkScope();
  ~WalkScope();
  WalkScope(const WalkScope&) = delete;
  WalkScope& operator=(const WalkScope&) = delete;

  // Stops the walk that runs on this thread; nothing when none runs.
  static void StopCurrentWalk();
  // Whether the walk that runs on this thread was stopped.
  static bool CurrentWalkStopped();
};

}  // namespace model
