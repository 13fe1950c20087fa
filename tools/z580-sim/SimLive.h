#pragma once
// A module in service: its polled readings drift, its counters count and its
// input and output words change, slowly and within bounds, as time passes. What a
// slot reads is a function of the time since start, so a run is reproducible and a
// poll of any rate sees values move. Settings stay as written.
#include <string>

#include "SimFrameCodec.h"
#include "SimParameterTable.h"

namespace z580sim {

enum class LiveKind {
  Fixed,    // keeps its stored value
  Reading,  // a measured float (with the status bytes after it kept): a slow wave
  Counter,  // counts up, each channel at its own rate, wrapping at its width
  Bits,     // a word of input or output states: one bit changes at a time
};

// How a polled parameter moves; Fixed for every other parameter.
LiveKind LiveKindOf(const ParameterSpec& spec);

// The value of slot at `seconds` since start; `base` is the slot's value at start
// (the centre of a reading, the first count).
Bytes LiveValue(LiveKind kind, const Bytes& base, int slot, double seconds);

// The bytes of a value given as text for a parameter: a number for a float (its
// status bytes, if any, from `current`), an integer, an enumeration item's text
// (as the program shows it) or number, the characters of a text (blanks included), or "hex:" and the bytes as on the wire for any form.
// False when the text does not fit the parameter.
bool ValueFromText(const ParameterSpec& spec, const std::string& text, const Bytes& current, Bytes& out);

}  // namespace z580sim
