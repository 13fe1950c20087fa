#include "model/WalkScope.h"

namespace model {
namespace {
thread_local int tDepth = 0;
thread_local bool tStopped = false;
}  // namespace

WalkScope::WalkScope() { ++tDepth; }

WalkScope::~WalkScope() {
  if (--tDepth == 0) tStopped = false;
}

void WalkScope::StopCurrentWalk() {
  if (tDepth > 0) tStopped = true;
}

bool WalkScope::CurrentWalkStopped() { return tStopped; }

}  // namespace model
