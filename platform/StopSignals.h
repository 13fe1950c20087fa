#pragma once
// SIGTERM and SIGINT as a request to end the run, not a sudden death: the handler
// only notes the signal and makes a descriptor readable, and a thread of the
// program's own that waits on it ends the run as the exit event does (so that the
// file being read is kept, nothing more is sent and the named exit event goes).
#include "platform/Event.h"

namespace platform {

// Installs the handlers (once; later calls do nothing). False when they cannot be.
bool InstallStopSignals();

// Waits up to timeoutMs for a stop signal or for the event to be set. The
// signal's number once one came (and from then on), else 0.
int WaitForStopSignal(Event& event, int timeoutMs);

}  // namespace platform
