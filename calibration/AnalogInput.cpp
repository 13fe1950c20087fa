#include "calibration/AnalogInput.h"

#include "calibration/AccessCodes.h"
#include "calibration/CalibrationLink.h"
#include "model/TypedNumber.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"

namespace calibration {

using resources::LoadString;

namespace {

const std::vector<int>& TypeOneSensors() {
  static const std::vector<int> ids = [] {
    std::vector<int> v;
    for (int id = kStrSensorCu50W1426; id <= kStrSensorNi1000W1617; ++id) v.push_back(id);
    return v;
  }();
  return ids;
}

const std::vector<int> kTypeTwoSensors = {kStrSensorThermocoupleL, kStrSensorThermocoupleJ, kStrSensorThermocoupleK,
                                          kStrSensorThermocoupleA1, kStrSensorThermocoupleB, kStrSensorThermocoupleA2,
                                          kStrSensorThermocoupleS, kStrSensorThermocoupleA3, kStrSensorThermocoupleR,
                                          kStrSensorThermocoupleT, kStrSensorThermocoupleN};
const std::vector<int> kTypeFourSensors = {kStrSensorValveResistive09, kStrSensorValveResistive20,
                                           kStrSensorValve0To20mA, kStrSensorValve0To5mA};
const std::vector<int> kNoSensors;

const std::vector<int> kTypeOneCodes = {2,  5,  10, 6,  8,  17, 9,  18, 1,  19, 15, 20, 3,  21, 4,  22, 16, 23,
                                        24, 25, 11, 12, 13, 7,  14, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40};
const std::vector<int> kTypeTwoCodes = {5, 21, 6, 22, 17, 23, 18, 24, 19, 25, 20};
const std::vector<int> kTypeFourCodes = {26, 41, 27, 28};

// Instruction index by sensor code 1..41.
const int kInstructionIndex[41] = {2, 0, 2, 2, 3, 3, 3, 0, 0, 0, 6, 6, 7, 8, 2, 1, 5, 4, 4, 3, 3,
                                   4, 4, 4, 4, 0, 0, 0, 0, 2, 9, 9, 9, 9, 9, 10, 10, 10, 10, 10, 10};

int wrongCodes = 0;

}  // namespace

int TypeTextId(int type) { return type >= 0 && type <= 4 ? kStrNotChosen + type : 0; }

int TypeDescriptionId(int type) { return type >= 1 && type <= 4 ? kStrCalibrationType4 + type : 0; }

const std::vector<int>& SensorTextIds(int type) {
  switch (type) {
    case 1: return TypeOneSensors();
    case 2: return kTypeTwoSensors;
    case 4: return kTypeFourSensors;
    default: return kNoSensors;
  }
}

int SensorCode(int type, int position) {
  const std::vector<int>* codes = type == 1 ? &kTypeOneCodes : type == 2 ? &kTypeTwoCodes
                                : type == 4 ? &kTypeFourCodes : nullptr;
  if (codes == nullptr || position < 0 || position >= static_cast<int>(codes->size())) return -1;
  return (*codes)[static_cast<size_t>(position)];
}

int InstructionId(int type, int sensorCode) {
  if (type == 1 && sensorCode >= 1 && sensorCode <= 41) return kStrFirstInstruction + kInstructionIndex[sensorCode - 1];
  return kStrFirstInstruction;
}

int StartTextId(int type) {
  switch (type) {
    case 2: return kStrHookupColdJunction;
    case 3: return kStrHookupFactory;
    case 4: return kStrValveClosedReady;
    default: return 0;
  }
}

CodeCheck CheckAccessCode(int type, const std::string& typed) {
  // The whole text is the code: "1234abc" is not 1234.
  const std::optional<double> number = model::ReadTypedNumber(typed.substr(0, 256), model::kWholeInt);
  if (number && *number == AccessCodeOfType(type)) {
    wrongCodes = 0;
    return CodeCheck::Right;
  }
  ++wrongCodes;
  if (wrongCodes % 4 == 0) {
    wrongCodes = 0;
    return CodeCheck::WrongAndClose;
  }
  return CodeCheck::Wrong;
}

int WrongCodeCount() { return wrongCodes; }

void ResetWrongCodeCount() { wrongCodes = 0; }

bool WriteSensorCode(CalibrationLink& link, DescBranch* tree, int sensorCode, int channel) {
  for (;;) {
    const FrameResult frame = link.Transact(
        0, "in-t", {static_cast<uint8_t>(sensorCode), 0, static_cast<uint8_t>(channel)});
    std::string error = frame.error;
    if (frame.ok) {
      Parameter* inT = tree ? tree->FindParameter("in-t") : nullptr;
      if (inT == nullptr) return true;
      if (link.ReadParameter(*inT) == 0) return true;
      error = inT->note;
    }
    const int answer = platform::ShowMessage(error + "\n" + LoadString(kStrRetryQuestion), LoadString(kStrWriteExchangeError),
                                             platform::MessageIcon::Error, platform::MessageButtons::YesNo);
    if (answer != platform::kAnswerYes) return false;
  }
}

ModelTexts TextsAroundCalibration(bool firstModel, const std::string& displayName, int type) {
  ModelTexts texts;
  if (firstModel) {
    texts.before = LoadString(kStrPressOkToStart);
    texts.after = type == 2 || type == 4 ? LoadString(kStrPowerOffFewSeconds) : platform::Format(LoadString(kStrPowerOffSwitchOn).c_str(), displayName.c_str());
  } else {
    texts.before = platform::Format(LoadString(kStrPrepareCoefficientWrite).c_str(), displayName.c_str());
    texts.after = platform::Format(LoadString(kStrSwitchOff).c_str(), displayName.c_str());
  }
  return texts;
}

bool StatusText(uint8_t status, std::string& text) {
  int id = 587;
  if (status <= 15) id = kStrCalibrationStatus0 + status;
  else if (status == 32) id = kStrCalibrationStatus16;
  else if (status == 33) id = kStrCalibrationStatus17;
  else if (status == 34) id = kStrCalibrationStatus18;
  else if (status == 36) id = 586;
  text = LoadString(id);
  return status == 0;
}

}  // namespace calibration
