#pragma once
// The first analog-input dialog without its window: the calibration types with
// their texts and sensor lists, the access check with its counter of wrong codes
// (kept across openings), the sensor-type write to "in-t", the texts shown around
// the second dialog, and the module's status-byte texts.
#include <cstdint>
#include <string>
#include <vector>

class DescBranch;

namespace calibration {

class CalibrationLink;

// The type combo (index = type): its text id, the description id (0: none).
int TypeTextId(int type);
int TypeDescriptionId(int type);
// The sensor list of a type: string ids in list order (empty: no list).
const std::vector<int>& SensorTextIds(int type);
// The byte written to "in-t" for the sensor at that list position, -1 outside.
int SensorCode(int type, int position);
// The instruction passed to the second dialog (type 1: 494 + the index of the
// sensor code; the others 494, which the second dialog replaces).
int InstructionId(int type, int sensorCode);
// The instruction that the second dialog shows at its start instead, 0: keep.
int StartTextId(int type);
inline constexpr int kChannelCount = 8;

// The access check of the first dialog.
enum class CodeCheck { Right, Wrong, WrongAndClose };
// The code text is read as a decimal number; right resets the counter of wrong
// codes, every fourth wrong one in a row closes the dialog.
CodeCheck CheckAccessCode(int type, const std::string& typed);
// The counter of wrong codes (tests put it back).
int WrongCodeCount();
void ResetWrongCodeCount();

// Writes the sensor code to "in-t" as three raw bytes and reads the tree's "in-t"
// back; asks (Yes/No, 515) after a failure and repeats on Yes. False: the user
// said No, the first dialog closes.
bool WriteSensorCode(CalibrationLink& link, DescBranch* tree, int sensorCode, int channel);

// The boxes around the second dialog, by model (false: the analog-input model of
// index 8, true: index 0) and type.
struct ModelTexts {
  std::string before;
  std::string after;
};
ModelTexts TextsAroundCalibration(bool firstModel, const std::string& displayName, int type);

// The status byte's text; true only for 0 (success).
bool StatusText(uint8_t status, std::string& text);

}  // namespace calibration
