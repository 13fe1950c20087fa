#pragma once
// Reading parameters that the scan thread may poll at the same moment: the
// shared parameter is copied under the exchange lock and the copy is read, so the
// wizards never race the poll for the value text. Status words ("Rd.St") are
// looked up in the polled branch first, where the descriptions put them.
#include <optional>
#include <string>
#include <string_view>

class DescBranch;
class Parameter;

namespace calibration {

class CalibrationLink;

// One reading carried by value.
struct Reading {
  bool ok = false;
  std::string value;            // the value text (ok), else the error text
  std::optional<float> number;  // a received float, when the type is "float"
};

// The polled branch's parameter of that name (and linear index), else the tree's.
Parameter* FindPolledFirst(DescBranch* polled, DescBranch* tree, std::string_view name, int key = 0);

// Reads a private copy of shared (null: a failed reading with an empty text).
Reading ReadSharedCopy(CalibrationLink& link, Parameter* shared);

// The decimal integer ("%i") of a value text, when one parses.
std::optional<int> StatusWord(const std::string& text);

// A temporary command or value parameter, indexed when index >= 0.
void MakeTemporary(Parameter& parameter, const std::string& type, const std::string& value, int index = -1);

}  // namespace calibration
