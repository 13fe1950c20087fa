#pragma once
// The window thread's side of polling: takes the poll records out of the queue one
// by one and shows each in its parameter's row (bits of "r.cn" and "s.do", status
// texts of "Rd.St", the reading's caption of "Rd.Rs", the codes of "SRD").
#include "app/PelmTreeRows.h"
#include "link/PollResult.h"

namespace BaseDevice {
class DeviceDocument;
}

// Drains the queue; document may be null (then a "Rd.Rs" record ends the drain).
// Returns the number of records taken.
int DrainPollResults(exchange::PollResultQueue& queue, PelmTreeRows& rows, BaseDevice::DeviceDocument* document);

// The text of a measurement status code of "SRD" (strings 330-337, else 196).
int SrdCodeTextId(int code);
