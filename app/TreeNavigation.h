#pragma once
// Moving the selection of the parameter tree to the previous or next parameter
// with a note (an exchange error or a difference).
#include "app/PelmTreeRows.h"

class CPelmDoc;

// Selects the next problem row after the selected one (forward) or the previous one
// (backward) and returns it; kNoItem when there is none (string 205 is shown when
// the search ran out) or nothing to start from.
model::TreeItem NavigateToProblem(PelmTreeRows& rows, CPelmDoc* document, bool forward);
